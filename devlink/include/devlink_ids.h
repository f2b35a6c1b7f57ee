/* The maker's two USB vendor identifiers, used everywhere: the library's
 * supported-device table, the udev rule, the simulator and the tests.
 * Values of our own choosing; change them here only. */
#ifndef DEVLINK_IDS_H
#define DEVLINK_IDS_H

/* Vendor of device types 2 to 9 (type 9 is the QTX-ORB9 controller). */
#define DEVLINK_VENDOR_ID 0x7A51
/* Vendor of device type 1. */
#define DEVLINK_SECOND_VENDOR_ID 0x7A52

/* Product identifier of the QTX-ORB9 controller (device type 9). */
#define DEVLINK_CONTROLLER_PRODUCT_ID 0x0046
#define DEVLINK_CONTROLLER_TYPE 9

#endif
