// Decoded pictures and the small drawing types the painting code shares.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// A rectangle in pixels: left, top, width and height.
struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const Rect&) const = default;
};

// A colour as 0xAARRGGBB.
using Argb = uint32_t;

constexpr Argb MakeArgb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (Argb{a} << 24) | (Argb{r} << 16) | (Argb{g} << 8) | Argb{b};
}
constexpr Argb MakeRgb(uint8_t r, uint8_t g, uint8_t b) {
    return MakeArgb(255, r, g, b);
}
constexpr uint8_t AlphaOf(Argb c) {
    return static_cast<uint8_t>(c >> 24);
}
constexpr uint8_t RedOf(Argb c) {
    return static_cast<uint8_t>(c >> 16);
}
constexpr uint8_t GreenOf(Argb c) {
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t BlueOf(Argb c) {
    return static_cast<uint8_t>(c);
}

// The colour with its channels multiplied by its alpha, rounded to nearest: the form in which
// images hold their pixels. Both platforms premultiply with this, so they decode alike.
constexpr Argb Premultiply(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    auto scale = [a](uint8_t c) { return static_cast<uint8_t>((c * a + 127) / 255); };
    return MakeArgb(a, scale(r), scale(g), scale(b));
}

// A picture decoded from a PNG or BMP file into premultiplied 32-bit pixels, ready to be drawn
// on a Canvas. A picture that could not be read leaves the image empty; nothing throws.
class Image {
public:
    // Larger pictures are refused, so a forged header cannot demand gigabytes.
    static constexpr int32_t kMaxSide = 16384;

    Image();
    ~Image();
    Image(Image&& other) noexcept;
    Image& operator=(Image&& other) noexcept;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Reads the file at path (ANSI code page). Replaces what the image held; on failure the
    // image is empty and false is returned.
    bool Load(const std::string& path);
    // Builds an image from width * height premultiplied pixels, row by row from the top.
    // Sizes out of range give an empty image and false.
    bool Assign(int32_t width, int32_t height, const Argb* premultipliedPixels);
    void Clear();

    bool Empty() const { return native_ == nullptr; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // The premultiplied pixel at (x, y); 0 outside the picture.
    Argb PixelAt(int32_t x, int32_t y) const;

    // The platform's form of the pixels, for the Canvas.
    struct Native;
    const Native* GetNative() const { return native_.get(); }

private:
    std::unique_ptr<Native> native_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace platform
