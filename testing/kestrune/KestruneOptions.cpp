#include "KestruneOptions.h"

#include <charconv>
#include <fstream>
#include <iterator>

#include "platform/Files.h"
#include "platform/LobbyWire.h"

namespace kestrune {

namespace {

template <typename T>
bool ParseWhole(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
    return !text.empty() && error == std::errc() && stop == end;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            options.arguments.push_back(arg);
            continue;
        }
        const bool takesValue = arg == "--record" || arg == "--exit-after-ms" || arg == "--answer";
        if (takesValue && i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        if (arg == "--record") {
            options.record = args[++i];
            if (options.record.empty()) {
                error = "--record needs a file name";
                return std::nullopt;
            }
        } else if (arg == "--exit-after-ms") {
            long milliseconds = 0;
            if (!ParseWhole(args[++i], milliseconds) || milliseconds < 0) {
                error = "--exit-after-ms needs a number of milliseconds";
                return std::nullopt;
            }
            options.exitAfterMs = milliseconds;
        } else if (arg == "--answer") {
            if (!ParseWhole(args[++i], options.answer)) {
                error = "--answer needs a number";
                return std::nullopt;
            }
        } else if (arg == "--no-answer") {
            options.onSend = OnSend::Ignore;
        } else if (arg == "--quit-on-send") {
            options.onSend = OnSend::Quit;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    return options;
}

std::string StartLine(const std::vector<std::string>& arguments) {
    std::string line = "start";
    for (const std::string& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

bool AppendRecord(const std::string& path, const std::string& line) {
    std::string data = line;
    data += platform::kLobbyLineEnd;
    // One write per line: a reader polling the file never sees half a line followed by more.
    return platform::AppendToFile(path, data.data(), data.size());
}

std::vector<std::string> ReadRecord(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(platform::kLobbyLineEnd, start);
        if (end == std::string::npos) {
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace kestrune
