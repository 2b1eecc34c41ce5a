// Pictures on Linux: gdk-pixbuf decodes, and the pixels live in a cairo image surface, the form
// cairo draws from.
#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Image.h"
#include "platform/Paths.h"

namespace platform {

struct Image::Native {
    explicit Native(cairo_surface_t* s) : surface(s) {}
    ~Native() { cairo_surface_destroy(surface); }
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;

    cairo_surface_t* surface;
};

namespace {

struct PixbufDeleter {
    void operator()(GdkPixbuf* pixbuf) const { g_object_unref(pixbuf); }
};
using PixbufPtr = std::unique_ptr<GdkPixbuf, PixbufDeleter>;

bool SizeInRange(int32_t width, int32_t height) {
    return width > 0 && height > 0 && width <= Image::kMaxSide && height <= Image::kMaxSide;
}

}  // namespace

Image::Image() = default;
Image::~Image() = default;
Image::Image(Image&& other) noexcept = default;
Image& Image::operator=(Image&& other) noexcept = default;

void Image::Clear() {
    native_.reset();
    width_ = 0;
    height_ = 0;
}

bool Image::Assign(int32_t width, int32_t height, const Argb* premultipliedPixels) {
    Clear();
    if (!SizeInRange(width, height) || premultipliedPixels == nullptr) {
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    auto native = std::make_unique<Native>(surface);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(data + static_cast<size_t>(y) * stride,
                    premultipliedPixels + static_cast<size_t>(y) * width, sizeof(Argb) * width);
    }
    cairo_surface_mark_dirty(surface);
    native_ = std::move(native);
    width_ = width;
    height_ = height;
    return true;
}

bool Image::Load(const std::string& path) {
    Clear();
    // The skin's folders are named with mixed case by the programs.
    const std::string utf8 = ResolvePathCase(AnsiToUtf8(path));
    // The header's size first, so a forged one is refused before anything is allocated.
    int width = 0;
    int height = 0;
    if (gdk_pixbuf_get_file_info(utf8.c_str(), &width, &height) == nullptr ||
        !SizeInRange(width, height)) {
        return false;
    }
    GError* error = nullptr;
    PixbufPtr pixbuf(gdk_pixbuf_new_from_file(utf8.c_str(), &error));
    if (error != nullptr) {
        // Whatever was decoded before the error is not the picture.
        g_error_free(error);
        return false;
    }
    if (!pixbuf) {
        return false;
    }
    width = gdk_pixbuf_get_width(pixbuf.get());
    height = gdk_pixbuf_get_height(pixbuf.get());
    const int channels = gdk_pixbuf_get_n_channels(pixbuf.get());
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf.get()) != FALSE;
    if (!SizeInRange(width, height) || gdk_pixbuf_get_bits_per_sample(pixbuf.get()) != 8 ||
        gdk_pixbuf_get_colorspace(pixbuf.get()) != GDK_COLORSPACE_RGB ||
        channels != (alpha ? 4 : 3)) {
        return false;
    }
    const guchar* rows = gdk_pixbuf_read_pixels(pixbuf.get());
    const int rowstride = gdk_pixbuf_get_rowstride(pixbuf.get());
    std::vector<Argb> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const guchar* p = rows + static_cast<size_t>(y) * rowstride;
        for (int x = 0; x < width; ++x, p += channels) {
            pixels[static_cast<size_t>(y) * width + x] =
                Premultiply(alpha ? p[3] : 255, p[0], p[1], p[2]);
        }
    }
    return Assign(width, height, pixels.data());
}

Argb Image::PixelAt(int32_t x, int32_t y) const {
    if (!native_ || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    cairo_surface_t* surface = native_->surface;
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) +
                               static_cast<size_t>(y) * cairo_image_surface_get_stride(surface);
    Argb pixel = 0;
    std::memcpy(&pixel, row + static_cast<size_t>(x) * sizeof(Argb), sizeof pixel);
    return pixel;
}

cairo_surface_t* ImageSurface(const Image& image) {
    return image.GetNative() != nullptr ? image.GetNative()->surface : nullptr;
}

}  // namespace platform
