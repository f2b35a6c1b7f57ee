#pragma once

// The program's side of the connection to the controller: chooses the device,
// keeps its firmware version and latest input, writes commands, and turns the
// library's notices into HidHandler calls on the JUCE message thread.

#include "HidHandler.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace qtx
{

class HidUtil;

class HidCtrl : public HidHandler
{
public:
    HidCtrl();
    virtual ~HidCtrl();

    // Message thread. selector: 1 takes the first type-9 device, 0 never takes one.
    bool open (HidHandler* handler, int selector);
    void close();

    // Worker thread: one output report (always a 64-byte command).
    bool send (const uint8_t* data, int length);

    void hidDeviceRemoved() override;
    void hidDeviceArrived() override;
    void hidInputReceived() override;

    HidHandler* handler = nullptr;
    HidUtil* util = nullptr;
    std::atomic<int32_t> linkState{0}; // 0 none, 1 held, 2 held and written to
    int32_t firmwareVersion = 0;
    uint8_t inputBuffer[1024] = {};
    int32_t inputLength = 0;

    // Tests only (null in the program): runs on the sending thread after it has looked at
    // linkState and before it claims the device, so a test can put a removal in between.
    std::function<void()> beforeClaim;
};

} // namespace qtx
