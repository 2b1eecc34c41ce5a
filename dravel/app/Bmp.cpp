#include <cstring>
#include <vector>

#include "Pictures.h"

namespace dravel::app {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER; later versions extend it
constexpr uint32_t kRgb = 0;                 // BI_RGB: no compression
constexpr uint32_t kBitFields = 3;           // BI_BITFIELDS: 32-bit only, masks after the header

uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

platform::Image DecodeBmp(const uint8_t* data, std::size_t size) {
    platform::Image image;
    if (data == nullptr) {
        return image;
    }
    std::size_t info = 0;
    std::size_t pixelsAt = 0;
    const bool wholeFile = size >= 2 && data[0] == 'B' && data[1] == 'M';
    if (wholeFile) {
        if (size < kFileHeaderSize + kInfoHeaderSize) {
            return image;
        }
        info = kFileHeaderSize;
        pixelsAt = U32(data + 10);
    } else if (size < kInfoHeaderSize) {
        return image;
    }
    const uint32_t headerSize = U32(data + info);
    if (headerSize < kInfoHeaderSize || headerSize > size - info) {
        return image;
    }
    const int32_t width = static_cast<int32_t>(U32(data + info + 4));
    const int32_t rawHeight = static_cast<int32_t>(U32(data + info + 8));
    const uint16_t bits = U16(data + info + 14);
    const uint32_t compression = U32(data + info + 16);
    if (width <= 0 || width > platform::Image::kMaxSide || rawHeight == 0 ||
        rawHeight < -platform::Image::kMaxSide || rawHeight > platform::Image::kMaxSide) {
        return image;
    }
    if (!(bits == 24 && compression == kRgb) &&
        !(bits == 32 && (compression == kRgb || compression == kBitFields))) {
        return image;
    }
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    if (!wholeFile) {
        // A resource's pixels follow the header (and the three masks of BI_BITFIELDS).
        pixelsAt = info + headerSize + (compression == kBitFields && headerSize == 40 ? 12 : 0);
    }
    const std::size_t bytesPerPixel = bits / 8;
    const std::size_t stride =
        (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};
    const std::size_t needed = stride * static_cast<std::size_t>(height);
    if (pixelsAt > size || size - pixelsAt < needed) {
        return image;
    }
    std::vector<platform::Argb> pixels(static_cast<std::size_t>(width) *
                                       static_cast<std::size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const int32_t sourceRow = topDown ? y : height - 1 - y;
        const uint8_t* row = data + pixelsAt + stride * static_cast<std::size_t>(sourceRow);
        platform::Argb* out =
            pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + static_cast<std::size_t>(x) * bytesPerPixel;
            // The pictures are opaque: the fourth byte of 32-bit pixels is not alpha in GDI.
            out[x] = platform::MakeRgb(p[2], p[1], p[0]);
        }
    }
    image.Assign(width, height, pixels.data());
    return image;
}

}  // namespace dravel::app
