// A button drawn from a skin strip, usually a 24-bit BMP without alpha. Pure magenta pixels
// (255, 0, 255) are left out, so a skin can let the parent's surface show around the face.
#pragma once

#include "velisk/VeliskButton.h"

class VELISK_API CSkinButton : public CVeliskButton {
public:
    CSkinButton();
    ~CSkinButton();

    // Reads the picture (ANSI path) and shows it in place of the previous one; true when
    // loaded. The second argument selects nothing: pictures always come from files. On
    // failure the button stays, without a picture.
    bool SetButtonImage(const char* path, bool unused = false);
};
