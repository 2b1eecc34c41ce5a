#include "platform/Ini.h"

#include <string>

namespace platform {

std::string GetIniText(const char* section, const char* key, const char* defaultValue,
                       const char* file, uint32_t capacity) {
    if (capacity == 0) {
        return {};
    }
    std::string text(capacity, '\0');
    text.resize(GetIniString(section, key, defaultValue, text.data(), capacity, file));
    return text;
}

bool WriteIniInt(const char* section, const char* key, int32_t value, const char* file) {
    return WriteIniString(section, key, std::to_string(value).c_str(), file);
}

}  // namespace platform
