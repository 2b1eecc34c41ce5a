// A button drawn from a PNG strip with alpha, over the parent window's surface.
#pragma once

#include "velisk/VeliskButton.h"

class CPngImage;

class VELISK_API CPngButton : public CVeliskButton {
public:
    CPngButton();
    ~CPngButton();

    // Reads the picture (ANSI path); true when loaded. The second argument selects nothing:
    // pictures always come from files. On failure the button stays, without a picture.
    bool LoadImageFile(const char* path, bool unused = false);

    // The parent's background image, which shows through the picture's transparent parts.
    // The window layer already paints the parent's own surface under every button, and the
    // parent paints that surface from this very image, so the button needs no copy of it: it
    // records which image it was given and repaints itself over the parent's current surface,
    // so the transparent parts agree with the frame wherever the button now sits. The image is
    // never read through the pointer kept here.
    void SetBkGnd(const CPngImage& background);
    const CPngImage* GetBkGnd() const { return m_pBkGnd; }

private:
    const CPngImage* m_pBkGnd = nullptr;
};
