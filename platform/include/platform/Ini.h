// Settings files: Windows-style private-profile (ini) files, sections in square brackets and
// key=value lines, in the ANSI code page. The functions answer as the platform's private-profile
// functions do: a missing file, section or key gives the caller's default, names compare without
// regard to ASCII letter case, blanks around names and values and matching quotes around a value
// are dropped, and the first section and key of a name count.
//
// Always pass a path with a folder: on Windows a bare file name means the Windows folder.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// What the programs read ini texts into, terminator included.
inline constexpr uint32_t kIniTextCapacity = 1024;

// Copies the value (or the default; null counts as "") into `buffer` of `size` bytes, cut to
// whole characters so that it fits with its terminator, and returns the bytes copied. A value cut
// this way is at most size - 1 bytes long; size 0 writes nothing. A null section or key is treated
// as missing.
uint32_t GetIniString(const char* section, const char* key, const char* defaultValue, char* buffer,
                      uint32_t size, const char* file);

// The value as an integer, read as the platform reads one: leading blanks, one sign, then
// decimal digits (or hex, octal, binary after 0x, 0o, 0b) up to the first other character,
// wrapping at 32 bits; a missing key or an empty value gives `defaultValue`. Returns the 32-bit
// pattern, as the platform does (a negative value comes back as its two's complement).
uint32_t GetIniInt(const char* section, const char* key, int32_t defaultValue, const char* file);

// Writes key=value into the section, creating the file and the section as needed. A null value
// deletes the key, a null key deletes the whole section. Lines the write does not concern keep
// their bytes. A value is cut at its first line break, so it can never add lines of its own;
// a key that would read as a section header is refused. Returns false when nothing could be
// written.
bool WriteIniString(const char* section, const char* key, const char* value, const char* file);

// The value as the programs use it: read into a buffer of `capacity` bytes.
std::string GetIniText(const char* section, const char* key, const char* defaultValue,
                       const char* file, uint32_t capacity = kIniTextCapacity);

// Writes the integer in decimal.
bool WriteIniInt(const char* section, const char* key, int32_t value, const char* file);

}  // namespace platform
