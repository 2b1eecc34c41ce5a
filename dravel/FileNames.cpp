#include "FileNames.h"

#include "platform/Paths.h"

namespace dravel {

namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Calls `f(position, length)` for every character: two bytes for a GBK double-byte character,
// one otherwise. A lead byte at the very end counts as one byte of its own.
template <typename F>
void ForEachCharacter(std::string_view text, F&& f) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length =
            (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
        f(i, length);
        i += length;
    }
}

}  // namespace

std::vector<std::string> SplitFileName(std::string_view name) {
    std::vector<std::string> parts(1);
    ForEachCharacter(name, [&](std::size_t at, std::size_t length) {
        if (length == 1 && IsSeparator(name[at])) {
            parts.emplace_back();
        } else {
            parts.back().append(name.substr(at, length));
        }
    });
    return parts;
}

bool IsSafeFileName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFileNameBytes) {
        return false;
    }
    bool safe = true;
    ForEachCharacter(name, [&](std::size_t at, std::size_t length) {
        const unsigned char c = static_cast<unsigned char>(name[at]);
        if (length == 2) {
            return;
        }
        if (c < 0x20 || c == 0x7F || IsLeadByte(c) || c == 0x80 || c == 0xFF) {
            safe = false;  // controls, and a lead byte cut off at the end
            return;
        }
        switch (c) {
            case ':':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
                safe = false;
                break;
            default:
                break;
        }
    });
    if (!safe) {
        return false;
    }
    for (const std::string& component : SplitFileName(name)) {
        // An empty component is a leading separator (absolute), a doubled one or a trailing one.
        if (component.empty() || component.back() == '.' || component.back() == ' ' ||
            platform::IsReservedDeviceName(component)) {
            return false;
        }
    }
    return true;
}

std::string NativeFileName(std::string_view name) {
    std::string native;
    bool first = true;
    for (const std::string& component : SplitFileName(name)) {
        if (!first) {
            native += platform::kPathSeparator;
        }
        native += component;
        first = false;
    }
    return native;
}

std::string JoinFolder(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !IsSeparator(path.back())) {
        path += platform::kPathSeparator;
    }
    path.append(name);
    return path;
}

std::string UrlPathOfFileName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url;
    bool first = true;
    for (const std::string& component : SplitFileName(name)) {
        if (!first) {
            url += '/';
        }
        first = false;
        for (char ch : component) {
            const unsigned char c = static_cast<unsigned char>(ch);
            // '\\' and the like can only be the second byte of a double-byte character here.
            if (c <= 0x20 || c >= 0x7F ||
                std::string_view("%#?+\\\"<>^`{|}").find(ch) != std::string_view::npos) {
                url += '%';
                url += kHex[c >> 4];
                url += kHex[c & 0x0F];
            } else {
                url += ch;
            }
        }
    }
    return url;
}

std::string AsciiUpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = AsciiUpper(c);
    }
    return upper;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace dravel
