// GBK through iconv. glibc's CP936 agrees with the Windows table on every assigned character
// (0x80 is the euro sign in both); it only lacks the Windows table's private-use mappings: the
// user-defined areas, the unassigned codes between the assigned ones, and the byte 0xFF. Those are
// mapped here, so a text converts to the same code points on both platforms.
#include <errno.h>
#include <iconv.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "platform/CodePage.h"

namespace platform {

namespace {

constexpr const char* kAnsiCharset = "CP936";
constexpr const char* kUtf16Charset =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + inLeft) as it can, appending to `out`. Returns the bytes
    // consumed; stops before the first sequence it cannot convert.
    std::size_t Convert(const char* in, std::size_t inLeft, std::string& out) {
        const std::size_t total = inLeft;
        char* source = const_cast<char*>(in);
        char chunk[1024];
        for (;;) {
            char* target = chunk;
            std::size_t targetLeft = sizeof chunk;
            std::size_t result = iconv(cd_, &source, &inLeft, &target, &targetLeft);
            out.append(chunk, static_cast<std::size_t>(target - chunk));
            if (result != static_cast<std::size_t>(-1) || errno != E2BIG) {
                break;
            }
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return total - inLeft;
    }

private:
    iconv_t cd_;
};

// The Windows table's private-use area, U+E000 to U+E864, in its order: three user-defined
// blocks, then runs of unassigned codes.
constexpr char16_t kUserBlock1 = 0xE000;  // AAA1..AFFE, 94 per row
constexpr char16_t kUserBlock2 = 0xE234;  // F8A1..FEFE, 94 per row
constexpr char16_t kUserBlock3 = 0xE4C6;  // A140..A7A0, 96 per row (no 0x7F)
constexpr char16_t kRunsStart = 0xE766;

struct Run {
    uint16_t first;
    uint8_t count;
};
constexpr std::array<Run, 27> kRuns{{
    {0xA2AB, 6},  {0xA2E3, 2},  {0xA2EF, 2},  {0xA2FD, 2},  {0xA4F4, 11}, {0xA5F7, 8},
    {0xA6B9, 8},  {0xA6D9, 7},  {0xA6EC, 2},  {0xA6F3, 1},  {0xA6F6, 9},  {0xA7C2, 15},
    {0xA7F2, 13}, {0xA896, 11}, {0xA8BC, 1},  {0xA8BF, 1},  {0xA8C1, 4},  {0xA8EA, 21},
    {0xA958, 1},  {0xA95B, 1},  {0xA95D, 3},  {0xA989, 13}, {0xA997, 13}, {0xA9F0, 15},
    {0xD7FA, 5},  {0xFE50, 47}, {0xFE80, 33},
}};
constexpr std::size_t RunsTotal() {
    std::size_t total = 0;
    for (const Run& run : kRuns) {
        total += run.count;
    }
    return total;
}
static_assert(kRunsStart + RunsTotal() == 0xE865);

constexpr char16_t kLastByteCode = 0xF8F5;  // the single byte 0xFF

std::optional<char16_t> PrivateUseFromGbk(unsigned lead, unsigned trail) {
    if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1 && trail <= 0xFE) {
        return static_cast<char16_t>(kUserBlock1 + (lead - 0xAA) * 94 + (trail - 0xA1));
    }
    if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE) {
        return static_cast<char16_t>(kUserBlock2 + (lead - 0xF8) * 94 + (trail - 0xA1));
    }
    if (lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F) {
        unsigned column = trail < 0x7F ? trail - 0x40 : trail - 0x41;
        return static_cast<char16_t>(kUserBlock3 + (lead - 0xA1) * 96 + column);
    }
    const unsigned code = lead << 8 | trail;
    unsigned offset = kRunsStart;
    for (const Run& run : kRuns) {
        if (code >= run.first && code < run.first + run.count) {
            return static_cast<char16_t>(offset + (code - run.first));
        }
        offset += run.count;
    }
    return std::nullopt;
}

std::optional<uint16_t> GbkFromPrivateUse(char16_t c) {
    if (c >= kUserBlock1 && c < kUserBlock2) {
        unsigned index = c - kUserBlock1;
        return static_cast<uint16_t>((0xAA + index / 94) << 8 | (0xA1 + index % 94));
    }
    if (c >= kUserBlock2 && c < kUserBlock3) {
        unsigned index = c - kUserBlock2;
        return static_cast<uint16_t>((0xF8 + index / 94) << 8 | (0xA1 + index % 94));
    }
    if (c >= kUserBlock3 && c < kRunsStart) {
        unsigned index = c - kUserBlock3;
        unsigned column = index % 96;
        unsigned trail = column < 0x3F ? 0x40 + column : 0x41 + column;
        return static_cast<uint16_t>((0xA1 + index / 96) << 8 | trail);
    }
    unsigned offset = kRunsStart;
    for (const Run& run : kRuns) {
        if (c >= offset && c < offset + run.count) {
            return static_cast<uint16_t>(run.first + (c - offset));
        }
        offset += run.count;
    }
    return std::nullopt;
}

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool IsTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

void AppendUnit(std::string& utf16Bytes, char16_t unit) {
    char bytes[2];
    std::memcpy(bytes, &unit, sizeof unit);
    utf16Bytes.append(bytes, sizeof bytes);
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
    Iconv cd(kUtf16Charset, kAnsiCharset);
    std::string bytes;  // UTF-16 in native byte order
    std::size_t i = 0;
    while (i < ansi.size()) {
        if (cd.valid()) {
            i += cd.Convert(ansi.data() + i, ansi.size() - i, bytes);
            if (i >= ansi.size()) {
                break;
            }
        }
        // One character iconv does not know: the Windows private-use mappings, else '?'.
        const auto lead = static_cast<unsigned char>(ansi[i]);
        if (IsLeadByte(lead) && i + 1 < ansi.size() &&
            IsTrailByte(static_cast<unsigned char>(ansi[i + 1]))) {
            auto trail = static_cast<unsigned char>(ansi[i + 1]);
            AppendUnit(bytes, PrivateUseFromGbk(lead, trail).value_or(u'?'));
            i += 2;
        } else if (lead == 0xFF) {
            AppendUnit(bytes, kLastByteCode);
            ++i;
        } else if (lead < 0x80 && !cd.valid()) {
            AppendUnit(bytes, lead);
            ++i;
        } else {
            // A lead byte without its trail byte: the byte after it is converted on its own.
            AppendUnit(bytes, u'?');
            ++i;
        }
    }
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    Iconv cd(kAnsiCharset, kUtf16Charset);
    const char* data = reinterpret_cast<const char*>(text.data());
    const std::size_t size = text.size() * 2;
    std::string out;
    std::size_t i = 0;
    while (i < size) {
        if (cd.valid()) {
            i += cd.Convert(data + i, size - i, out);
            if (i >= size) {
                break;
            }
        }
        // One code unit iconv cannot convert (a character GBK lacks, a surrogate of one, or a
        // lone surrogate): one '?' per unit, as the Windows conversion gives.
        const char16_t unit = text[i / 2];
        if (std::optional<uint16_t> code = GbkFromPrivateUse(unit)) {
            out += static_cast<char>(*code >> 8);
            out += static_cast<char>(*code & 0xFF);
        } else if (unit == kLastByteCode) {
            out += '\xFF';
        } else if (unit < 0x80 && !cd.valid()) {
            out += static_cast<char>(unit);
        } else {
            out += '?';
        }
        i += 2;
    }
    return out;
}

unsigned AnsiCodePage() {
    return 936;
}

}  // namespace platform
