// The RIFF WAVE chunk walk. Wave images come from anywhere (resources, files read by a caller),
// so every length in them is checked against the bytes really there before it is used.
#include <algorithm>

#include "sound/SoundDevice.h"

namespace harbex {

namespace {

constexpr std::size_t kRiffHeader = 12;  // "RIFF", length, "WAVE"
constexpr std::size_t kChunkHeader = 8;  // id, length
constexpr std::uint32_t kShortestFormat = 14;
constexpr std::uint32_t kPlainFormat = 16;     // with the sample width
constexpr std::uint32_t kExtendedFormat = 18;  // with the extension size

std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool IsId(const unsigned char* p, const char (&id)[5]) {
    return std::equal(p, p + 4, id,
                      [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}

tagWaveFormat ReadFormat(const unsigned char* body, std::uint32_t length) {
    tagWaveFormat format;
    format.wFormatTag = Le16(body);
    format.nChannels = Le16(body + 2);
    format.nSamplesPerSec = Le32(body + 4);
    format.nAvgBytesPerSec = Le32(body + 8);
    format.nBlockAlign = Le16(body + 12);
    if (length >= kPlainFormat) {
        format.wBitsPerSample = Le16(body + 14);
    } else if (format.nChannels != 0) {
        const std::uint32_t bits = 8u * format.nBlockAlign / format.nChannels;
        format.wBitsPerSample = static_cast<std::uint16_t>(std::min<std::uint32_t>(bits, 0xFFFF));
    }
    if (length >= kExtendedFormat) {
        const std::uint32_t available = length - kExtendedFormat;
        format.cbSize =
            static_cast<std::uint16_t>(std::min<std::uint32_t>(Le16(body + 16), available));
        format.pExtra = format.cbSize != 0 ? body + kExtendedFormat : nullptr;
    }
    return format;
}

}  // namespace

std::size_t RiffExtent(const unsigned char* pImage) {
    if (pImage == nullptr) {
        return 0;
    }
    // Byte by byte, so a short image that is not RIFF is not read past its first mismatch.
    static constexpr char kRiff[] = "RIFF";
    for (std::size_t i = 0; i < 4; ++i) {
        if (pImage[i] != static_cast<unsigned char>(kRiff[i])) {
            return 0;
        }
    }
    return kChunkHeader + static_cast<std::size_t>(Le32(pImage + 4));
}

bool WalkWaveImage(const unsigned char* pImage, std::size_t nSize, tagWaveFormat& format,
                   const unsigned char*& pSamples, std::uint32_t& dwSize) {
    format = tagWaveFormat{};
    pSamples = nullptr;
    dwSize = 0;
    if (pImage == nullptr || nSize < kRiffHeader || !IsId(pImage, "RIFF") ||
        !IsId(pImage + 8, "WAVE")) {
        return false;
    }
    // The RIFF chunk ends where its header says, unless the image is shorter than that.
    const std::size_t end = std::min<std::size_t>(nSize, RiffExtent(pImage));

    tagWaveFormat found;
    bool haveFormat = false;
    const unsigned char* samples = nullptr;
    std::uint32_t size = 0;
    bool complete = false;
    std::size_t pos = kRiffHeader;
    while (!complete && pos < end && end - pos >= kChunkHeader) {
        const unsigned char* chunk = pImage + pos;
        const std::uint32_t length = Le32(chunk + 4);
        const std::size_t bodyStart = pos + kChunkHeader;
        const bool fits = length <= end - bodyStart;
        const unsigned char* body = chunk + kChunkHeader;
        if (IsId(chunk, "fmt ")) {
            if (!haveFormat) {
                if (length < kShortestFormat || !fits) {
                    return false;
                }
                found = ReadFormat(body, length);
                haveFormat = true;
                complete = samples != nullptr && size != 0;
            }
        } else if (IsId(chunk, "data")) {
            // Samples that run past the image are refused rather than played from beyond it.
            if (!fits) {
                return false;
            }
            samples = body;
            size = length;
            complete = haveFormat;
        }
        if (!fits) {
            return false;  // a skipped chunk that ends past the image: nothing can follow it
        }
        // The body is padded to an even length.
        pos = bodyStart + length + (length & 1u);
    }
    if (!complete) {
        return false;
    }
    format = found;
    pSamples = samples;
    dwSize = size;
    return true;
}

}  // namespace harbex
