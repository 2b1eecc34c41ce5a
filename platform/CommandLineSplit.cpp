#include "platform/CommandLineSplit.h"

namespace platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> arguments;
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    if (i == line.size()) {
        return arguments;
    }
    // The program's name: a folder may end in a backslash, so no escapes here.
    std::string program;
    if (line[i] == '"') {
        const size_t close = line.find('"', i + 1);
        const size_t end = close == std::string_view::npos ? line.size() : close;
        program.assign(line.substr(i + 1, end - i - 1));
        i = close == std::string_view::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !IsBlank(line[i])) {
        program += line[i++];
    }
    arguments.push_back(std::move(program));

    std::string current;
    bool inArgument = false;
    bool quoted = false;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '\\') {
            size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                current.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    current += '"';
                    ++i;
                }
                // An even run leaves the quote to the next turn, where it groups.
            } else {
                current.append(slashes, '\\');
            }
            inArgument = true;
        } else if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                current += '"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
            inArgument = true;
        } else if (IsBlank(c) && !quoted) {
            if (inArgument) {
                arguments.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
            ++i;
        } else {
            current += c;
            inArgument = true;
            ++i;
        }
    }
    if (inArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

}  // namespace platform
