#include "HidCtrl.h"

#include "HidUtil.h"

#include <algorithm>
#include <cstring>

namespace qtx
{

namespace
{
    constexpr int inputBufferSize = (int) sizeof (HidCtrl::inputBuffer);

    // Zero-fills the whole destination first, so bytes the library does not
    // deliver never carry stale data.
    int readInto (HidUtil* util, uint8_t* destination, int size)
    {
        if (destination == nullptr || size <= 0)
            return 0;
        std::memset (destination, 0, (size_t) size);
        return util != nullptr ? util->readInput (destination, size) : 0;
    }
} // namespace

HidCtrl::HidCtrl() = default;

HidCtrl::~HidCtrl()
{
    close();
}

bool HidCtrl::open (HidHandler* h, int selector)
{
    handler = h;
    if (util == nullptr)
        util = new HidUtil();
    linkState = 0;
    firmwareVersion = 0;
    std::memset (inputBuffer, 0, sizeof (inputBuffer));
    inputLength = 0;

    if (!util->init (this, selector))
    {
        close();
        return false;
    }

    linkState = util->findDevice() ? 1 : 0;
    if (linkState != 0)
    {
        firmwareVersion = util->readFirmwareVersion();
        inputLength = readInto (util, inputBuffer, inputBufferSize);
    }
    return true;
}

void HidCtrl::close()
{
    handler = nullptr;
    if (util != nullptr)
    {
        util->close();
        delete util;
        util = nullptr;
    }
}

bool HidCtrl::send (const uint8_t* data, int length)
{
    if (linkState == 0)
        return false;
    linkState = 2;
    return util != nullptr && util->write (data, length);
}

void HidCtrl::hidDeviceRemoved()
{
    if (linkState == 2)
        linkState = 0; // a device written to during an update is never replaced
    else if (linkState == 1)
        linkState = (util != nullptr && util->findDevice()) ? 1 : 0;

    if (linkState != 0)
    {
        firmwareVersion = util->readFirmwareVersion();
        inputLength = readInto (util, inputBuffer, inputBufferSize);
        if (handler != nullptr)
            handler->hidDeviceArrived();
    }
    else
    {
        firmwareVersion = 0;
        std::memset (inputBuffer, 0, sizeof (inputBuffer));
        inputLength = 0;
        if (handler != nullptr)
            handler->hidDeviceRemoved();
    }
}

void HidCtrl::hidDeviceArrived()
{
    linkState = 1;
    firmwareVersion = util != nullptr ? util->readFirmwareVersion() : 0;
    inputLength = readInto (util, inputBuffer, inputBufferSize);
    if (handler != nullptr)
        handler->hidDeviceArrived();
}

void HidCtrl::hidInputReceived()
{
    uint8_t scratch[1024];
    const int length = std::clamp (readInto (util, scratch, (int) sizeof (scratch)), 0, inputBufferSize);
    std::memcpy (inputBuffer, scratch, (size_t) length);
    inputLength = length;
    if (handler != nullptr)
        handler->hidInputReceived();
}

} // namespace qtx
