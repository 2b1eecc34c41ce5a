// The download manager's HTTP client on the platform's HTTP service.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "DownloadManager.h"
#include "platform/Http.h"

namespace dravel {

class HttpFetcher final : public IFileFetcher {
public:
    static constexpr std::chrono::milliseconds kDefaultStallTime{30000};

    // `stallTime`: how long a transfer may receive nothing before it is given up.
    explicit HttpFetcher(std::chrono::milliseconds stallTime = kDefaultStallTime);

    FetchResult Fetch(const std::string& url, IFetchSink& sink) override;

private:
    std::mutex m_busy;  // the client runs one download at a time
    platform::HttpClient m_client;
    platform::HttpOptions m_options;
};

// The core's name for each way a platform transfer ends.
FetchOutcome ToFetchOutcome(platform::HttpOutcome outcome);

}  // namespace dravel
