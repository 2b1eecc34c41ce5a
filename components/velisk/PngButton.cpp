#include "velisk/PngButton.h"

CPngButton::CPngButton() : CVeliskButton(false) {}

CPngButton::~CPngButton() = default;

bool CPngButton::LoadImageFile(const char* path, bool unused) {
    (void)unused;
    return LoadPicture(path);
}

void CPngButton::SetBkGnd(const CPngImage& background) {
    m_pBkGnd = &background;
    Invalidate();
}
