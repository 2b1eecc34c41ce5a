#include "HttpFetcher.h"

namespace dravel {

namespace {

// Hands the body on to the manager's sink; once the manager asks to stop, no further byte
// is passed on and the transfer is told to end. The stop is looked for after each call too,
// so one raised meanwhile ends the transfer now rather than at the next block, which a slow
// server may send only much later.
class SinkBridge final : public platform::HttpSink {
public:
    explicit SinkBridge(IFetchSink& sink) : m_sink(sink) {}

    bool OnData(const char* data, std::size_t size) override {
        return !m_sink.Cancelled() && m_sink.OnData(data, size) && !m_sink.Cancelled();
    }
    bool Cancelled() const override { return m_sink.Cancelled(); }
    bool OnProgress(std::uint64_t received, std::int64_t announced) override {
        return !m_sink.Cancelled() && m_sink.OnProgress(received, announced) && !m_sink.Cancelled();
    }

private:
    IFetchSink& m_sink;
};

// The text the failure report shows when the platform gave none.
const char kStalledText[] = "The operation timed out";

}  // namespace

FetchOutcome ToFetchOutcome(platform::HttpOutcome outcome) {
    switch (outcome) {
        case platform::HttpOutcome::kCompleted:
            return FetchOutcome::kCompleted;
        case platform::HttpOutcome::kHttpStatus:
            return FetchOutcome::kHttpStatus;
        case platform::HttpOutcome::kShort:
            return FetchOutcome::kShort;
        case platform::HttpOutcome::kStalled:
            return FetchOutcome::kStalled;
        case platform::HttpOutcome::kConnectionError:
            return FetchOutcome::kConnectionError;
        case platform::HttpOutcome::kAborted:
            return FetchOutcome::kAborted;
    }
    return FetchOutcome::kConnectionError;
}

HttpFetcher::HttpFetcher(std::chrono::milliseconds stallTime) : m_client("Dravel") {
    m_options.stallTimeout = stallTime;
}

FetchResult HttpFetcher::Fetch(const std::string& url, IFetchSink& sink) {
    FetchResult fetched;
    if (sink.Cancelled()) {
        fetched.outcome = FetchOutcome::kAborted;
        return fetched;
    }
    SinkBridge bridge(sink);
    platform::HttpResult result;
    {
        std::lock_guard<std::mutex> guard(m_busy);
        result = m_client.Download(url, bridge, m_options);
    }
    fetched.outcome = ToFetchOutcome(result.outcome);
    fetched.status = result.status;
    fetched.announced = result.announced;
    fetched.error = std::move(result.error);
    // The failure report shows the transfer's own text; an empty one would read as "the file
    // failed" and hide that the network was at fault.
    if (fetched.error.empty()) {
        if (fetched.outcome == FetchOutcome::kStalled) {
            fetched.error = kStalledText;
        } else if (fetched.outcome == FetchOutcome::kConnectionError) {
            fetched.error = platform::HttpOutcomeName(result.outcome);
        }
    }
    return fetched;
}

}  // namespace dravel
