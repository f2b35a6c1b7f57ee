#include "OverlappedIo.h"

#include "devlink.h"
#include "WideText.h"
#include "WinHandle.h"

#include <windows.h>

#include <cstring>

namespace qtx::devlink::winos
{
namespace
{
    class OverlappedStream : public InputStream
    {
    public:
        OverlappedStream (Handle d, int length)
            : device (std::move (d))
            , reportLength (length)
            , readDone (CreateEventA (nullptr, FALSE, FALSE, nullptr))
            , wakeUp (CreateEventA (nullptr, TRUE, FALSE, nullptr))
        {
        }

        ~OverlappedStream() override
        {
            // The system writes into `buffer` until the read is over: end it before freeing.
            if (pending)
            {
                CancelIoEx (device.get(), &overlapped);
                DWORD got = 0;
                GetOverlappedResult (device.get(), &overlapped, &got, TRUE);
            }
        }

        bool ready() const { return readDone.valid() && wakeUp.valid(); }

        ReadResult read (std::uint8_t* destination, int capacity, int& got, int sliceMs) override
        {
            got = 0;
            if (!pending && !startRead())
                return ReadResult::ended;
            HANDLE waitFor[2] = {wakeUp.get(), readDone.get()};
            switch (WaitForMultipleObjects (2, waitFor, FALSE, DWORD (sliceMs)))
            {
                case WAIT_OBJECT_0:
                    return ReadResult::stopped;
                case WAIT_OBJECT_0 + 1:
                    break;
                case WAIT_TIMEOUT:
                    return ReadResult::timeout; // the read stays pending for the next slice
                default:
                    return ReadResult::ended;
            }
            return finishRead (destination, capacity, got);
        }

        void wake() override { SetEvent (wakeUp.get()); }

    private:
        bool startRead()
        {
            std::memset (&overlapped, 0, sizeof overlapped);
            overlapped.hEvent = readDone.get();
            DWORD got = 0;
            if (ReadFile (device.get(), buffer, DWORD (reportLength), &got, &overlapped))
            {
                // Done at once; the event is set too, so the wait sees it.
                pending = true;
                SetEvent (readDone.get());
                return true;
            }
            if (GetLastError() != ERROR_IO_PENDING)
                return false; // the device is gone
            pending = true;
            return true;
        }

        ReadResult finishRead (std::uint8_t* destination, int capacity, int& got)
        {
            DWORD transferred = 0;
            const BOOL ok = GetOverlappedResult (device.get(), &overlapped, &transferred, FALSE);
            pending = false;
            // A read that failed (device unplugged, handle closed) delivers no report: the
            // buffer holds nothing new, and the device will fail again.
            if (!ok)
                return ReadResult::ended;
            got = int (transferred) < capacity ? int (transferred) : capacity;
            std::memcpy (destination, buffer, std::size_t (got));
            return ReadResult::report;
        }

        Handle device;
        const int reportLength;
        Handle readDone;
        Handle wakeUp;
        OVERLAPPED overlapped{};
        bool pending = false;
        std::uint8_t buffer[DEVLINK_MAX_REPORT] = {};
    };
} // namespace

std::unique_ptr<InputStream> OverlappedIo::openInput (const HidInterface& device)
{
    // A device without input reports has nothing to read.
    if (device.inputReportLength < 1 || device.inputReportLength > DEVLINK_MAX_REPORT)
        return nullptr;
    Handle handle (CreateFileW (widen (device.path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!handle.valid())
        return nullptr;
    auto stream = std::make_unique<OverlappedStream> (std::move (handle), device.inputReportLength);
    if (!stream->ready())
        return nullptr;
    return stream;
}

int OverlappedIo::writeReport (const std::string& path, const std::uint8_t* report, int length)
{
    if (report == nullptr || length < 1)
        return -1;
    Handle handle (CreateFileW (widen (path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!handle.valid())
        return -1;
    DWORD written = 0;
    if (!WriteFile (handle.get(), report, DWORD (length), &written, nullptr))
        return -1;
    return int (written);
}
} // namespace qtx::devlink::winos
