// Text conversions between the system's ANSI code page (GBK, code page 936, in which every
// narrow text of the programs is held) and Unicode, for the browser, COM, GTK and XML edges.
//
// No conversion fails: a byte sequence that is no character of its code page, and a character
// the target cannot hold, become a replacement ('?' in the ANSI code page, U+003F or U+FFFD in
// Unicode), and the text around it is kept. Best-fit look-alikes are never substituted.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// ANSI (GBK) and UTF-16.
std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view text);

// ANSI (GBK) and UTF-8.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// UTF-8 and UTF-16; malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

// The code page the ANSI texts are in (936 wherever the programs run as intended).
unsigned AnsiCodePage();

}  // namespace platform
