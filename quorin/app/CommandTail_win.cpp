#include <windows.h>

#include "CommandTail.h"

namespace quorin {

std::string CommandTail(const std::vector<std::string>&) {
    const char* line = GetCommandLineA();
    if (line == nullptr) {
        return {};
    }
    // The program's name ends at the closing quote, or at the first blank when unquoted.
    if (*line == '"') {
        ++line;
        while (*line != '\0' && *line != '"') {
            ++line;
        }
        if (*line == '"') {
            ++line;
        }
    } else {
        while (*line != '\0' && *line != ' ' && *line != '\t') {
            ++line;
        }
    }
    while (*line == ' ' || *line == '\t') {
        ++line;
    }
    return line;
}

}  // namespace quorin
