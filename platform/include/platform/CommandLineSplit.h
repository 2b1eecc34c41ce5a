// Splitting a command line into arguments the way the C runtime of Windows reads its own, so a
// command line the programs build means the same on every platform.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The first word is the program: up to the first blank, or between quotes with no escapes.
// The rest: blanks separate; quotes group and are dropped; 2n backslashes before a quote give
// n backslashes, 2n+1 give n and a literal quote; "" inside quotes gives a literal quote;
// other backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace platform
