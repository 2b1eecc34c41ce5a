// The command line after the program's name, as the process received it.
#pragma once

#include <string>
#include <vector>

namespace quorin {

// Windows: the raw text after the program's name. Elsewhere the arguments joined with blanks
// (the raw text is not kept), which is the same for a single unquoted argument.
std::string CommandTail(const std::vector<std::string>& arguments);

}  // namespace quorin
