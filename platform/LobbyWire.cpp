#include "platform/LobbyWire.h"

#include <charconv>
#include <vector>

namespace platform {

namespace {

// Reads a whole field as a decimal number of type T. from_chars already refuses a '+', blanks,
// a '-' for unsigned types and values beyond T's range; what is left is to insist that the
// number fills the field.
template <typename T>
std::optional<T> ParseNumber(std::string_view field) {
    T value{};
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value, 10);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// Splits at single blanks; an empty field (doubled, leading or trailing blank) is kept as such
// so that the caller's parse rejects it.
std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t blank = line.find(' ', start);
        if (blank == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
}

}  // namespace

std::string FormatLobbyLine(const LobbyMessage& message) {
    switch (message.verb) {
        case LobbyVerb::Show:
            return "show " + std::to_string(message.command);
        case LobbyVerb::Post:
        case LobbyVerb::Send:
            break;
    }
    return std::string(message.verb == LobbyVerb::Send ? "send " : "post ") +
           std::to_string(message.message) + ' ' + std::to_string(message.wparam) + ' ' +
           std::to_string(message.lparam);
}

std::optional<LobbyMessage> ParseLobbyLine(std::string_view line) {
    if (line.size() > kLobbyMaxLine) {
        return std::nullopt;
    }
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields[0] == "show") {
        if (fields.size() != 2) {
            return std::nullopt;
        }
        const auto command = ParseNumber<std::int32_t>(fields[1]);
        if (!command) {
            return std::nullopt;
        }
        return LobbyShow(*command);
    }
    LobbyMessage result;
    if (fields[0] == "post") {
        result.verb = LobbyVerb::Post;
    } else if (fields[0] == "send") {
        result.verb = LobbyVerb::Send;
    } else {
        return std::nullopt;
    }
    if (fields.size() != 4) {
        return std::nullopt;
    }
    const auto message = ParseNumber<std::uint32_t>(fields[1]);
    const auto wparam = ParseNumber<std::uint64_t>(fields[2]);
    const auto lparam = ParseNumber<std::int64_t>(fields[3]);
    if (!message || !wparam || !lparam) {
        return std::nullopt;
    }
    result.message = *message;
    result.wparam = *wparam;
    result.lparam = *lparam;
    return result;
}

std::string FormatLobbyResult(std::int64_t result) {
    return std::to_string(result);
}

std::optional<std::int64_t> ParseLobbyResult(std::string_view line) {
    if (line.size() > kLobbyMaxLine) {
        return std::nullopt;
    }
    return ParseNumber<std::int64_t>(line);
}

}  // namespace platform
