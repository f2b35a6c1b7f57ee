/* devlink: access to the maker's USB HID devices.
 *
 * The library keeps a table of up to 128 supported devices under stable device
 * numbers (0..127), reads each device's input reports on a thread of its own,
 * keeps the latest report per device, posts notices to one client, and writes
 * output reports. Only one client on the whole machine may initialise it at a
 * time (a system-wide lock, freed by the system when its holder dies).
 *
 * Every function is a plain C function; failures are reported by results
 * (1/0, -1, empty text), never by exceptions. Nothing allocated by the library
 * is freed by the client or the other way round: data crosses by copy.
 *
 * Threads: call everything from one thread, except HID_Write, which may be
 * called from another thread at the same time. Notices are posted from the
 * library's own threads (reader threads and the device-change watch); the
 * post function must not block and must not call back into the library.
 */
#ifndef DEVLINK_H
#define DEVLINK_H

#ifdef __cplusplus
extern "C" {
#endif

/* DEVLINK_STATIC: the functions come from a static library (a test stand-in). */
#if defined(DEVLINK_STATIC)
#  define DEVLINK_API
#elif defined(_WIN32)
#  if defined(DEVLINK_BUILDING)
#    define DEVLINK_API __declspec(dllexport)
#  else
#    define DEVLINK_API __declspec(dllimport)
#  endif
#else
#  define DEVLINK_API __attribute__((visibility("default")))
#endif

/* Largest report (and stored input data) the library serves, in bytes. */
#define DEVLINK_MAX_REPORT 1024
/* Highest number of devices in the table; device numbers are 0..127. */
#define DEVLINK_MAX_DEVICES 128

/* Where notices go. The library calls post(context, message, deviceNumber)
 * from its own threads, in the order the events happened; it never waits for
 * the client. A null target (or a null post) stops all posting. The library
 * copies the struct: the client may reuse its own copy at once, but the
 * context must stay valid until HID_SetCallback(NULL, ...) has returned.
 *
 * post returns nonzero when it queued the notice for the client, 0 when it
 * could not (its queue is closed, its window is gone, the system refused the
 * message). A notice that was not queued is not lost for good: an input notice
 * comes again with the device's next report; an arrival or removal is posted
 * again at the next device change if it still holds. The library does not
 * retry on its own. */
typedef struct DevlinkNotifyTarget
{
    int (*post)(void* context, unsigned int message, int deviceNumber);
    void* context;
} DevlinkNotifyTarget;

/* A 16-byte audio endpoint identifier (all zero = none). */
typedef struct DevlinkGuid
{
    unsigned char bytes[16];
} DevlinkGuid;

/* Takes the system-wide single-client lock and builds the device table.
 * 1: initialised. 0: another client (in this or another process) holds the
 * library, or the platform could not be set up; readers and queries still work
 * after HID_Start, but no arrival or removal notices come.
 * instance: the client's module handle on Windows; ignored elsewhere. */
DEVLINK_API int HID_Initialize(void* instance);

/* Stores where notices go and their three message numbers. May be called at
 * any time; a message number of 0 is never posted. When it returns with a null
 * target, no post of the old target is running or will run. */
DEVLINK_API void HID_SetCallback(const DevlinkNotifyTarget* target, unsigned int inputMessage,
                                 unsigned int arrivalMessage, unsigned int removalMessage);

/* Refreshes the device table and starts one reader per supported device.
 * Call only while stopped; ignored while started. */
DEVLINK_API void HID_Start(void);

/* Ends every reader (each notices within about a second) and releases the
 * device table. */
DEVLINK_API void HID_Stop(void);

/* HID_Stop, then releases the device-change watch and the lock. Harmless when
 * repeated or after a failed HID_Initialize. */
DEVLINK_API void HID_Finalize(void);

/* Copies the latest stored input data of a device into destination and sets
 * *length to its byte count: the device's fixed input data length (at most
 * DEVLINK_MAX_REPORT), or 0 when the device has no reader (none was started,
 * its device could not be opened, or the library was stopped; then the
 * destination is untouched). The copy is always one whole report: bytes 1 to 54
 * of the latest input report (byte 0, the report ID, is left out), the rest
 * zero. Fetching re-arms the input notice: after one notice, the next comes only
 * for a report stored after the client fetched. Give a destination of
 * DEVLINK_MAX_REPORT bytes. */
DEVLINK_API void HID_Input(int deviceNumber, unsigned char* destination, int* length);

/* Writes one output report: report ID 0, then length bytes of data, padded
 * with zeros to the device's output report length. length must not exceed the
 * output report length less one. Returns 1 when the whole report was written,
 * 0 when the device is absent, cannot be opened, or the write fell short. */
DEVLINK_API int HID_Write(int deviceNumber, const unsigned char* data, int length);

/* Number of device numbers that hold a device, after refreshing the table. */
DEVLINK_API int HID_GetDeviceCount(void);

/* Writes the device numbers that hold a device, ascending, into numbers (room
 * for DEVLINK_MAX_DEVICES entries), after refreshing the table; returns how
 * many. */
DEVLINK_API int HID_EnumHIDno(int* numbers);

/* Device type (1..9) held by a device number, -1 for none or out of range.
 * Does not refresh. */
DEVLINK_API int HID_GetDeviceType(int deviceNumber);

/* Zeroes count entries of values, then stores the firmware versions of the
 * present devices of that type (1..9), in the system's order, at most count:
 * the USB release number (bcdDevice) as four hexadecimal digits read as a
 * decimal number as far as they are digits (0x0102 gives 102, 0x1A00 gives 1). */
DEVLINK_API void HID_GetFirmwareVersion(int deviceType, int* values, int count);

/* Driver-set versions (set 1, 2 or 3; text of 256 bytes). On Windows: the
 * product version of the set's driver files when they all agree (1), an empty
 * text with 1 when all are installed but differ, an empty text with 0 when one
 * is missing. On Linux there are no such drivers: empty text, 0. */
DEVLINK_API int HID_GetDriverVersion(int driverSet, char* text);

/* Audio endpoints of a device (either pointer may be null), after refreshing
 * the table: the DirectSound identifiers of the first two playback devices
 * found on the same USB device (zero: none); the result is 1 when a playback
 * device of an already stored name came again, else 0 (also for a number out
 * of range). Linux has none: both are zeroed, 0. */
DEVLINK_API int HID_GetDirectSoundGUID(int deviceNumber, DevlinkGuid* first, DevlinkGuid* second);

/* Device number serving an ASIO driver set's audio channel (set 1 or 3; two
 * channels per device the driver lists in the current user's registry): the
 * lowest number of that device type on the same USB device, after refreshing
 * the table; -1 for none. Linux has no such drivers: -1. */
DEVLINK_API int HID_GetHIDnoForASIO(int driverSet, unsigned int channelIndex);

#ifdef __cplusplus
}
#endif

#endif /* DEVLINK_H */
