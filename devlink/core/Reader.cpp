#include "Reader.h"

namespace qtx::devlink
{
Reader::Reader (int number, std::unique_ptr<InputStream> input, std::shared_ptr<ReportStore> reportStore,
                Notifier& notices)
    : deviceNumber (number)
    , stream (std::move (input))
    , store (std::move (reportStore))
    , notifier (notices)
{
    thread = std::thread ([this] { run(); });
}

Reader::~Reader()
{
    stop();
}

void Reader::stop()
{
    stopRequested = true;
    stream->wake();
    if (thread.joinable())
        thread.join();
}

void Reader::run()
{
    std::uint8_t buffer[DEVLINK_MAX_REPORT] = {};
    while (!stopRequested)
    {
        int got = 0;
        const ReadResult result = stream->read (buffer, int (sizeof buffer), got, sliceMs);
        if (stopRequested || result == ReadResult::stopped || result == ReadResult::ended)
            break;
        if (result == ReadResult::timeout)
            continue;
        // A notice the client did not queue is due again with the next report; otherwise
        // the device would fall silent until the client fetched for some other reason.
        if (store->store (buffer, got) &&
            notifier.post (Notifier::Kind::input, deviceNumber) != Notifier::Outcome::posted)
            store->noticeNotPosted();
    }
    done = true;
}
} // namespace qtx::devlink
