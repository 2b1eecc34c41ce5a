#include "lumaro/PngImage.h"

CPngImage::CPngImage() = default;
CPngImage::~CPngImage() = default;

bool CPngImage::LoadImage(const char* path) {
    if (path == nullptr) {
        m_image.Clear();
        return false;
    }
    return m_image.Load(path);
}

bool CPngImage::IsNull() const {
    return m_image.Empty();
}

int32_t CPngImage::GetWidth() const {
    return m_image.Width();
}

int32_t CPngImage::GetHeight() const {
    return m_image.Height();
}

void CPngImage::DrawImage(platform::Canvas& canvas, int32_t x, int32_t y) const {
    canvas.DrawImage(m_image, x, y);
}

void CPngImage::DrawImage(platform::Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h,
                          int32_t sx, int32_t sy, int32_t sw, int32_t sh) const {
    canvas.DrawImage(m_image, platform::Rect{x, y, w, h}, platform::Rect{sx, sy, sw, sh});
}

void CPngImage::DestroyImage() {
    m_image.Clear();
}
