// Decodes arbitrary text into buffers of exactly maxCount bytes (so ASan sees any write past
// them), and checks that texts the encoder makes decode back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "harbex/XOREncrypt.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void DecodeInto(const std::string& text, std::uint16_t maxCount) {
    const std::unique_ptr<char[]> decoded(new char[maxCount]);
    const std::uint16_t n = CXOREncrypt::CrevasseData(text.c_str(), decoded.get(), maxCount);
    Check(n <= 255);
    if (maxCount != 0) {
        // Either the whole text with its terminator, or an empty text.
        Check(n < maxCount ? decoded[n] == '\0' : decoded[0] == '\0');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes choose the buffer size; the rest is the text, cut at a zero byte.
    const std::uint16_t maxCount = static_cast<std::uint16_t>(data[0] | (data[1] & 0x03) << 8);
    const char* begin = reinterpret_cast<const char*>(data + 2);
    const void* zero = std::memchr(begin, 0, size - 2);
    const std::string text(begin,
                           zero != nullptr ? static_cast<const char*>(zero) : begin + size - 2);

    DecodeInto(text, maxCount);
    DecodeInto(text, 0);
    DecodeInto(text, 1);

    // The same text as a source: encode into a buffer of exactly the needed size, decode back.
    const std::uint16_t needed = CXOREncrypt::EncryptData(text.c_str(), nullptr, 0);
    const std::unique_ptr<char[]> encoded(new char[needed]);
    Check(CXOREncrypt::EncryptData(text.c_str(), encoded.get(), needed) == needed - 1);
    const std::size_t n = text.size() % 256;
    const std::unique_ptr<char[]> decoded(new char[n + 1]);
    const std::uint16_t got =
        CXOREncrypt::CrevasseData(encoded.get(), decoded.get(), static_cast<std::uint16_t>(n + 1));
    Check(got == n && std::memcmp(decoded.get(), text.data(), n) == 0 && decoded[n] == '\0');
    return 0;
}
