// The launch record: what the lobby tells the game host on its command line.
#pragma once

#include <cstdint>
#include <string>

namespace quorin {

enum class ELaunchMode : int { None = 0, NamedPage = 2, LobbyGame = 3, HelpPage = 4 };

// Text capacities the host is built for, in bytes of the ANSI code page. Longer command-line
// texts are cut to whole characters.
inline constexpr size_t kPasswordCapacity = 32;
inline constexpr size_t kIpCapacity = 15;
inline constexpr size_t kTitleCapacity = 33;
inline constexpr size_t kTokenCapacity = 32;
inline constexpr size_t kChatNameCapacity = 31;

inline constexpr int32_t kDefaultWidth = 1024;
inline constexpr int32_t kDefaultHeight = 768;
inline constexpr int32_t kHelpWidth = 778;
inline constexpr int32_t kHelpHeight = 465;

struct LaunchInfo {
    ELaunchMode LaunchMode = ELaunchMode::None;
    uint32_t UserID = 0;
    std::string Password;
    uint16_t KindID = 0;
    uint16_t ServerID = 0;
    std::string IP;
    uint16_t Port = 0;
    uint32_t SystemVer = 0;
    uint32_t ComputerID[3] = {0, 0, 0};
    std::string Title;
    uint8_t GameParam = 0;
    std::string Token;
    uint32_t ChatId = 0;
    std::string ChatName;
    int32_t ChatAutoOpen = 0;
    int32_t Width = kDefaultWidth;
    int32_t Height = kDefaultHeight;
    std::string GameUrl;

    // The lobby form with 16 arguments carries the game parameter and the token.
    bool HasToken = false;
};

}  // namespace quorin
