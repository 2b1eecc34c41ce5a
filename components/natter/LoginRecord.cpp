#include "LoginRecord.h"

#include <algorithm>
#include <utility>

namespace natter {
namespace {

constexpr size_t kPasswordOffset = 12;
constexpr size_t kPasswordField = 33;
constexpr size_t kChatNameOffset = 45;
constexpr size_t kChatNameField = 32;

uint32_t U32At(const uint8_t* bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

// Up to the first zero, at most field - 1 bytes: the last byte of a field is its terminator.
std::string TextAt(const uint8_t* bytes, size_t offset, size_t field) {
    const uint8_t* begin = bytes + offset;
    const uint8_t* end = std::find(begin, begin + field - 1, uint8_t{0});
    return std::string(begin, end);
}

}  // namespace

bool ParseLoginRecord(const void* data, size_t length, LoginRecord& record) {
    if (data == nullptr || length != kLoginRecordSize) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    LoginRecord parsed;
    parsed.ChatId = U32At(bytes, 0);
    parsed.Reserved = U32At(bytes, 4);
    parsed.UserID = U32At(bytes, 8);
    parsed.Password = TextAt(bytes, kPasswordOffset, kPasswordField);
    parsed.ChatName = TextAt(bytes, kChatNameOffset, kChatNameField);
    parsed.SystemVer = U32At(bytes, 80);
    parsed.ComputerID[0] = U32At(bytes, 84);
    parsed.ComputerID[1] = U32At(bytes, 88);
    parsed.ComputerID[2] = U32At(bytes, 92);
    record = std::move(parsed);
    return true;
}

}  // namespace natter
