#include "AppText.h"

namespace quorin {

std::string FormatNotFound(const std::string& path) {
    // "找不到" ... "文件"
    return "\xD5\xD2\xB2\xBB\xB5\xBD" + path + "\xCE\xC4\xBC\xFE";
}

void ShowProgramMessage(platform::Window* owner, const std::string& text) {
    platform::ShowMessageBox(owner, text, kProgramName, platform::MessageIconKind::kNone);
}

}  // namespace quorin
