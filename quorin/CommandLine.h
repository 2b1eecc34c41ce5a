// Reading the game host's command line into the launch record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "LaunchInfo.h"

namespace quorin {

// Numbers as the C runtime's atoi and _atoi64 read them: leading white space, one sign,
// decimal digits up to the first other character, no digits giving 0. Out-of-range values
// saturate, as the runtime's conversions do.
int32_t ReadInt32(std::string_view text);
int64_t ReadInt64(std::string_view text);

// `text` cut to at most `capacity` bytes without splitting a double-byte character.
std::string CutToCapacity(std::string_view text, size_t capacity);

// Fills the record from the arguments after the program name; the form is chosen by their count.
// The address is not composed here.
LaunchInfo ReadCommandLine(const std::vector<std::string>& arguments);

}  // namespace quorin
