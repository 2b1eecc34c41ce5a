// The text form of the messages that the programs hand to the lobby's main window.
//
// On Windows the messages travel as window messages; where the lobby's window is a local socket
// instead, each message is one line of this form, and the lobby's stand-in records what it
// receives in the same form. Keeping both uses here means the two ends cannot drift apart.
//
//   post <message> <wparam> <lparam>   a posted message; nothing comes back
//   send <message> <wparam> <lparam>   a sent message; the lobby answers one line <result>
//   show <command>                     the window is shown with that show command
//
// Numbers are decimal; only lparam, the result and the show command may carry a leading '-'.
// Fields are separated by exactly one blank and a line ends with '\n', which is not part of
// the texts below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The window class of the lobby's main window, and the name of its socket where it has one.
inline constexpr const char* kLobbyWindowClass = "Orvaline";

// The longest line either side accepts, terminator excluded. The longest valid message
// ("send" with three 20-digit numbers) is far shorter, so a longer line is garbage.
inline constexpr std::size_t kLobbyMaxLine = 128;

inline constexpr char kLobbyLineEnd = '\n';

enum class LobbyVerb { Post, Send, Show };

struct LobbyMessage {
    LobbyVerb verb = LobbyVerb::Post;
    std::uint32_t message = 0;  // Post and Send
    std::uint64_t wparam = 0;   // Post and Send
    std::int64_t lparam = 0;    // Post and Send
    std::int32_t command = 0;   // Show

    friend bool operator==(const LobbyMessage&, const LobbyMessage&) = default;
};

inline LobbyMessage LobbyPost(std::uint32_t message, std::uint64_t wparam, std::int64_t lparam) {
    return {LobbyVerb::Post, message, wparam, lparam, 0};
}
inline LobbyMessage LobbySend(std::uint32_t message, std::uint64_t wparam, std::int64_t lparam) {
    return {LobbyVerb::Send, message, wparam, lparam, 0};
}
inline LobbyMessage LobbyShow(std::int32_t command) {
    return {LobbyVerb::Show, 0, 0, 0, command};
}

// The line for a message, without the terminator.
std::string FormatLobbyLine(const LobbyMessage& message);

// Reads one line (terminator already removed). Empty for anything that is not exactly one of
// the three forms: unknown verbs, missing or extra fields, doubled blanks, signs where none
// belong, numbers out of range, over-long lines.
std::optional<LobbyMessage> ParseLobbyLine(std::string_view line);

// The answer to a sent message, without the terminator, and its reading.
std::string FormatLobbyResult(std::int64_t result);
std::optional<std::int64_t> ParseLobbyResult(std::string_view line);

}  // namespace platform
