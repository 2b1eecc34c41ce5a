#include "IniProfile.h"

#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace platform::profile {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kNewLine = "\r\n";

// The platform's blanks around names and values; 0x1A (an old end-of-file mark) is one of them.
bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1A;
}

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool IsTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Length of the character at `i`: 2 for a GBK double-byte character, else 1.
std::size_t CharLength(std::string_view text, std::size_t i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
        IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
        return 2;
    }
    return 1;
}

std::string_view TrimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(static_cast<unsigned char>(s[i]))) {
        ++i;
    }
    return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && IsBlank(static_cast<unsigned char>(s[n - 1]))) {
        --n;
    }
    return s.substr(0, n);
}

std::string_view Trim(std::string_view s) {
    return TrimRight(TrimLeft(s));
}

// A name or value is a C string to the platform: a stray NUL in the file ends it.
std::string_view CutAtNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Section and key names compare without regard to ASCII case; double-byte characters compare
// exactly (their trail bytes may look like ASCII letters).
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    std::size_t i = 0;
    while (i < a.size()) {
        std::size_t length = CharLength(a, i);
        if (length == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
                return false;
            }
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += length;
    }
    return true;
}

// Position of the last ']' that is a character of its own, or npos.
std::size_t FindClosingBracket(std::string_view s) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
        if (s[i] == ']') {
            found = i;
        }
    }
    return found;
}

enum class LineKind { kBlank, kHeader, kEntry };

struct Line {
    std::size_t begin = 0;  // first byte of the line's text
    std::size_t end = 0;    // one past its text, where the line break starts
    std::size_t next = 0;   // first byte of the following line
    LineKind kind = LineKind::kBlank;
    std::string_view name;                  // section name or key name
    std::optional<std::string_view> value;  // key lines with '=' only
};

Line Classify(std::string_view text, std::size_t begin, std::size_t end, std::size_t next) {
    Line line;
    line.begin = begin;
    line.end = end;
    line.next = next;
    std::string_view content = Trim(text.substr(begin, end - begin));
    if (content.empty()) {
        return line;
    }
    if (content.front() == '[') {
        std::size_t close = FindClosingBracket(content);
        if (close != std::string_view::npos && close > 0) {
            line.kind = LineKind::kHeader;
            line.name = Trim(CutAtNul(content.substr(1, close - 1)));
            return line;
        }
    }
    line.kind = LineKind::kEntry;
    std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        line.name = TrimRight(CutAtNul(content));
        return line;
    }
    line.name = TrimRight(CutAtNul(TrimRight(content.substr(0, equals))));
    line.value = TrimRight(CutAtNul(TrimLeft(content.substr(equals + 1))));
    return line;
}

// Walks the lines of an ini text. CR LF, LF and a lone CR each end a line; a UTF-8 byte order
// mark in front of the first line is not part of it.
class LineReader {
public:
    explicit LineReader(std::string_view text)
        : text_(text), pos_(text.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0) {}

    std::size_t BodyStart() const { return text_.substr(0, kUtf8Bom.size()) == kUtf8Bom ? 3 : 0; }

    bool Next(Line& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        std::size_t begin = pos_;
        std::size_t end = text_.find_first_of("\r\n", begin);
        std::size_t next;
        if (end == std::string_view::npos) {
            end = next = text_.size();
        } else if (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') {
            next = end + 2;
        } else {
            next = end + 1;
        }
        pos_ = next;
        line = Classify(text_, begin, end, next);
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_;
};

std::string_view SingleLine(std::string_view s) {
    return s.substr(0, s.find_first_of("\r\n"));
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The whole file; "" for a missing one. nullopt when it exists but cannot be read.
std::optional<std::string> ReadFile(const char* path) {
    errno = 0;
    FilePtr file(std::fopen(path, "rb"));
    if (!file) {
        if (errno == ENOENT) {
            return std::string();
        }
        return std::nullopt;
    }
    std::string content;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        content.append(chunk, got);
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    return content;
}

// The folder that holds `path`; "." for a bare file name.
std::string FolderOf(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    if (separator == std::string_view::npos) {
        return ".";
    }
    // The root keeps its separator ("/", "C:\\"), which names it.
    const bool root = separator == 0 || (separator == 2 && path[1] == ':');
    return std::string(path.substr(0, root ? separator + 1 : separator));
}

// The new text goes to a file beside the old one, which then replaces it in one step: a write
// that fails half-way (a full disk) leaves the old file whole.
bool WriteFile(const char* path, std::string_view content) {
    const std::string staging = std::string(path) + ".tmp";
    FilePtr file(std::fopen(staging.c_str(), "wb"));
    if (!file) {
        return false;
    }
    const bool written =
        std::fwrite(content.data(), 1, content.size(), file.get()) == content.size() &&
        std::fflush(file.get()) == 0;
    const bool closed = std::fclose(file.release()) == 0;
    if (written && closed && platform::MoveReplacing(staging, path)) {
        return true;
    }
    std::remove(staging.c_str());
    return false;
}

}  // namespace

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    section = Trim(CutAtNul(section));
    key = Trim(CutAtNul(key));
    LineReader reader(text);
    bool inSection = section.empty();  // the nameless section before the first header
    Line line;
    while (reader.Next(line)) {
        if (line.kind == LineKind::kHeader) {
            if (inSection) {
                return std::nullopt;  // a later section of the same name is never read
            }
            inSection = SameName(line.name, section);
        } else if (line.kind == LineKind::kEntry && inSection && SameName(line.name, key)) {
            return line.value;
        }
    }
    return std::nullopt;
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

uint32_t CopyText(std::string_view text, char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::size_t room = size - 1;
    std::size_t length = 0;
    while (length < text.size()) {
        std::size_t step = CharLength(text, length);
        if (length + step > room) {
            break;
        }
        length += step;
    }
    text.copy(buffer, length);
    buffer[length] = '\0';
    return static_cast<uint32_t>(length);
}

std::string_view PrepareDefault(const char* defaultValue) {
    if (defaultValue == nullptr) {
        return {};
    }
    std::string_view text(defaultValue);
    // Only spaces go, and never the first character (so "  " stays " ").
    std::size_t n = text.size();
    while (n > 1 && text[n - 1] == ' ') {
        --n;
    }
    return StripQuotes(text.substr(0, n));
}

uint32_t ParseInteger(std::string_view value, int32_t defaultValue) {
    if (value.empty()) {
        return static_cast<uint32_t>(defaultValue);
    }
    value = value.substr(0, kIntegerTextLimit);
    std::size_t i = 0;
    while (i < value.size() && static_cast<unsigned char>(value[i]) <= ' ') {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    uint32_t base = 10;
    if (i + 1 < value.size() && value[i] == '0') {
        switch (value[i + 1]) {
            case 'x':
                base = 16;
                break;
            case 'o':
                base = 8;
                break;
            case 'b':
                base = 2;
                break;
            default:
                break;
        }
        if (base != 10) {
            i += 2;
        }
    }
    uint32_t result = 0;
    for (; i < value.size(); ++i) {
        char c = value[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'z') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'Z') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
        if (digit >= base) {
            break;
        }
        result = result * base + digit;  // unsigned: wraps like the platform's reader
    }
    return negative ? 0u - result : result;
}

std::optional<WriteRequest> PrepareWrite(const char* section, const char* key, const char* value) {
    if (section == nullptr) {
        return std::nullopt;
    }
    WriteRequest request;
    request.section = TrimLeft(SingleLine(section));
    if (key != nullptr) {
        std::string_view name = TrimLeft(SingleLine(key));
        if (!name.empty() && name.front() == '[') {
            return std::nullopt;
        }
        request.key = std::string(name);
        if (value != nullptr) {
            request.value = std::string(TrimLeft(SingleLine(value)));
        }
    }
    return request;
}

std::optional<std::string> ApplyWrite(std::string_view text, const WriteRequest& request) {
    LineReader reader(text);
    const std::size_t bodyStart = reader.BodyStart();

    // Find the first section of the name: where its lines start and end, where its last
    // non-blank line ends, and its first line for the key.
    bool found = request.section.empty();  // the nameless section is always there
    bool done = false;
    std::size_t sectionBegin = bodyStart;  // header line, or the body for the nameless one
    std::size_t sectionEnd = text.size();
    std::optional<Line> lastFilled;
    std::optional<Line> keyLine;
    Line line;
    while (!done && reader.Next(line)) {
        if (line.kind == LineKind::kHeader) {
            if (found) {
                sectionEnd = line.begin;
                done = true;
            } else if (SameName(line.name, Trim(request.section))) {
                found = true;
                sectionBegin = line.begin;
                lastFilled = line;
            }
            continue;
        }
        if (!found || line.kind == LineKind::kBlank) {
            continue;
        }
        lastFilled = line;
        if (!keyLine && request.key && SameName(line.name, Trim(*request.key))) {
            keyLine = line;
        }
    }

    std::string out(text);
    if (!request.key) {
        if (!found || sectionBegin == sectionEnd) {
            return std::nullopt;
        }
        out.erase(sectionBegin, sectionEnd - sectionBegin);
        return out;
    }
    if (!request.value) {
        if (!keyLine) {
            return std::nullopt;
        }
        out.erase(keyLine->begin, keyLine->next - keyLine->begin);
        return out;
    }

    const std::string entry = *request.key + "=" + *request.value;
    if (keyLine) {
        std::string replacement = std::string(keyLine->name) + "=" + *request.value;
        if (keyLine->next == keyLine->end) {
            replacement += kNewLine;  // the file's last line had no line break
        }
        out.replace(keyLine->begin, keyLine->end - keyLine->begin, replacement);
    } else if (found) {
        std::size_t at = lastFilled ? lastFilled->next : bodyStart;
        std::string insert = entry + std::string(kNewLine);
        if (lastFilled && lastFilled->next == lastFilled->end) {
            insert.insert(0, kNewLine);
        }
        out.insert(at, insert);
    } else {
        if (text.size() > bodyStart && text.back() != '\n' && text.back() != '\r') {
            out += kNewLine;
        }
        out += "[" + request.section + "]" + std::string(kNewLine) + entry + std::string(kNewLine);
    }
    if (out == text) {
        return std::nullopt;
    }
    return out;
}

uint32_t GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                   uint32_t size, const char* file) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    if (section != nullptr && key != nullptr && file != nullptr) {
        std::optional<std::string> text = ReadFile(file);
        if (text) {
            if (std::optional<std::string_view> value = FindValue(*text, section, key)) {
                return CopyText(StripQuotes(*value), buffer, size);
            }
        }
    }
    return CopyText(PrepareDefault(defaultValue), buffer, size);
}

uint32_t GetInt(const char* section, const char* key, int32_t defaultValue, const char* file) {
    if (section == nullptr || key == nullptr || file == nullptr) {
        return static_cast<uint32_t>(defaultValue);
    }
    std::optional<std::string> text = ReadFile(file);
    if (!text) {
        return static_cast<uint32_t>(defaultValue);
    }
    std::optional<std::string_view> value = FindValue(*text, section, key);
    if (!value) {
        return static_cast<uint32_t>(defaultValue);
    }
    return ParseInteger(StripQuotes(*value), defaultValue);
}

bool WriteString(const char* section, const char* key, const char* value, const char* file) {
    std::optional<WriteRequest> request = PrepareWrite(section, key, value);
    if (!request || file == nullptr) {
        return false;
    }
    // Another writer of the same file, in this process or another (two updaters record their
    // versions at once), must not replace it between our read and our write: its change
    // would be lost, and two writers of one staging file would mix their texts.
    const FolderUpdateLock lock(FolderOf(file));
    std::optional<std::string> text = ReadFile(file);
    if (!text) {
        return false;  // never replace a file we could not read
    }
    std::optional<std::string> updated = ApplyWrite(*text, *request);
    return !updated || WriteFile(file, *updated);
}

}  // namespace platform::profile
