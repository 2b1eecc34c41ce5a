#include <exception>

#include "platform/Http.h"

namespace platform {

const char* HttpOutcomeName(HttpOutcome outcome) {
    switch (outcome) {
        case HttpOutcome::kCompleted:
            return "completed";
        case HttpOutcome::kHttpStatus:
            return "HTTP status";
        case HttpOutcome::kShort:
            return "short";
        case HttpOutcome::kStalled:
            return "stalled";
        case HttpOutcome::kConnectionError:
            return "connection error";
        case HttpOutcome::kAborted:
            return "aborted";
    }
    return "unknown";
}

namespace {

class TextSink : public HttpSink {
public:
    TextSink(std::string& body, std::size_t limit) : body_(body), limit_(limit) {}

    bool OnData(const char* data, std::size_t size) override {
        if (size > limit_ - body_.size()) {
            return false;
        }
        body_.append(data, size);
        return true;
    }
    bool OnProgress(std::uint64_t, std::int64_t announced) override {
        return announced < 0 || static_cast<std::uint64_t>(announced) <= limit_;
    }

private:
    std::string& body_;
    std::size_t limit_;
};

}  // namespace

HttpResult FetchText(HttpClient& client, const std::string& url, std::string& body,
                     const HttpOptions& options, std::size_t limit) {
    body.clear();
    TextSink sink(body, limit);
    return client.Download(url, sink, options);
}

}  // namespace platform
