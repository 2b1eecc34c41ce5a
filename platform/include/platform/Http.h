// HTTP downloads of the platform: one URL streamed block by block into a caller's sink, so
// memory stays the same whatever the file's size, with every way a transfer can end told apart.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Receives a response body while it arrives. Called on the downloading thread; an exception
// thrown here is caught by the download and ends it as aborted.
class HttpSink {
public:
    virtual ~HttpSink() = default;
    // One block of the body (at most kHttpBlockSize bytes). False aborts the download.
    virtual bool OnData(const char* data, std::size_t size) = 0;
    // After every block: body bytes so far and the length the server announced, or -1 when it
    // announced none. False aborts the download.
    virtual bool OnProgress(std::uint64_t received, std::int64_t announced) = 0;
    // Asked while the transfer waits for data, so a stop request ends even a stalled transfer
    // at once; true ends it as aborted. Where the platform's reads block (WinInet), it is only
    // asked between blocks.
    virtual bool Cancelled() const { return false; }
};

inline constexpr std::size_t kHttpBlockSize = 8192;

enum class HttpOutcome {
    kCompleted,        // the whole body arrived (as much as was announced, or up to the end)
    kHttpStatus,       // the server answered with a status outside 200-299; no body delivered
    kShort,            // the connection ended before the announced length
    kStalled,          // no byte arrived for the stall time
    kConnectionError,  // no connection, host not found, connection broken off
    kAborted,          // the sink asked to stop
};

struct HttpOptions {
    // A transfer that receives nothing for this long (connecting included) is given up.
    std::chrono::milliseconds stallTimeout{30000};
};

struct HttpResult {
    HttpOutcome outcome = HttpOutcome::kConnectionError;
    int status = 0;               // the final response's status; 0 when none arrived
    std::uint64_t received = 0;   // body bytes handed to the sink
    std::int64_t announced = -1;  // Content-Length, -1 when absent
    std::string error;            // for a connection error, the system's text (ANSI)

    bool ok() const { return outcome == HttpOutcome::kCompleted; }
};

// A short name for logs and messages, e.g. "stalled".
const char* HttpOutcomeName(HttpOutcome outcome);

// One HTTP client session: the user agent and the system's proxy settings, reused for every
// download. Redirects are followed; nothing is read from or written to a cache, so a file
// replaced on the server is never served stale. One download at a time per client.
class HttpClient {
public:
    explicit HttpClient(const std::string& userAgent = "Dravel");
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // False when the platform's internet client could not be set up; every download then ends
    // with a connection error.
    bool valid() const;

    HttpResult Download(const std::string& url, HttpSink& sink, const HttpOptions& options = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Fetches a whole (small) response into `body`, for texts such as a manifest. A body larger
// than `limit` bytes is refused as aborted, so a wrong address cannot fill the memory.
HttpResult FetchText(HttpClient& client, const std::string& url, std::string& body,
                     const HttpOptions& options = {}, std::size_t limit = 16u << 20);

}  // namespace platform
