// Painting on Windows, with GDI: AlphaBlend from the image's premultiplied DIB section.
#include <windows.h>

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
    Native() = default;
    ~Native() {
        if (dc != nullptr) {
            if (old != nullptr && old != HGDI_ERROR) {
                SelectObject(dc, old);
            }
            DeleteDC(dc);
        }
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
    }
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    const Argb* bits = nullptr;
};

OffscreenCanvas::OffscreenCanvas(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > Image::kMaxSide || height > Image::kMaxSide) {
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    auto native = std::make_unique<Native>();
    void* bits = nullptr;
    // A DIB section starts zeroed: black.
    native->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (native->bitmap == nullptr || bits == nullptr) {
        return;
    }
    native->bits = static_cast<const Argb*>(bits);
    native->dc = CreateCompatibleDC(nullptr);
    if (native->dc == nullptr) {
        return;
    }
    native->old = SelectObject(native->dc, native->bitmap);
    if (native->old == nullptr || native->old == HGDI_ERROR) {
        return;
    }
    SetNative(native->dc);
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
    return native_->bits[static_cast<size_t>(y) * width_ + x] | 0xFF000000u;
}

}  // namespace platform
