// The platform's private-profile functions, with the same guards as our own implementation:
// null names read as missing, texts are cut to whole characters, and writes cannot add lines.
#include <windows.h>

#include <string>

#include "../IniProfile.h"
#include "platform/Ini.h"

namespace platform {

namespace {

// Longest value fetched before it is cut to the caller's buffer.
constexpr DWORD kLongestValue = 1u << 20;

}  // namespace

uint32_t GetIniString(const char* section, const char* key, const char* defaultValue, char* buffer,
                      uint32_t size, const char* file) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    if (section == nullptr || key == nullptr || file == nullptr) {
        // The API would list names (or read win.ini) here; a missing name gives the default.
        return profile::CopyText(profile::PrepareDefault(defaultValue), buffer, size);
    }
    // Fetch the whole value and cut it ourselves: the API may split a double-byte character
    // when it cuts, and a quoted value one byte short of the buffer loses its last character.
    std::string value(1024, '\0');
    for (;;) {
        DWORD capacity = static_cast<DWORD>(value.size());
        DWORD got =
            GetPrivateProfileStringA(section, key, defaultValue, value.data(), capacity, file);
        if (got + 2 < capacity || capacity >= kLongestValue) {
            value.resize(got < capacity ? got : capacity - 1);
            break;
        }
        value.assign(static_cast<std::size_t>(capacity) * 2, '\0');
    }
    return profile::CopyText(value, buffer, size);
}

uint32_t GetIniInt(const char* section, const char* key, int32_t defaultValue, const char* file) {
    if (section == nullptr || key == nullptr || file == nullptr) {
        return static_cast<uint32_t>(defaultValue);
    }
    return GetPrivateProfileIntA(section, key, defaultValue, file);
}

bool WriteIniString(const char* section, const char* key, const char* value, const char* file) {
    std::optional<profile::WriteRequest> request = profile::PrepareWrite(section, key, value);
    if (!request || file == nullptr) {
        return false;
    }
    return WritePrivateProfileStringA(
               request->section.c_str(), request->key ? request->key->c_str() : nullptr,
               request->value ? request->value->c_str() : nullptr, file) != 0;
}

}  // namespace platform
