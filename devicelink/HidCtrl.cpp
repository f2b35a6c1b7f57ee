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
    if (util == nullptr)
        return false;
    // Read before the claim: a removal after the claim sees 2 and takes no other device, so
    // this is the device held when the claim was made (or -1, and nothing is sent).
    const int number = util->deviceNumber;
    int32_t state = linkState;
    if (state == 0)
        return false;
    if (beforeClaim)
        beforeClaim();
    // The claim holds only if linkState is still what was looked at: a removal in between
    // wins, leaves its state, and nothing is sent.
    if (!linkState.compare_exchange_strong (state, 2))
        return false;
    // Same state, other device: a removal and a take-over came in between. That device has
    // been sent nothing, so the claim is handed back.
    if (util->deviceNumber != number)
    {
        int32_t claimed = 2;
        linkState.compare_exchange_strong (claimed, state);
        return false;
    }
    return util->write (number, data, length);
}

void HidCtrl::hidDeviceRemoved()
{
    // Taken in one step against send's claim: a device claimed for a write (2) is never
    // replaced, and while another is looked for no send can claim the one that left.
    if (linkState.exchange (0) == 1 && util != nullptr && util->findDevice())
        linkState = 1;

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
