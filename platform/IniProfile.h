// Our own implementation of private-profile (ini) files: the same answers as the Windows
// functions give, in portable C++. Linux uses it for the platform's ini functions; the Windows
// build compiles it too so that its tests can hold it against the real functions.
//
// Files are byte strings in the ANSI code page (GBK): names compare without regard to ASCII
// letter case, and a double-byte character is never split or folded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::profile {

// Integers are read from this many leading characters of a value, as the platform does.
inline constexpr std::size_t kIntegerTextLimit = 29;

// The raw text of `key` in `section` of an ini text held in memory (blanks trimmed, quotes kept).
// nullopt when the section or key is missing or the key's line has no '='. The first section of
// a name and its first key of a name count; keys before any section header belong to section "".
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// A value in matching single or double quotes without them; anything else unchanged.
std::string_view StripQuotes(std::string_view value);

// Copies `text` into `buffer` of `size` bytes, cut to whole characters so that it fits with its
// terminator. Returns the bytes copied (without the terminator); 0 and nothing written for size 0.
uint32_t CopyText(std::string_view text, char* buffer, uint32_t size);

// The caller's default as the platform returns it: null is "", trailing blanks go, quotes too.
std::string_view PrepareDefault(const char* defaultValue);

// An integer as the platform reads one: leading control characters and blanks, one sign, an
// optional 0x / 0o / 0b prefix, then digits up to the first that does not belong; wraps at
// 32 bits. An empty text gives `defaultValue`.
uint32_t ParseInteger(std::string_view value, int32_t defaultValue);

// The texts of one write as they are stored: leading blanks dropped, and everything from the
// first line break on cut off so that a value can never add lines of its own. nullopt for a
// write that would corrupt the file (no section, or a key that would read as a section header).
struct WriteRequest {
    std::string section;
    std::optional<std::string> key;    // none: delete the section
    std::optional<std::string> value;  // none: delete the key
};
std::optional<WriteRequest> PrepareWrite(const char* section, const char* key, const char* value);

// The ini text after `request`, or nullopt when it changes nothing. Every line the write does
// not concern keeps its bytes; a replaced key keeps its place and its name as spelled in the
// file; a new key follows the last line of its section; a new section goes at the end. New
// lines end with CR LF.
std::optional<std::string> ApplyWrite(std::string_view text, const WriteRequest& request);

// The file operations behind the platform's ini functions. No file stays open between calls.
uint32_t GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                   uint32_t size, const char* file);
uint32_t GetInt(const char* section, const char* key, int32_t defaultValue, const char* file);
bool WriteString(const char* section, const char* key, const char* value, const char* file);

}  // namespace platform::profile
