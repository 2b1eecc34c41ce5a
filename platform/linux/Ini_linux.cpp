// Linux has no private-profile functions: our own implementation answers in their place.
#include "../IniProfile.h"
#include "platform/Ini.h"

namespace platform {

uint32_t GetIniString(const char* section, const char* key, const char* defaultValue, char* buffer,
                      uint32_t size, const char* file) {
    return profile::GetString(section, key, defaultValue, buffer, size, file);
}

uint32_t GetIniInt(const char* section, const char* key, int32_t defaultValue, const char* file) {
    return profile::GetInt(section, key, defaultValue, file);
}

bool WriteIniString(const char* section, const char* key, const char* value, const char* file) {
    return profile::WriteString(section, key, value, file);
}

}  // namespace platform
