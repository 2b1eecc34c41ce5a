#include "Progress.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "DownloadManager.h"

namespace dravel::app {

namespace {

// "单个文件进度：已完成%d%%，正在更新文件%s " (ends with a blank)
constexpr const char* kFileLineFormat =
    "\xb5\xa5\xb8\xf6\xce\xc4\xbc\xfe\xbd\xf8\xb6\xc8\xa3\xba\xd2\xd1\xcd\xea\xb3\xc9%d%%\xa3\xac"
    "\xd5\xfd\xd4\xda\xb8\xfc\xd0\xc2\xce\xc4\xbc\xfe%s ";
// "总进度：已完成%d%%，您共有%d个文件需要更新"
constexpr const char* kTotalLineFormat =
    "\xd7\xdc\xbd\xf8\xb6\xc8\xa3\xba\xd2\xd1\xcd\xea\xb3\xc9%d%%\xa3\xac\xc4\xfa\xb9\xb2\xd3\xd0"
    "%d\xb8\xf6\xce\xc4\xbc\xfe\xd0\xe8\xd2\xaa\xb8\xfc\xd0\xc2";

int32_t MulDiv(int32_t value, int32_t numerator, int32_t denominator) {
    // Rounded half away from zero, as the dialog manager's conversion rounds.
    const double exact = static_cast<double>(value) * numerator / denominator;
    return static_cast<int32_t>(exact < 0 ? -std::floor(-exact + 0.5) : std::floor(exact + 0.5));
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
    const int needed = std::snprintf(nullptr, 0, format, args...);
    if (needed <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    std::snprintf(buffer.data(), buffer.size(), format, args...);
    return std::string(buffer.data(), static_cast<std::size_t>(needed));
}

}  // namespace

const char* const kFileLineInitial = "\xd7\xbc\xb1\xb8\xcf\xc2\xd4\xd8...";
const char* const kTotalLineInitial = "\xd7\xdc\xbd\xf8\xb6\xc8\xa3\xba";

platform::Rect DialogUnitsToPixels(platform::Rect units, DialogBaseUnits base) {
    return {MulDiv(units.x, base.x, 4), MulDiv(units.y, base.y, 8), MulDiv(units.width, base.x, 4),
            MulDiv(units.height, base.y, 8)};
}

platform::Rect FileLineBounds() {
    return DialogUnitsToPixels(kFileLineUnits, kSimSun9Units);
}

platform::Rect TotalLineBounds() {
    return DialogUnitsToPixels(kTotalLineUnits, kSimSun9Units);
}

platform::Rect TextLinePlace(platform::Rect converted) {
    if (converted.height >= kTextLineHeight) {
        return converted;
    }
    const int32_t bottom = converted.y + converted.height;
    return {converted.x, bottom - kTextLineHeight, converted.width, kTextLineHeight};
}

int32_t ShareOf(uint64_t part, uint64_t whole, int32_t scale) {
    if (whole == 0) {
        return 0;
    }
    const double share = static_cast<double>(part) / static_cast<double>(whole) * scale;
    if (!(share < static_cast<double>(std::numeric_limits<int32_t>::max()))) {
        return std::numeric_limits<int32_t>::max();
    }
    if (share <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(share);  // truncated toward zero
}

ReportEffect ApplyReport(ProgressFields& fields, int value1, int value2, int code,
                         const char* text) {
    const uint32_t first = static_cast<uint32_t>(value1);
    const uint32_t second = static_cast<uint32_t>(value2);
    switch (code) {
        case DS_FILE_BEGIN:
            fields.currentName = text != nullptr ? text : "";
            fields.currentLength = second;
            fields.filesLeft = value1;
            fields.fileBarWidth = 0;
            return ReportEffect::kRepaint;
        case DS_PROGRESS: {
            // Blocks arrive far more often than a percentage or a bar's pixel moves; what
            // looks the same is not painted again.
            const int32_t filePercent = ShareOf(first, fields.currentLength, 100);
            const int32_t totalPercent = ShareOf(second, fields.totalBytes, 100);
            std::string fileLine =
                Format(kFileLineFormat, filePercent, text != nullptr ? text : "");
            std::string totalLine = Format(kTotalLineFormat, totalPercent, fields.filesLeft);
            const int32_t fileBar = ShareOf(first, fields.currentLength, kBarWidth);
            const int32_t totalBar = ShareOf(second, fields.totalBytes, kBarWidth);
            const bool linesChanged = fileLine != fields.fileLine || totalLine != fields.totalLine;
            const bool barsChanged =
                fileBar != fields.fileBarWidth || totalBar != fields.totalBarWidth;
            fields.fileLine = std::move(fileLine);
            fields.totalLine = std::move(totalLine);
            fields.fileBarWidth = fileBar;
            fields.totalBarWidth = totalBar;
            if (linesChanged) {
                return ReportEffect::kRepaintTexts;
            }
            return barsChanged ? ReportEffect::kRepaint : ReportEffect::kNone;
        }
        case DS_FILE_DONE:
            fields.currentLength = 0;
            fields.fileBarWidth = 0;
            return ReportEffect::kRepaint;
        default:
            return ReportEffect::kNone;
    }
}

int32_t DrawnBarWidth(int32_t width, int32_t pictureWidth) {
    if (width <= 0 || pictureWidth <= 0) {
        return 0;
    }
    return width < pictureWidth ? width : pictureWidth;
}

}  // namespace dravel::app
