// One picture of a skin (PNG, or BMP), loaded from a file and drawn on a canvas.
#pragma once

#include <cstdint>

#include "lumaro/LumaroApi.h"
#include "platform/Canvas.h"
#include "platform/Image.h"

// <windows.h> turns LoadImage into LoadImageA; the member keeps its own name here, so callers
// that include both reach the Win32 function as LoadImageA.
#ifdef LoadImage
#undef LoadImage
#endif

class LUMARO_API CPngImage {
public:
    CPngImage();
    ~CPngImage();
    CPngImage(const CPngImage&) = delete;
    CPngImage& operator=(const CPngImage&) = delete;

    // Reads the picture at path (ANSI code page); true when loaded. A failed load leaves the
    // object empty, whatever it held before.
    bool LoadImage(const char* path);
    bool IsNull() const;
    int32_t GetWidth() const;
    int32_t GetHeight() const;

    // The whole picture at (x, y), alpha-blended.
    void DrawImage(platform::Canvas& canvas, int32_t x, int32_t y) const;
    // The source rectangle (sx, sy, sw, sh) stretched into the destination (x, y, w, h).
    void DrawImage(platform::Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                   int32_t sy, int32_t sw, int32_t sh) const;

    // Frees the pixels; the object can load again afterwards.
    void DestroyImage();

private:
    platform::Image m_image;
};
