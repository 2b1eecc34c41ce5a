// Conversions through the ANSI code page the process runs with (CP_ACP), not a hard-coded 936:
// every narrow Win32 call of the programs (files, ini texts, window texts) reads its bytes in
// that code page, so converting with the same one keeps a text the same text across all of them.
#include <windows.h>

#include "platform/CodePage.h"

namespace platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected on Windows");

namespace {

// The text in `codePage`, or "" when the system refuses the conversion.
std::string FromUtf16(unsigned codePage, DWORD flags, std::u16string_view text) {
    const auto* in = reinterpret_cast<const wchar_t*>(text.data());
    const int inLength = static_cast<int>(text.size());
    int length = WideCharToMultiByte(codePage, flags, in, inLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(length), '\0');
    length =
        WideCharToMultiByte(codePage, flags, in, inLength, out.data(), length, nullptr, nullptr);
    out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return out;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
    if (ansi.empty()) {
        return {};
    }
    const int inLength = static_cast<int>(ansi.size());
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLength, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::u16string out(static_cast<std::size_t>(length), u'\0');
    length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLength,
                                 reinterpret_cast<wchar_t*>(out.data()), length);
    out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    if (text.empty()) {
        return {};
    }
    // No best fit: a look-alike (say a letter without its accent, or a slash for a fraction
    // slash) would change what a text means, so what the code page lacks becomes '?'. Code
    // pages that hold every character (UTF-8, GB18030, set as the system's by some players)
    // refuse the flag and need none.
    std::string out = FromUtf16(CP_ACP, WC_NO_BEST_FIT_CHARS, text);
    if (out.empty()) {
        out = FromUtf16(CP_ACP, 0, text);
    }
    return out;
}

unsigned AnsiCodePage() {
    return GetACP();
}

}  // namespace platform
