// The lobby link over the lobby's local stream socket.
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/LobbyLink.h"
#include "platform/LobbyWire.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Posts and shows are small writes to a local socket; they only wait when the lobby stopped
// reading and its buffer is full, and then not for long.
constexpr std::chrono::milliseconds kWriteTimeout{2000};

// Milliseconds left until `deadline` for poll(), never negative.
int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
        return 0;
    }
    return left > 60000 ? 60000 : static_cast<int>(left);
}

// Waits for `events` on `fd` until `deadline`. False on time-out, error or hang-up without
// the event.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    while (true) {
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, MillisecondsLeft(deadline));
        if (ready > 0) {
            return (entry.revents & events) != 0;
        }
        if (ready == 0) {
            if (Clock::now() >= deadline) {
                return false;
            }
            continue;  // poll's wait is capped; go on waiting.
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

// Connects to the lobby's socket; -1 when there is no lobby. A path that is not a socket
// owned by this user is not the lobby (anyone may create names in /tmp).
int ConnectToLobby() {
    const std::string path = LobbySocketPath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        return -1;
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != getuid()) {
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    // A connect to a lobby whose backlog is full would wait without end; the send time-out
    // bounds it.
    timeval limit{};
    limit.tv_sec = kWriteTimeout.count() / 1000;
    limit.tv_usec = (kWriteTimeout.count() % 1000) * 1000;
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    int result;
    do {
        result = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string LobbySocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        std::string path(runtime);
        if (path.back() != '/') {
            path += '/';
        }
        return path + kLobbyWindowClass;
    }
    return std::string("/tmp/") + kLobbyWindowClass + "-" + std::to_string(getuid());
}

struct LobbyWindow::Impl {
    explicit Impl(int descriptor) : fd(descriptor) {}
    ~Impl() { close(fd); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // A connection left out of step (an answer that came late or garbled) is replaced by a new
    // one, as a window stays usable after a send to it timed out. False when the lobby has gone.
    bool Usable() {
        if (!broken) {
            return true;
        }
        const int fresh = ConnectToLobby();
        if (fresh < 0) {
            return false;
        }
        close(fd);
        fd = fresh;
        broken = false;
        pending.clear();
        return true;
    }

    // Writes the whole line and its terminator before `deadline`. Once part of a line went
    // out, a failure leaves the stream out of step, so the connection is unusable after it.
    bool WriteLine(const std::string& line, Clock::time_point deadline) {
        if (broken) {
            return false;
        }
        std::string data = line;
        data += kLobbyLineEnd;
        std::size_t done = 0;
        while (done < data.size()) {
            // MSG_NOSIGNAL: a lobby that went away must not kill the program with SIGPIPE.
            const ssize_t written =
                ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (written > 0) {
                done += static_cast<std::size_t>(written);
                continue;
            }
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
                WaitFor(fd, POLLOUT, deadline)) {
                continue;
            }
            broken = true;
            return false;
        }
        return true;
    }

    // Reads one line before `deadline`. Empty on time-out, on a closed connection and on a
    // line longer than any answer can be.
    std::optional<std::string> ReadLine(Clock::time_point deadline) {
        while (!broken) {
            const std::size_t end = pending.find(kLobbyLineEnd);
            if (end != std::string::npos) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                return line;
            }
            if (pending.size() > kLobbyMaxLine) {
                break;
            }
            if (!WaitFor(fd, POLLIN, deadline)) {
                // POLLHUP without data also lands here: the lobby closed the connection.
                break;
            }
            char buffer[256];
            const ssize_t got = recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
            if (got > 0) {
                pending.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0) {
                break;
            } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
                break;
            }
        }
        // An answer that comes late would be taken for the answer to the next send.
        broken = true;
        return std::nullopt;
    }

    int fd;
    bool broken = false;
    std::string pending;
};

LobbyWindow::LobbyWindow() noexcept = default;
LobbyWindow::~LobbyWindow() = default;
LobbyWindow::LobbyWindow(LobbyWindow&& other) noexcept = default;
LobbyWindow& LobbyWindow::operator=(LobbyWindow&& other) noexcept = default;
LobbyWindow::LobbyWindow(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}

LobbyWindow LobbyWindow::Find() {
    const int fd = ConnectToLobby();
    if (fd < 0) {
        return LobbyWindow();
    }
    return LobbyWindow(std::make_unique<Impl>(fd));
}

bool LobbyWindow::Exists() {
    return Find().IsFound();
}

bool LobbyWindow::Post(std::uint32_t message, std::uint64_t wparam, std::int64_t lparam) {
    Impl* impl = impl_.get();
    if (impl == nullptr || !impl->Usable()) {
        return false;
    }
    return impl->WriteLine(FormatLobbyLine(LobbyPost(message, wparam, lparam)),
                           Clock::now() + kWriteTimeout);
}

std::optional<std::int64_t> LobbyWindow::Send(std::uint32_t message, std::uint64_t wparam,
                                              std::int64_t lparam,
                                              std::chrono::milliseconds timeout) {
    Impl* impl = impl_.get();
    if (impl == nullptr || !impl->Usable()) {
        return std::nullopt;
    }
    const auto deadline = Clock::now() + timeout;
    if (!impl->WriteLine(FormatLobbyLine(LobbySend(message, wparam, lparam)), deadline)) {
        return std::nullopt;
    }
    const std::optional<std::string> answer = impl->ReadLine(deadline);
    if (!answer) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> result = ParseLobbyResult(*answer);
    if (!result) {
        impl->broken = true;
    }
    return result;
}

bool LobbyWindow::Show(std::int32_t command) {
    Impl* impl = impl_.get();
    if (impl == nullptr || !impl->Usable()) {
        return false;
    }
    return impl->WriteLine(FormatLobbyLine(LobbyShow(command)), Clock::now() + kWriteTimeout);
}

void LobbyWindow::Reset() noexcept {
    impl_.reset();
}

}  // namespace platform
