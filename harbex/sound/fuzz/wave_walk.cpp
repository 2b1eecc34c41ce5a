// Walks arbitrary bytes as a wave image: nothing read or returned may lie outside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "../SoundDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tagWaveFormat format;
    const unsigned char* samples = nullptr;
    std::uint32_t bytes = 0;
    const bool ok = harbex::WalkWaveImage(data, size, format, samples, bytes);
    const unsigned char* end = data + size;
    if (ok) {
        if (samples < data || samples > end || bytes > static_cast<std::size_t>(end - samples)) {
            std::abort();
        }
        if (format.pExtra != nullptr &&
            (format.pExtra < data ||
             format.cbSize > static_cast<std::size_t>(end - format.pExtra))) {
            std::abort();
        }
    } else if (samples != nullptr || bytes != 0 || format.pExtra != nullptr) {
        std::abort();  // a refused image hands out nothing
    }
    return 0;
}
