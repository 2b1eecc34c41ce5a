// The 96-byte login record the game host hands to ShowChat, read field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace natter {

inline constexpr size_t kLoginRecordSize = 96;

struct LoginRecord {
    uint32_t ChatId = 0;
    uint32_t Reserved = 0;  // sent as zero by the host
    uint32_t UserID = 0;
    std::string Password;  // ANSI, at most 32 bytes
    std::string ChatName;  // ANSI, at most 31 bytes
    uint32_t SystemVer = 0;
    uint32_t ComputerID[3] = {0, 0, 0};
};

// Reads `length` bytes at `data`. False for a null record or any length but 96. A text runs
// to its first zero byte and never past its field, terminated or not.
bool ParseLoginRecord(const void* data, size_t length, LoginRecord& record);

}  // namespace natter
