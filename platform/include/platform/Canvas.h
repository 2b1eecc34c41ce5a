// A surface to paint on: a window's device context while it paints, or pixels of our own.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Image.h"

namespace platform {

// Draws on a target it does not own: an HDC on Windows, a cairo_t* on Linux, handed over by
// the window code that paints. Canvases are opaque, like a window: drawing blends over what
// is there, and fills replace it.
class Canvas {
public:
    explicit Canvas(void* nativeContext) : context_(nativeContext) {}

    // The whole image with its top-left corner at (x, y), alpha-blended.
    void DrawImage(const Image& image, int32_t x, int32_t y);
    // The source part of the image stretched into destination, alpha-blended, each target
    // pixel taking its nearest source pixel. A source that is not wholly inside the image, or
    // an empty rectangle, draws nothing.
    void DrawImage(const Image& image, Rect destination, Rect source);
    // Fills the rectangle with the colour; its alpha is not used.
    void FillRect(Rect area, Argb colour);

    void* GetNative() const { return context_; }

protected:
    Canvas() = default;
    void SetNative(void* nativeContext) { context_ = nativeContext; }

private:
    void* context_ = nullptr;
};

// A canvas over pixels of its own, for pictures made without a window (tests, screenshots).
// It starts black. When its pixels cannot be had (a size out of range, no memory) it is
// invalid: drawing does nothing and every pixel reads 0.
class OffscreenCanvas : public Canvas {
public:
    OffscreenCanvas(int32_t width, int32_t height);
    ~OffscreenCanvas();
    OffscreenCanvas(const OffscreenCanvas&) = delete;
    OffscreenCanvas& operator=(const OffscreenCanvas&) = delete;

    bool Valid() const { return native_ != nullptr; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // The colour at (x, y), alpha always 255; 0 outside the canvas.
    Argb PixelAt(int32_t x, int32_t y) const;

private:
    struct Native;
    std::unique_ptr<Native> native_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace platform
