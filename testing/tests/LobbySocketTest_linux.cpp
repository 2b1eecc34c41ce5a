// The lobby link where the lobby's window is a local socket: the byte stream itself, a lobby
// that answers badly, and the socket's name.
#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "LobbyFixture.h"
#include "platform/LobbyLink.h"
#include "platform/LobbyWire.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;

namespace {

class Socket {
public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

sockaddr_un LobbyAddress() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = platform::LobbySocketPath();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

int ConnectRaw() {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = LobbyAddress();
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void WriteAll(int fd, const std::string& data) {
    ASSERT_EQ(send(fd, data.data(), data.size(), MSG_NOSIGNAL), static_cast<ssize_t>(data.size()));
}

// What the peer sends until it closes the connection or 3 s pass; nullopt on time-out.
std::optional<std::string> ReadUntilClosed(int fd) {
    std::string got;
    while (true) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 3000) <= 0) {
            return std::nullopt;
        }
        char buffer[256];
        const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            return got;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
}

class LobbySocketTest : public lobbytest::LobbyFixture {};

TEST_F(LobbySocketTest, LinesSplitOrJoinedAcrossWritesAreTakenWhole) {
    ASSERT_TRUE(StartLobby());
    Socket raw(ConnectRaw());
    ASSERT_GE(raw.get(), 0);
    WriteAll(raw.get(), "se");
    std::this_thread::sleep_for(20ms);
    WriteAll(raw.get(), "nd 1424 0 0\nshow 5\npost 13");
    std::this_thread::sleep_for(20ms);
    WriteAll(raw.get(), "24 0 0\n");
    EXPECT_THAT(WaitForRecordLines(4),
                ElementsAre("start", "send 1424 0 0", "show 5", "post 1324 0 0"));
    shutdown(raw.get(), SHUT_WR);
    EXPECT_EQ(ReadUntilClosed(raw.get()), "0\n");
}

TEST_F(LobbySocketTest, GarbageDropsOnlyThatConnection) {
    ASSERT_TRUE(StartLobby());
    Socket garbage(ConnectRaw());
    Socket endless(ConnectRaw());
    ASSERT_GE(garbage.get(), 0);
    ASSERT_GE(endless.get(), 0);
    WriteAll(garbage.get(), "hello lobby\npost 1 0 0\n");
    EXPECT_EQ(ReadUntilClosed(garbage.get()), "");
    // No line end at all: the lobby stops reading once no message can be that long.
    WriteAll(endless.get(), std::string(platform::kLobbyMaxLine + 10, '7'));
    EXPECT_EQ(ReadUntilClosed(endless.get()), "");

    platform::LobbyWindow window = platform::LobbyWindow::Find();
    EXPECT_EQ(window.Send(1424, 0, 0), 0);
    EXPECT_THAT(WaitForRecordLines(4), ElementsAre("start", kestrune::kMalformedLine,
                                                   kestrune::kMalformedLine, "send 1424 0 0"));
}

// A lobby written in the test: takes one line, answers with `answer` in the pieces given.
class FakeLobby {
public:
    explicit FakeLobby(std::vector<std::string> answer) : answer_(std::move(answer)) {
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = LobbyAddress();
        bound_ =
            bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
            listen(listener_, 4) == 0;
        if (bound_) {
            thread_ = std::thread([this] { Serve(); });
        }
    }
    ~FakeLobby() {
        shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable()) {
            thread_.join();
        }
        close(listener_);
        unlink(platform::LobbySocketPath().c_str());
    }
    FakeLobby(const FakeLobby&) = delete;
    FakeLobby& operator=(const FakeLobby&) = delete;
    bool bound() const { return bound_; }

private:
    void Serve() {
        Socket client(accept(listener_, nullptr, nullptr));
        if (client.get() < 0) {
            return;
        }
        char c = 0;
        while (recv(client.get(), &c, 1, 0) == 1 && c != '\n') {
        }
        for (const std::string& piece : answer_) {
            send(client.get(), piece.data(), piece.size(), MSG_NOSIGNAL);
            std::this_thread::sleep_for(20ms);
        }
        // Keep the connection open until the test is done with it.
        pollfd entry{client.get(), POLLIN, 0};
        poll(&entry, 1, 2000);
    }

    std::vector<std::string> answer_;
    int listener_ = -1;
    bool bound_ = false;
    std::thread thread_;
};

TEST_F(LobbySocketTest, AnswerArrivingInPiecesIsReadWhole) {
    FakeLobby fake({"-4", "2", "\n"});
    ASSERT_TRUE(fake.bound());
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    ASSERT_TRUE(window);
    EXPECT_EQ(window.Send(1424, 0, 0, 2s), -42);
}

TEST_F(LobbySocketTest, MalformedAnswerFailsTheSendAndTheConnection) {
    FakeLobby fake({"fine thanks\n", "0\n"});
    ASSERT_TRUE(fake.bound());
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    ASSERT_TRUE(window);
    EXPECT_EQ(window.Send(1424, 0, 0, 2s), std::nullopt);
    // The stream is out of step now: the "0" that follows must not pass for an answer. The
    // next call goes over a new connection, which this lobby never answers.
    EXPECT_EQ(window.Send(1424, 0, 0, 300ms), std::nullopt);
}

TEST_F(LobbySocketTest, LobbyStillReachedAfterASendTimedOut) {
    // As with a window, what the caller does after a send that timed out still reaches it.
    ASSERT_TRUE(StartLobby({"--no-answer"}));
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    ASSERT_TRUE(window);
    EXPECT_EQ(window.Send(1424, 0, 0, 200ms), std::nullopt);
    EXPECT_TRUE(window.Show(5));
    EXPECT_TRUE(window.Post(1324, 0, 0));
    EXPECT_THAT(WaitForRecordLines(4),
                ElementsAre("start", "send 1424 0 0", "show 5", "post 1324 0 0"));
}

TEST_F(LobbySocketTest, OnlyAUsableSocketCountsAsTheLobby) {
    const std::string path = platform::LobbySocketPath();
    ASSERT_EQ(path, (folder_ / "Orvaline").string());
    { std::ofstream(path) << "not a socket"; }
    EXPECT_FALSE(platform::LobbyWindow::Exists());
    // The stand-in does not remove a file that is not a socket.
    ASSERT_TRUE(lobby_.Start(lobbytest::KestruneProgram(), {"--record", record_}));
    EXPECT_TRUE(lobby_.WaitForExit(3s));
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_TRUE(kestrune::ReadRecord(record_).empty());
    fs::remove(path);

    // A lobby that ends removes its socket's name.
    ASSERT_TRUE(StartLobby({"--exit-after-ms", "100"}));
    EXPECT_TRUE(fs::exists(fs::symlink_status(path)));
    EXPECT_TRUE(lobby_.WaitForExit(3s));
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
}

TEST_F(LobbySocketTest, SocketPathFollowsTheRuntimeFolderOrFallsBackToTmp) {
    setenv("XDG_RUNTIME_DIR", "/run/user/42/", 1);
    EXPECT_EQ(platform::LobbySocketPath(), "/run/user/42/Orvaline");
    setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(platform::LobbySocketPath(), "/tmp/Orvaline-" + std::to_string(getuid()));
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::LobbySocketPath(), "/tmp/Orvaline-" + std::to_string(getuid()));
    // A folder too deep for a socket address is no lobby, rather than a cut-off path.
    setenv("XDG_RUNTIME_DIR", ("/tmp/" + std::string(120, 'd')).c_str(), 1);
    EXPECT_FALSE(platform::LobbyWindow::Exists());
}

}  // namespace
