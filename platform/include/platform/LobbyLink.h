// The programs' link to the lobby's main window (window class "Orvaline").
//
// On Windows this is the lobby's top-level window, found by its class name and reached with
// window messages. On Linux the lobby listens on a local stream socket named "Orvaline" in
// $XDG_RUNTIME_DIR (in /tmp as "Orvaline-<uid>" when that is unset); finding the window is
// connecting to it, and the messages travel as the lines of LobbyWire.h over that connection.
//
// Order: what one LobbyWindow sends, shows and posts arrives in that order, except that on
// Windows a sent message overtakes posted messages still waiting in the lobby's queue, as
// window messages do. Callers that need both send first and post after (as the hand-back does).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// How long a sent message waits for the lobby by default. A window message sent to a lobby
// that stopped handling its messages would otherwise block the caller for good.
inline constexpr std::chrono::milliseconds kLobbySendTimeout{10000};

class LobbyWindow {
public:
    // Not found: every operation fails.
    LobbyWindow() noexcept;
    ~LobbyWindow();
    LobbyWindow(LobbyWindow&& other) noexcept;
    LobbyWindow& operator=(LobbyWindow&& other) noexcept;
    LobbyWindow(const LobbyWindow&) = delete;
    LobbyWindow& operator=(const LobbyWindow&) = delete;

    // Looks for the lobby's main window. Returns at once when there is none.
    static LobbyWindow Find();

    // Whether the lobby's main window exists right now (a look-up without keeping it).
    static bool Exists();

    bool IsFound() const noexcept { return impl_ != nullptr; }
    explicit operator bool() const noexcept { return IsFound(); }

    // Queues a message for the lobby and returns. False when it could not be delivered
    // (no window, or the lobby has gone).
    bool Post(std::uint32_t message, std::uint64_t wparam, std::int64_t lparam);

    // Delivers a message and waits until the lobby has handled it; its result. Empty when the
    // window is missing or gone, or when the lobby did not answer within `timeout`.
    std::optional<std::int64_t> Send(std::uint32_t message, std::uint64_t wparam,
                                     std::int64_t lparam,
                                     std::chrono::milliseconds timeout = kLobbySendTimeout);

    // Shows the lobby's window with a show command (5 shows it). False when it could not be
    // delivered.
    bool Show(std::int32_t command);

    // Forgets the window (closes the connection where there is one).
    void Reset() noexcept;

private:
    struct Impl;
    explicit LobbyWindow(std::unique_ptr<Impl> impl) noexcept;
    std::unique_ptr<Impl> impl_;
};

// Where the lobby's socket lives on platforms where the lobby's window is a socket; "" on
// Windows. The lobby side binds here.
std::string LobbySocketPath();

}  // namespace platform
