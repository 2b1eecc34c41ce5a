// Pictures on Windows: WIC decodes, and the pixels live in a 32-bit DIB section, the form
// AlphaBlend draws from.
#include <wincodec.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "ComPtr_win.h"
#include "platform/CodePage.h"
#include "platform/Image.h"

namespace platform {

struct Image::Native {
    Native() = default;
    ~Native() {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
    }
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;

    HBITMAP bitmap = nullptr;
    Argb* bits = nullptr;  // top-down rows, owned by the bitmap
};

namespace {

bool SizeInRange(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= Image::kMaxSide && height <= Image::kMaxSide;
}

// Straight (not premultiplied) BGRA rows of the file's first frame.
bool Decode(const std::wstring& path, std::vector<Argb>& pixels, UINT& width, UINT& height) {
    ComCallScope com;
    if (!com.Usable()) {
        return false;
    }
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out())))) {
        return false;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.Out()))) {
        return false;
    }
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.Out()))) {
        return false;
    }
    if (FAILED(frame->GetSize(&width, &height)) || !SizeInRange(width, height)) {
        return false;
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.Out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return false;
    }
    pixels.assign(static_cast<size_t>(width) * height, 0);
    const UINT stride = width * sizeof(Argb);
    return SUCCEEDED(converter->CopyPixels(nullptr, stride,
                                           static_cast<UINT>(pixels.size() * sizeof(Argb)),
                                           reinterpret_cast<BYTE*>(pixels.data())));
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
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, like the rows handed in
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    auto native = std::make_unique<Native>();
    void* bits = nullptr;
    native->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (native->bitmap == nullptr || bits == nullptr) {
        return false;
    }
    native->bits = static_cast<Argb*>(bits);
    std::memcpy(native->bits, premultipliedPixels,
                static_cast<size_t>(width) * height * sizeof(Argb));
    native_ = std::move(native);
    width_ = width;
    height_ = height;
    return true;
}

bool Image::Load(const std::string& path) {
    Clear();
    const std::u16string wide = AnsiToUtf16(path);
    std::vector<Argb> pixels;
    UINT width = 0;
    UINT height = 0;
    if (!Decode(std::wstring(wide.begin(), wide.end()), pixels, width, height)) {
        return false;
    }
    for (Argb& p : pixels) {
        p = Premultiply(AlphaOf(p), RedOf(p), GreenOf(p), BlueOf(p));
    }
    return Assign(static_cast<int32_t>(width), static_cast<int32_t>(height), pixels.data());
}

Argb Image::PixelAt(int32_t x, int32_t y) const {
    if (!native_ || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    GdiFlush();
    return native_->bits[static_cast<size_t>(y) * width_ + x];
}

HBITMAP ImageBitmap(const Image& image) {
    return image.GetNative() != nullptr ? image.GetNative()->bitmap : nullptr;
}

}  // namespace platform
