// Painting on Linux, with cairo.
#include <cairo.h>

#include <cstring>

#include "platform/Canvas.h"

namespace platform {

// Defined beside the image's surface (Image_gtk.cpp).
cairo_surface_t* ImageSurface(const Image& image);

namespace {

bool InsideImage(const Image& image, const Rect& r) {
    return r.width > 0 && r.height > 0 && r.x >= 0 && r.y >= 0 &&
           int64_t{r.x} + r.width <= image.Width() && int64_t{r.y} + r.height <= image.Height();
}

}  // namespace

void Canvas::DrawImage(const Image& image, int32_t x, int32_t y) {
    DrawImage(image, Rect{x, y, image.Width(), image.Height()},
              Rect{0, 0, image.Width(), image.Height()});
}

void Canvas::DrawImage(const Image& image, Rect destination, Rect source) {
    auto* cr = static_cast<cairo_t*>(GetNative());
    cairo_surface_t* surface = ImageSurface(image);
    if (cr == nullptr || surface == nullptr || !InsideImage(image, source) ||
        destination.width <= 0 || destination.height <= 0) {
        return;
    }
    cairo_save(cr);
    cairo_rectangle(cr, destination.x, destination.y, destination.width, destination.height);
    cairo_clip(cr);
    cairo_translate(cr, destination.x, destination.y);
    cairo_scale(cr, static_cast<double>(destination.width) / source.width,
                static_cast<double>(destination.height) / source.height);
    cairo_set_source_surface(cr, surface, -source.x, -source.y);
    // Nearest pixels, as the Windows side stretches; padding keeps the rim from fading.
    cairo_pattern_t* pattern = cairo_get_source(cr);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_paint(cr);
    cairo_restore(cr);
}

void Canvas::FillRect(Rect area, Argb colour) {
    auto* cr = static_cast<cairo_t*>(GetNative());
    if (cr == nullptr || area.width <= 0 || area.height <= 0) {
        return;
    }
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, RedOf(colour) / 255.0, GreenOf(colour) / 255.0,
                         BlueOf(colour) / 255.0);
    cairo_rectangle(cr, area.x, area.y, area.width, area.height);
    cairo_fill(cr);
    cairo_restore(cr);
}

struct OffscreenCanvas::Native {
    explicit Native(cairo_surface_t* s) : surface(s), cr(cairo_create(s)) {}
    ~Native() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;

    cairo_surface_t* surface;
    cairo_t* cr;
};

OffscreenCanvas::OffscreenCanvas(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > Image::kMaxSide || height > Image::kMaxSide) {
        return;
    }
    // RGB24: an opaque surface that starts black, like a fresh window buffer.
    auto native =
        std::make_unique<Native>(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(native->surface) != CAIRO_STATUS_SUCCESS ||
        cairo_status(native->cr) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    SetNative(native->cr);
    native_ = std::move(native);
    width_ = width;
    height_ = height;
}

OffscreenCanvas::~OffscreenCanvas() = default;

Argb OffscreenCanvas::PixelAt(int32_t x, int32_t y) const {
    if (!native_ || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    cairo_surface_flush(native_->surface);
    const unsigned char* row =
        cairo_image_surface_get_data(native_->surface) +
        static_cast<size_t>(y) * cairo_image_surface_get_stride(native_->surface);
    Argb pixel = 0;
    std::memcpy(&pixel, row + static_cast<size_t>(x) * sizeof(Argb), sizeof pixel);
    return pixel | 0xFF000000u;
}

}  // namespace platform
