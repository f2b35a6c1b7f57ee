#include "HidUtil.h"

#include "NoticeQueue.h"

#include "devlink/include/devlink.h"

#include <cstring>

namespace qtx
{

HidUtil* activeHidUtil = nullptr;

HidUtil::HidUtil() = default;

HidUtil::~HidUtil()
{
    close();
}

bool HidUtil::init (HidHandler* h, int s)
{
    if (activeHidUtil != nullptr)
        return false;
    activeHidUtil = this;
    handler = h;
    selector = s;

    notices = std::make_unique<NoticeQueue> ([this] (unsigned int message, int number)
                                             { handleNotice (message, number); });

    // Another client holding the library only costs the arrival and removal
    // notices; a device present now is still found and its input still comes.
    HID_Initialize (nullptr);
    HID_SetCallback (&notices->target(), WM_HID_INPUT, WM_HID_ARRIVAL, WM_HID_REMOVAL);
    HID_Start();
    return true;
}

void HidUtil::close()
{
    releaseDevice();
    if (activeHidUtil == this)
        activeHidUtil = nullptr;
    handler = nullptr;
    if (notices != nullptr)
    {
        HID_Stop();
        // Returns only when no post of ours runs any more.
        HID_SetCallback (nullptr, 0, 0, 0);
        HID_Finalize();
        notices->close();
        notices.reset();
    }
}

bool HidUtil::findDevice()
{
    if (deviceNumber >= 0)
        return true;
    if (selector < 0 || selector > 1)
        return false;

    int numbers[DEVLINK_MAX_DEVICES + 1] = {};
    const int count = HID_EnumHIDno (numbers);
    for (int k = 0; k < count && k < DEVLINK_MAX_DEVICES; ++k)
    {
        if (HID_GetDeviceType (numbers[k]) == requiredDeviceType[selector])
        {
            deviceType = requiredDeviceType[selector];
            deviceNumber = numbers[k];
            return true;
        }
    }
    releaseDevice();
    return false;
}

bool HidUtil::releaseDevice()
{
    return deviceNumber.exchange (-1) >= 0;
}

int HidUtil::readInput (uint8_t* destination, int size)
{
    const int number = deviceNumber;
    if (number < 0 || destination == nullptr || size < DEVLINK_MAX_REPORT)
        return 0;
    int length = 0;
    HID_Input (number, destination, &length);
    return length;
}

bool HidUtil::write (int number, const uint8_t* data, int length)
{
    if (data == nullptr || length <= 0 || number < 0)
        return false;
    return HID_Write (number, data, length) != 0;
}

int HidUtil::readFirmwareVersion()
{
    if (deviceNumber < 0)
        return 0;
    int values[2] = {};
    HID_GetFirmwareVersion (deviceType, values, 1);
    return values[0];
}

void HidUtil::handleNotice (unsigned int message, int number)
{
    if (activeHidUtil != this || handler == nullptr)
        return;
    switch (message)
    {
        case WM_HID_REMOVAL:
            if (number == deviceNumber)
            {
                releaseDevice();
                handler->hidDeviceRemoved();
            }
            break;
        case WM_HID_ARRIVAL:
            if (deviceNumber < 0 && findDevice())
                handler->hidDeviceArrived();
            break;
        case WM_HID_INPUT:
            if (number >= 0 && number == deviceNumber)
                handler->hidInputReceived();
            break;
        default:
            break;
    }
}

} // namespace qtx
