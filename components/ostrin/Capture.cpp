#include "ostrin/Capture.h"

#include <cstdio>
#include <string_view>

#include "OstrinSystem.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/Window.h"

namespace {

// "截图" in the ANSI code page: the saved pictures carry the players' own word for them.
constexpr char kNamePrefix[] = "\xBD\xD8\xCD\xBC";
// Pictures taken within one second get a counter; past this many something else is wrong.
constexpr int kMaxNameTries = 100;

bool HasFolder(std::string_view name) {
    return name.find_first_of("/\\:") != std::string_view::npos;
}

// A name in the folder that nothing has yet: 截图_20240501_093015.png, then _2, _3, ...
std::string NewPictureName(const std::string& folder) {
    const ostrin::LocalTime t = ostrin::NowLocal();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%s_%04d%02d%02d_%02d%02d%02d", kNamePrefix, t.year, t.month,
                  t.day, t.hour, t.minute, t.second);
    for (int n = 1; n <= kMaxNameTries; ++n) {
        std::string name = stamp;
        if (n > 1) {
            name += '_' + std::to_string(n);
        }
        std::string path = platform::JoinPath(folder, name + ".png");
        if (!ostrin::PathExists(path)) {
            return path;
        }
    }
    return std::string();
}

}  // namespace

Capture1::Capture1() = default;
Capture1::~Capture1() = default;

std::string Capture1::TargetPath(const char* fileName) const {
    if (fileName != nullptr && HasFolder(fileName)) {
        return fileName;
    }
    const std::string desktop = platform::DesktopFolder();
    if (desktop.empty() || !ostrin::PathExists(desktop)) {
        return std::string();
    }
    if (fileName != nullptr && *fileName != '\0') {
        return platform::JoinPath(desktop, fileName);
    }
    return NewPictureName(desktop);
}

void Capture1::CaptureImage(platform::Rect area, int encoding, int unusedOption, bool unusedFlag,
                            const char* fileName) {
    (void)unusedOption;
    (void)unusedFlag;
    m_bSaved = false;
    m_strPath.clear();
    // The host's screenshot must never end its process: nothing thrown leaves here.
    try {
        if (encoding != ENCODE_PNG || area.width <= 0 || area.height <= 0) {
            return;
        }
        const std::string path = TargetPath(fileName);
        if (path.empty()) {
            return;
        }
        const platform::Image picture = platform::CaptureScreen(area);
        if (picture.Empty() || !platform::SavePng(picture, path)) {
            return;
        }
        m_strPath = path;
        m_bSaved = true;
    } catch (...) {
        m_bSaved = false;
        m_strPath.clear();
    }
}

int ShowInformationEx(const char* text, platform::Window* owner, int flags, const char* caption,
                      int unused) {
    (void)unused;
    platform::MessageIconKind icon = platform::MessageIconKind::kNone;
    switch (flags & 0xF0) {
        case kMbIconError:
            icon = platform::MessageIconKind::kError;
            break;
        case kMbIconWarning:
            icon = platform::MessageIconKind::kWarning;
            break;
        case kMbIconQuestion:
        case kMbIconInformation:
            icon = platform::MessageIconKind::kInformation;
            break;
        default:
            break;
    }
    try {
        platform::ShowMessageBox(owner, text != nullptr ? text : "",
                                 caption != nullptr ? caption : "", icon);
    } catch (...) {
        return 0;  // no box was shown
    }
    return kIdOk;
}
