// The latest input data of one device, shared by its reader (writer) and HID_Input.
#pragma once

#include "devlink.h"

#include <cstdint>
#include <mutex>

namespace qtx::devlink
{
class ReportStore
{
public:
    // Bytes of each report kept: bytes 1..54 of the report (byte 0 is the report ID).
    static constexpr int keptBytes = 54;

    // length: the byte count HID_Input hands out, fixed for the device (0..1024).
    explicit ReportStore (int length);

    // Stores one report (report ID first, `size` bytes). Returns true when an input notice
    // is due: none has been posted since the client last fetched.
    bool store (const std::uint8_t* report, int size);
    // The notice that store() asked for was not posted after all (no target, or the client
    // could not queue it): the next report asks again.
    void noticeNotPosted();
    // Copies one whole stored report and counts as the client's fetch. Returns the length.
    int fetch (std::uint8_t* destination);

    int length() const { return byteLength; }

private:
    std::mutex mutex;
    const int byteLength;
    std::uint8_t data[DEVLINK_MAX_REPORT]{};
    bool noticeOutstanding = false;
};
} // namespace qtx::devlink
