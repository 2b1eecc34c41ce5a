// Screen capture to a picture file, and the information message box of the game host.
#pragma once

#include <cstdint>
#include <string>

#include "ostrin/OstrinApi.h"
#include "platform/Image.h"

namespace platform {
class Window;
}

// Picture formats CaptureImage can write.
enum CaptureEncoding : int {
    ENCODE_PNG = 1,
};

class OSTRIN_API Capture1 {
public:
    Capture1();
    ~Capture1();
    Capture1(const Capture1&) = delete;
    Capture1& operator=(const Capture1&) = delete;

    // Saves the pixels now on screen inside `area` (screen coordinates) as a picture.
    //
    // `encoding` must be ENCODE_PNG; any other value saves nothing. `unusedOption` and
    // `unusedFlag` select nothing. `fileName` (ANSI) names the file: null saves into the user's
    // desktop folder under a new name from the local date and time ("截图_20240501_093015.png" in
    // GBK, then "_2", "_3"... within one second), never replacing a file;
    // a bare name is saved into the desktop folder; a name with a folder is used as it is, and
    // replaces a file of that name. An empty name counts as null.
    //
    // Returns nothing, like the call the host makes; LastSaved and SavedPath tell the outcome.
    // Nothing is saved when the area is empty, when the screen cannot be read, when the
    // desktop folder is needed and there is none, or when the file cannot be written. Parts
    // of the area beyond the screen's edges are black in the picture.
    void CaptureImage(platform::Rect area, int encoding, int unusedOption, bool unusedFlag,
                      const char* fileName);

    // Whether the last CaptureImage wrote its file.
    bool LastSaved() const { return m_bSaved; }
    // The file the last CaptureImage wrote (ANSI); "" when it saved nothing.
    const char* SavedPath() const { return m_strPath.c_str(); }

private:
    std::string TargetPath(const char* fileName) const;

    bool m_bSaved = false;
    std::string m_strPath;
};

// Message box flags: the icon bits of `flags` choose the icon.
inline constexpr int kMbIconError = 0x10;
inline constexpr int kMbIconQuestion = 0x20;
inline constexpr int kMbIconWarning = 0x30;
inline constexpr int kMbIconInformation = 0x40;
// What ShowInformationEx returns once the box is closed (its only button, OK); 0 means no box.
inline constexpr int kIdOk = 1;

// Shows `text` in a modal message box with an OK button and `caption` (both ANSI; null is
// empty), owned by `owner` (may be null), and returns kIdOk once it is closed. The icon
// follows the icon bits of `flags`: error, warning, information; a question shows the
// information icon (the box has no question to ask); no icon bits, no icon. `unused` selects
// nothing.
OSTRIN_API int ShowInformationEx(const char* text, platform::Window* owner, int flags,
                                 const char* caption, int unused);
