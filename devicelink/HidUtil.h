#pragma once

// Thin layer over the devlink exports and over the queue through which the
// library's notices reach the message thread.

#include "HidHandler.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace qtx
{

class NoticeQueue;

// Notice numbers given to the library.
constexpr unsigned int WM_HID_REMOVAL = 1025;
constexpr unsigned int WM_HID_ARRIVAL = 1026;
constexpr unsigned int WM_HID_INPUT = 1027;

// Device type wanted for each selector: type 0 is never reported, so selector 0 takes nothing.
constexpr int32_t requiredDeviceType[2] = {0, 9};

class HidUtil
{
public:
    HidUtil();
    virtual ~HidUtil();

    bool init (HidHandler* handler, int selector);
    void close();

    bool findDevice();
    bool releaseDevice();
    int readInput (uint8_t* destination, int size);
    // deviceNumber: the device the caller claimed, read before its claim.
    bool write (int deviceNumber, const uint8_t* data, int length);
    int readFirmwareVersion();

    // Message thread: one notice from the library.
    void handleNotice (unsigned int message, int deviceNumber);

    HidHandler* handler = nullptr;
    int32_t selector = 0;
    int32_t deviceType = 0;
    std::unique_ptr<NoticeQueue> notices;  // stands for the hidden callback window
    std::atomic<int32_t> deviceNumber{-1}; // read by the worker's writes

private:
    HidUtil (const HidUtil&) = delete;
    HidUtil& operator= (const HidUtil&) = delete;
};

// The one initialised HidUtil, null otherwise.
extern HidUtil* activeHidUtil;

} // namespace qtx
