// Feeds arbitrary bytes to the ini reader as a file's text: looks up keys into small buffers
// (exactly sized, so the sanitizer sees any overrun), reads integers, and checks that a write
// reads back as written.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "../IniProfile.h"

namespace {

using namespace platform::profile;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void ReadInto(std::string_view text, std::string_view section, std::string_view key,
              uint32_t size) {
    std::optional<std::string_view> value = FindValue(text, section, key);
    std::string_view shown = value ? StripQuotes(*value) : PrepareDefault("default ");
    std::unique_ptr<char[]> buffer(size ? new char[size] : nullptr);
    uint32_t copied = CopyText(shown, buffer.get(), size);
    if (size == 0) {
        Check(copied == 0);
        return;
    }
    Check(copied < size && buffer[copied] == '\0');
    Check(shown.substr(0, copied) == std::string_view(buffer.get(), copied));
    if (value) {
        ParseInteger(StripQuotes(*value), -1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes choose the buffer size and a key name taken from the text itself.
    const uint32_t bufferSize = data[0] % 16;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string_view ownKey = text.substr(0, data[1] % 8);

    ReadInto(text, "Sec", "Key", bufferSize);
    ReadInto(text, "", "Key", bufferSize);
    ReadInto(text, "sec", ownKey, bufferSize);
    ReadInto(text, "\xD2\xF4\xC0\xD6", "\xD0\xD0", bufferSize);

    // Whatever the text, a key written into it reads back as written ('=' would end the name).
    std::string key(ownKey.empty() ? std::string("Key") : std::string(ownKey));
    if (key.find('=') != std::string::npos) {
        key = "Key";
    }
    std::optional<WriteRequest> request = PrepareWrite("Sec", key.c_str(), "v\xD0\xD0");
    if (request && !request->key->empty()) {
        std::string stored(text);
        if (std::optional<std::string> updated = ApplyWrite(text, *request)) {
            stored = *updated;
        }
        std::optional<std::string_view> back = FindValue(stored, "Sec", *request->key);
        Check(back && *back == "v\xD0\xD0");
    }
    if (std::optional<WriteRequest> drop = PrepareWrite("Sec", nullptr, nullptr)) {
        ApplyWrite(text, *drop);
    }
    return 0;
}
