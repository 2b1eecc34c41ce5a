#include "CommandLine.h"

#include <limits>

namespace quorin {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Saturating decimal read within [min, max].
int64_t ReadDecimal(std::string_view text, int64_t min, int64_t max) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so that the most negative value fits.
    int64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (std::numeric_limits<int64_t>::min() + digit) / 10) {
            saturated = true;
            break;
        }
        value = value * 10 - digit;
    }
    if (saturated) {
        return negative ? min : max;
    }
    if (!negative) {
        if (value < -max) {
            return max;
        }
        return -value;
    }
    return value < min ? min : value;
}

bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

const std::string& Argument(const std::vector<std::string>& arguments, size_t number) {
    static const std::string kEmpty;
    return number >= 1 && number <= arguments.size() ? arguments[number - 1] : kEmpty;
}

void ReadChat(LaunchInfo& info, const std::vector<std::string>& arguments, size_t first) {
    info.ChatId = static_cast<uint32_t>(ReadInt32(Argument(arguments, first)));
    info.ChatName = CutToCapacity(Argument(arguments, first + 1), kChatNameCapacity);
    info.ChatAutoOpen = ReadInt32(Argument(arguments, first + 2));
}

void ReadLobbyForm(LaunchInfo& info, const std::vector<std::string>& arguments) {
    auto text = [&](size_t n) -> const std::string& { return Argument(arguments, n); };
    auto low32 = [&](size_t n) { return static_cast<uint32_t>(ReadInt64(text(n))); };
    info.LaunchMode = ELaunchMode::LobbyGame;
    info.UserID = static_cast<uint32_t>(ReadInt32(text(1)));
    info.Password = CutToCapacity(text(2), kPasswordCapacity);
    info.KindID = static_cast<uint16_t>(ReadInt32(text(3)));
    info.ServerID = static_cast<uint16_t>(ReadInt32(text(4)));
    info.IP = CutToCapacity(text(5), kIpCapacity);
    info.Port = static_cast<uint16_t>(ReadInt32(text(6)));
    info.SystemVer = low32(7);
    info.ComputerID[0] = low32(8);
    info.ComputerID[1] = low32(9);
    info.ComputerID[2] = low32(10);
    // With exactly ten arguments there is no title: it stays empty.
    info.Title = CutToCapacity(text(11), kTitleCapacity);

    switch (arguments.size()) {
        case 14:
            ReadChat(info, arguments, 12);
            break;
        case 15:
            info.GameParam = static_cast<uint8_t>(ReadInt32(text(12)));
            ReadChat(info, arguments, 13);
            break;
        case 16:
            info.GameParam = static_cast<uint8_t>(ReadInt32(text(12)));
            info.Token = CutToCapacity(text(13), kTokenCapacity);
            info.HasToken = true;
            ReadChat(info, arguments, 14);
            break;
        default:
            break;  // 10 to 13, or 17 and more: nothing beyond the title.
    }
}

}  // namespace

int32_t ReadInt32(std::string_view text) {
    return static_cast<int32_t>(ReadDecimal(text, std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::max()));
}

int64_t ReadInt64(std::string_view text) {
    return ReadDecimal(text, std::numeric_limits<int64_t>::min(),
                       std::numeric_limits<int64_t>::max());
}

std::string CutToCapacity(std::string_view text, size_t capacity) {
    if (text.size() <= capacity) {
        return std::string(text);
    }
    size_t end = 0;
    while (end < capacity) {
        const size_t width =
            IsGbkLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + width > capacity) {
            break;
        }
        end += width;
    }
    return std::string(text.substr(0, end));
}

LaunchInfo ReadCommandLine(const std::vector<std::string>& arguments) {
    LaunchInfo info;
    const size_t count = arguments.size();
    if (count >= 10) {
        ReadLobbyForm(info, arguments);
    } else if (count == 1) {
        info.LaunchMode = ELaunchMode::NamedPage;
        info.Title = CutToCapacity(arguments[0], kTitleCapacity);
    } else if (count == 2) {
        info.LaunchMode = ELaunchMode::HelpPage;
        info.KindID = static_cast<uint16_t>(ReadInt32(arguments[0]));
        info.Title = CutToCapacity(arguments[1], kTitleCapacity);
    }
    return info;
}

}  // namespace quorin
