// Painting on Windows, with GDI: AlphaBlend from the image's premultiplied DIB section.
#include <windows.h>

#include "MemorySurface_win.h"
#include "platform/Canvas.h"

namespace platform {

// Defined beside the image's bitmap (Image_win.cpp).
HBITMAP ImageBitmap(const Image& image);

namespace {

bool InsideImage(const Image& image, const Rect& r) {
    return r.width > 0 && r.height > 0 && r.x >= 0 && r.y >= 0 &&
           int64_t{r.x} + r.width <= image.Width() && int64_t{r.y} + r.height <= image.Height();
}

// A memory DC with one bitmap selected for as long as it lives.
class SelectedBitmap {
public:
    SelectedBitmap(HDC like, HBITMAP bitmap) : dc_(CreateCompatibleDC(like)) {
        if (dc_ != nullptr) {
            old_ = SelectObject(dc_, bitmap);
        }
    }
    ~SelectedBitmap() {
        if (dc_ != nullptr) {
            if (old_ != nullptr && old_ != HGDI_ERROR) {
                SelectObject(dc_, old_);
            }
            DeleteDC(dc_);
        }
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;

    HDC dc() const { return dc_; }
    bool Ok() const { return dc_ != nullptr && old_ != nullptr && old_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

}  // namespace

void Canvas::DrawImage(const Image& image, int32_t x, int32_t y) {
    DrawImage(image, Rect{x, y, image.Width(), image.Height()},
              Rect{0, 0, image.Width(), image.Height()});
}

void Canvas::DrawImage(const Image& image, Rect destination, Rect source) {
    HDC dc = static_cast<HDC>(GetNative());
    HBITMAP bitmap = ImageBitmap(image);
    if (dc == nullptr || bitmap == nullptr || !InsideImage(image, source) ||
        destination.width <= 0 || destination.height <= 0) {
        return;
    }
    SelectedBitmap from(dc, bitmap);
    if (!from.Ok()) {
        return;
    }
    // Nearest pixels when stretching, as the Linux side does.
    const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, destination.x, destination.y, destination.width, destination.height, from.dc(),
               source.x, source.y, source.width, source.height, blend);
    if (oldMode != 0) {
        SetStretchBltMode(dc, oldMode);
    }
}

void Canvas::FillRect(Rect area, Argb colour) {
    HDC dc = static_cast<HDC>(GetNative());
    if (dc == nullptr || area.width <= 0 || area.height <= 0) {
        return;
    }
    HBRUSH brush = CreateSolidBrush(RGB(RedOf(colour), GreenOf(colour), BlueOf(colour)));
    if (brush == nullptr) {
        return;
    }
    const RECT r{area.x, area.y, area.x + area.width, area.y + area.height};
    ::FillRect(dc, &r, brush);
    DeleteObject(brush);
}

struct OffscreenCanvas::Native {
    Native(int32_t width, int32_t height) : surface(nullptr, width, height) {}
    MemorySurface surface;  // a DIB section starts zeroed: black
};

OffscreenCanvas::OffscreenCanvas(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > Image::kMaxSide || height > Image::kMaxSide) {
        return;
    }
    auto native = std::make_unique<Native>(width, height);
    if (!native->surface.Ok() || native->surface.bits() == nullptr) {
        return;
    }
    SetNative(native->surface.dc());
    native_ = std::move(native);
    width_ = width;
    height_ = height;
}

OffscreenCanvas::~OffscreenCanvas() = default;

Argb OffscreenCanvas::PixelAt(int32_t x, int32_t y) const {
    if (!native_ || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    GdiFlush();
    // GDI leaves the alpha byte as it likes; the canvas is opaque.
    return native_->surface.bits()[static_cast<size_t>(y) * width_ + x] | 0xFF000000u;
}

}  // namespace platform
