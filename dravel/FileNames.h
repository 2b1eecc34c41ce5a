// Names of the files a manifest lists: which are safe to write, how they become local paths
// and download addresses. Names are GBK byte strings; a separator or special character is
// only recognised where it stands as a character of its own, never as the second byte of a
// double-byte character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dravel {

// What a queued name may hold at most, in bytes.
inline constexpr std::size_t kMaxFileNameBytes = 99;

// True for a relative name that stays inside the program folder and that every platform can
// create: not empty, at most 99 bytes, no absolute path or drive, no "." or ".." or empty
// component, no ':' or other character Windows refuses, no device name (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, with or without extension, any case), no component ending in a dot or blank.
bool IsSafeFileName(std::string_view name);

// The components of a name, split at '/' and '\\'.
std::vector<std::string> SplitFileName(std::string_view name);

// The name with the platform's separator between its components.
std::string NativeFileName(std::string_view name);

// Folder and name joined with exactly one separator between them.
std::string JoinFolder(std::string_view folder, std::string_view name);

// The name as the path of a download address: '/' between components, and every byte that
// a URL cannot carry as it is (blank, '%', '#', '?', '+', '\\', controls, non-ASCII, ...)
// percent-encoded.
std::string UrlPathOfFileName(std::string_view name);

// The text with its ASCII letters in upper case; other bytes unchanged.
std::string AsciiUpperCase(std::string_view text);

// ASCII letters compared without regard to case; other bytes must be equal.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace dravel
