#include "ChatRecord.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace quorin {
namespace {

void PutU32(ChatRecord& record, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A text field of `size` bytes: at most size - 1 bytes of text, the rest zero.
void PutText(ChatRecord& record, size_t offset, size_t size, const std::string& text) {
    const size_t length = std::min(text.size(), size - 1);
    std::copy_n(text.begin(), length, record.begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

ChatRecord BuildChatRecord(const LaunchInfo& launch) {
    ChatRecord record{};
    PutU32(record, 0, launch.ChatId);
    PutU32(record, 8, launch.UserID);
    PutText(record, 12, 33, launch.Password);
    PutText(record, 45, 32, launch.ChatName);
    PutU32(record, 80, launch.SystemVer);
    PutU32(record, 84, launch.ComputerID[0]);
    PutU32(record, 88, launch.ComputerID[1]);
    PutU32(record, 92, launch.ComputerID[2]);
    return record;
}

}  // namespace quorin
