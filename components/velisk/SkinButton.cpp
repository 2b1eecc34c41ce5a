#include "velisk/SkinButton.h"

CSkinButton::CSkinButton() : CVeliskButton(true) {}

CSkinButton::~CSkinButton() = default;

bool CSkinButton::SetButtonImage(const char* path, bool unused) {
    (void)unused;
    return LoadPicture(path);
}
