// The login record the chat plug-in receives: 96 bytes, little-endian.
#pragma once

#include <array>
#include <cstdint>

#include "LaunchInfo.h"

namespace quorin {

inline constexpr size_t kChatRecordSize = 96;
using ChatRecord = std::array<uint8_t, kChatRecordSize>;

ChatRecord BuildChatRecord(const LaunchInfo& launch);

}  // namespace quorin
