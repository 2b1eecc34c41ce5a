// HTTP downloads through WinInet: one internet session per client with the system's proxy
// settings, each URL opened without the cache and read in blocks. The receive timeout of the
// session is the stall time, so a read that waits longer fails with a timeout.
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <exception>

#include "platform/Http.h"

namespace platform {

namespace {

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_ != nullptr) {
            InternetCloseHandle(handle_);
        }
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    HINTERNET get() const { return handle_; }

private:
    HINTERNET handle_;
};

// The system's text for a WinInet or system error code, in the ANSI code page.
std::string ErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
        (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST ? FORMAT_MESSAGE_FROM_HMODULE
                                                                    : FORMAT_MESSAGE_FROM_SYSTEM);
    const DWORD length = FormatMessageA(flags, GetModuleHandleA("wininet.dll"), code, 0,
                                        reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr) {
        result.assign(text, length);
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
            result.pop_back();
        }
    }
    if (text != nullptr) {
        LocalFree(text);
    }
    if (result.empty()) {
        result = "internet error " + std::to_string(code);
    }
    return result;
}

void Fail(HttpResult& result, DWORD code) {
    if (code == ERROR_INTERNET_TIMEOUT) {
        result.outcome = HttpOutcome::kStalled;
    } else {
        result.outcome = HttpOutcome::kConnectionError;
        result.error = ErrorText(code);
    }
}

bool QueryNumber(HINTERNET request, DWORD what, std::uint64_t& value) {
    char text[32] = {};
    DWORD size = sizeof text - 1;
    DWORD index = 0;
    if (!HttpQueryInfoA(request, what, text, &size, &index)) {
        return false;
    }
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return end != text;
}

}  // namespace

struct HttpClient::Impl {
    HINTERNET session = nullptr;

    ~Impl() {
        if (session != nullptr) {
            InternetCloseHandle(session);
        }
    }
};

HttpClient::HttpClient(const std::string& userAgent) : impl_(std::make_unique<Impl>()) {
    impl_->session =
        InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

HttpClient::~HttpClient() = default;

bool HttpClient::valid() const {
    return impl_->session != nullptr;
}

HttpResult HttpClient::Download(const std::string& url, HttpSink& sink,
                                const HttpOptions& options) {
    HttpResult result;
    if (impl_->session == nullptr) {
        result.error = ErrorText(ERROR_INTERNET_INTERNAL_ERROR);
        return result;
    }
    DWORD timeout = static_cast<DWORD>(options.stallTimeout.count());
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_SEND_TIMEOUT}) {
        InternetSetOptionA(impl_->session, option, &timeout, sizeof timeout);
    }

    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI;
    InternetHandle request(InternetOpenUrlA(impl_->session, url.c_str(), nullptr, 0, flags, 1));
    if (request.get() == nullptr) {
        Fail(result, GetLastError());
        return result;
    }
    // Set again on the request: not every WinInet passes the session's timeouts on to it.
    InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    std::uint64_t number = 0;
    if (QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE, number)) {
        result.status = static_cast<int>(number);
    }
    if (QueryNumber(request.get(), HTTP_QUERY_CONTENT_LENGTH, number)) {
        result.announced = static_cast<std::int64_t>(number);
    }
    if (result.status < 200 || result.status > 299) {
        result.outcome = HttpOutcome::kHttpStatus;
        return result;
    }

    char block[kHttpBlockSize];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request.get(), block, sizeof block, &read)) {
            Fail(result, GetLastError());
            return result;
        }
        if (read == 0) {
            break;
        }
        try {
            if (!sink.OnData(block, read)) {
                result.outcome = HttpOutcome::kAborted;
                return result;
            }
            result.received += read;
            if (!sink.OnProgress(result.received, result.announced)) {
                result.outcome = HttpOutcome::kAborted;
                return result;
            }
        } catch (...) {
            result.outcome = HttpOutcome::kAborted;
            return result;
        }
    }
    const bool shortBody =
        result.announced >= 0 && result.received < static_cast<std::uint64_t>(result.announced);
    result.outcome = shortBody ? HttpOutcome::kShort : HttpOutcome::kCompleted;
    return result;
}

}  // namespace platform
