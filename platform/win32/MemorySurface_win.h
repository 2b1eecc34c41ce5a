// A 32-bit top-down DIB section selected into a memory DC: the off-screen canvas's pixels and
// the windows' flicker-free painting.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/Image.h"

namespace platform {

// Starts black. Not Ok() when GDI refused it; a window then paints straight into its target.
class MemorySurface {
public:
    MemorySurface(HDC like, int32_t width, int32_t height) {
        if (width <= 0 || height <= 0) {
            return;
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap_ == nullptr || bits == nullptr) {
            return;
        }
        bits_ = static_cast<const Argb*>(bits);
        dc_ = CreateCompatibleDC(like);
        if (dc_ == nullptr) {
            return;
        }
        old_ = SelectObject(dc_, bitmap_);
    }
    ~MemorySurface() {
        if (dc_ != nullptr) {
            if (old_ != nullptr && old_ != HGDI_ERROR) {
                SelectObject(dc_, old_);
            }
            DeleteDC(dc_);
        }
        if (bitmap_ != nullptr) {
            DeleteObject(bitmap_);
        }
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    bool Ok() const { return dc_ != nullptr && old_ != nullptr && old_ != HGDI_ERROR; }
    HDC dc() const { return dc_; }
    // The pixels, top row first (GdiFlush before reading what GDI drew).
    const Argb* bits() const { return bits_; }

private:
    HBITMAP bitmap_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
    const Argb* bits_ = nullptr;
};

}  // namespace platform
