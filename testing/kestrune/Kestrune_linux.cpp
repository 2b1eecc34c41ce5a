// The lobby stand-in on Linux: the lobby's end of the lobby link, a local stream socket that
// takes the programs' message lines and records them.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "KestruneOptions.h"
#include "platform/LobbyLink.h"
#include "platform/LobbyWire.h"
#include "platform/Paths.h"

namespace {

using Clock = std::chrono::steady_clock;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

struct Client {
    Descriptor fd;
    std::string pending;
};

// The socket's name in the file system, removed again at the end unless another lobby has
// put its own socket there meanwhile.
class SocketName {
public:
    explicit SocketName(std::string path) : path_(std::move(path)) {}
    ~SocketName() {
        struct stat info {};
        if (bound_ && lstat(path_.c_str(), &info) == 0 && info.st_dev == dev_ &&
            info.st_ino == ino_) {
            unlink(path_.c_str());
        }
    }
    SocketName(const SocketName&) = delete;
    SocketName& operator=(const SocketName&) = delete;

    // Binds `fd` to the name. A socket left there by a lobby that did not end cleanly, or by a
    // lobby that still runs, is replaced: the newest lobby is the one the programs reach.
    bool Bind(int fd) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path_.size() >= sizeof(address.sun_path)) {
            return false;
        }
        std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
        struct stat info {};
        if (lstat(path_.c_str(), &info) == 0) {
            if (!S_ISSOCK(info.st_mode) || unlink(path_.c_str()) != 0) {
                return false;
            }
        }
        // Only this user may talk to the lobby.
        const mode_t oldMask = umask(077);
        const int result = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        umask(oldMask);
        if (result != 0 || lstat(path_.c_str(), &info) != 0) {
            return false;
        }
        bound_ = true;
        dev_ = info.st_dev;
        ino_ = info.st_ino;
        return true;
    }

private:
    std::string path_;
    bool bound_ = false;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

void Answer(int fd, std::int64_t result) {
    std::string line = platform::FormatLobbyResult(result);
    line += platform::kLobbyLineEnd;
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t written = send(fd, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            return;  // The caller has gone; nothing to answer.
        }
    }
}

enum class Outcome { Keep, Drop, Quit };

// Handles the complete lines a client has sent so far.
Outcome HandleLines(Client& client, const kestrune::Options& options, const std::string& record) {
    while (true) {
        const std::size_t end = client.pending.find(platform::kLobbyLineEnd);
        if (end == std::string::npos) {
            if (client.pending.size() > platform::kLobbyMaxLine) {
                kestrune::AppendRecord(record, kestrune::kMalformedLine);
                return Outcome::Drop;
            }
            return Outcome::Keep;
        }
        const auto message =
            platform::ParseLobbyLine(std::string_view(client.pending).substr(0, end));
        client.pending.erase(0, end + 1);
        if (!message) {
            kestrune::AppendRecord(record, kestrune::kMalformedLine);
            return Outcome::Drop;
        }
        kestrune::AppendRecord(record, platform::FormatLobbyLine(*message));
        if (message->verb != platform::LobbyVerb::Send) {
            continue;
        }
        switch (options.onSend) {
            case kestrune::OnSend::Answer:
                Answer(client.fd.get(), options.answer);
                break;
            case kestrune::OnSend::Ignore:
                break;
            case kestrune::OnSend::Quit:
                return Outcome::Quit;
        }
    }
}

int Run(const kestrune::Options& options) {
    const std::string record = options.record.empty()
                                   ? platform::JoinPath(platform::ProgramFolder(), "Kestrune.log")
                                   : options.record;

    // Termination requests arrive as readable data, so the loop ends cleanly and removes the
    // socket's name.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    Descriptor signals(signalfd(-1, &stops, SFD_CLOEXEC));
    if (signals.get() < 0) {
        std::perror("Kestrune: signalfd");
        return 1;
    }

    Descriptor listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    SocketName name(platform::LobbySocketPath());
    if (listener.get() < 0 || !name.Bind(listener.get()) || listen(listener.get(), 64) != 0) {
        std::fprintf(stderr, "Kestrune: cannot listen on %s\n",
                     platform::LobbySocketPath().c_str());
        return 1;
    }
    if (!kestrune::AppendRecord(record, kestrune::StartLine(options.arguments))) {
        std::fprintf(stderr, "Kestrune: cannot write %s\n", record.c_str());
        return 1;
    }

    std::optional<Clock::time_point> deadline;
    if (options.exitAfterMs) {
        deadline = Clock::now() + std::chrono::milliseconds(*options.exitAfterMs);
    }
    std::vector<Client> clients;
    while (true) {
        int wait = -1;
        if (deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0) {
                return 0;
            }
            wait = left.count() > 60000 ? 60000 : static_cast<int>(left.count());
        }
        std::vector<pollfd> watched{{signals.get(), POLLIN, 0}, {listener.get(), POLLIN, 0}};
        for (const Client& client : clients) {
            watched.push_back({client.fd.get(), POLLIN, 0});
        }
        const int ready = poll(watched.data(), watched.size(), wait);
        if (ready < 0 && errno != EINTR) {
            return 1;
        }
        if (ready <= 0) {
            continue;
        }
        if (watched[0].revents != 0) {
            return 0;
        }
        // Clients first: the indices in `watched` stay valid until a new one is added.
        for (std::size_t i = clients.size(); i-- > 0;) {
            if (watched[i + 2].revents == 0) {
                continue;
            }
            char buffer[512];
            const ssize_t got = recv(clients[i].fd.get(), buffer, sizeof(buffer), 0);
            Outcome outcome = Outcome::Drop;
            if (got > 0) {
                clients[i].pending.append(buffer, static_cast<std::size_t>(got));
                outcome = HandleLines(clients[i], options, record);
            } else if (got < 0 && errno == EINTR) {
                outcome = Outcome::Keep;
            }
            if (outcome == Outcome::Quit) {
                return 0;
            }
            if (outcome == Outcome::Drop) {
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if ((watched[1].revents & POLLIN) != 0) {
            Descriptor accepted(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (accepted.get() >= 0) {
                clients.push_back(Client{std::move(accepted), std::string()});
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        kestrune::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "Kestrune: %s\n", error.c_str());
        return 2;
    }
    return Run(*options);
}
