// The progress window's arithmetic: what the download reports 3, 4 and 5 make of the two bars
// and the two status lines, and where the window's parts sit. Kept apart from the window so
// that every number can be checked without a display.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Image.h"

namespace dravel::app {

// The window and its parts, in pixels.
inline constexpr int32_t kWindowWidth = 621;
inline constexpr int32_t kWindowHeight = 388;
inline constexpr int32_t kBarWidth = 555;
inline constexpr int32_t kBarHeight = 26;
inline constexpr platform::Rect kFileBar{30, 262, kBarWidth, kBarHeight};
inline constexpr platform::Rect kTotalBar{30, 307, kBarWidth, kBarHeight};
inline constexpr int32_t kButtonFrames = 5;
inline constexpr platform::Rect kCloseButton{589, 7, 25, 21};
inline constexpr platform::Rect kMinimiseButton{566, 7, 25, 21};
inline constexpr platform::Rect kTipArea{37, 51, 549, 184};
inline constexpr int32_t kLogoX = 7;
inline constexpr int32_t kLogoY = 7;
inline constexpr int32_t kSplashWidth = 500;
inline constexpr int32_t kSplashHeight = 275;

// Control ids.
inline constexpr int32_t IDC_CLOSE = 2;  // also the Esc key's cancel command
inline constexpr int32_t IDC_MINIMISE = 3;
inline constexpr int32_t IDC_BROWSER = 100;
inline constexpr int32_t IDC_FILE_LINE = 1001;
inline constexpr int32_t IDC_TOTAL_LINE = 1004;

// Picture and icon resources.
enum : int {
    IDI_DRAVEL = 128,
    IDB_BAR_FULL = 129,
    IDB_BAR_EMPTY = 130,
    IDB_BACKGROUND = 131,
    IDB_CLOSE = 132,
    IDB_LOGO = 133,
    IDB_MINIMISE = 144,
};

// Dialog units to pixels as the dialog manager converts them (MulDiv rounding): x by base
// unit X / 4, y by base unit Y / 8.
struct DialogBaseUnits {
    int32_t x = 0;
    int32_t y = 0;
};
platform::Rect DialogUnitsToPixels(platform::Rect units, DialogBaseUnits base);

// The updater's dialog font, 9 point SimSun at 96 dpi: cells of 12 pixels with half-width
// characters 6 pixels wide, so one horizontal unit is 1.5 pixels and one vertical unit 1.5.
inline constexpr DialogBaseUnits kSimSun9Units{6, 12};

// The two status lines: the template's 24,165 364x8 and 24,195 370x8 dialog units.
inline constexpr platform::Rect kFileLineUnits{24, 165, 364, 8};
inline constexpr platform::Rect kTotalLineUnits{24, 195, 370, 8};
platform::Rect FileLineBounds();   // 36,248 546x12
platform::Rect TotalLineBounds();  // 36,293 555x12

// The platforms' line font (9 point Noto Sans CJK on Linux, the GUI font on Windows) needs
// more than SimSun's 12 pixels: a line keeps the bottom edge of its converted place and
// grows upward to this height, so it still ends above the bar under it.
inline constexpr int32_t kTextLineHeight = 17;
platform::Rect TextLinePlace(platform::Rect converted);

// The lines' first texts (GBK): "准备下载..." and "总进度：".
extern const char* const kFileLineInitial;
extern const char* const kTotalLineInitial;

// trunc(part / whole * scale) in double precision; 0 when whole is 0 (a server that announced
// no length, a manifest of empty files), and at most INT32_MAX however large the share.
int32_t ShareOf(uint64_t part, uint64_t whole, int32_t scale);

// What the window shows of the run.
struct ProgressFields {
    std::string currentName;     // the file announced last
    uint32_t currentLength = 0;  // its announced length
    int32_t filesLeft = 0;       // files still to fetch, the current one included
    int32_t fileBarWidth = 0;    // filled width of the upper bar, pixels
    int32_t totalBarWidth = 0;   // filled width of the lower bar, pixels
    uint32_t totalBytes = 0;     // the queued files' sizes summed
    std::string fileLine = kFileLineInitial;
    std::string totalLine = kTotalLineInitial;
};

enum class ReportEffect {
    kNone,          // nothing shown changed, or not a progress report
    kRepaint,       // the bars changed
    kRepaintTexts,  // the two lines changed, and maybe the bars
};

// Applies one report of the download manager: 3 begins a file, 4 is progress, 5 ends a file.
// The values are read as unsigned 32-bit numbers.
ReportEffect ApplyReport(ProgressFields& fields, int value1, int value2, int code,
                         const char* text);

// How wide the filled part of a bar is drawn: never beyond its picture, never negative.
int32_t DrawnBarWidth(int32_t width, int32_t pictureWidth);

}  // namespace dravel::app
