#include "Toolbar.h"

#include "platform/Ini.h"
#include "platform/Paths.h"

namespace quorin {

// "截图成功，图片保存在您的桌面上！"
const char kScreenshotSaved[] =
    "\xBD\xD8\xCD\xBC\xB3\xC9\xB9\xA6\xA3\xAC\xCD\xBC\xC6\xAC\xB1\xA3\xB4\xE6\xD4\xDA\xC4\xFA"
    "\xB5\xC4\xD7\xC0\xC3\xE6\xC9\xCF\xA3\xA1";
// "截图失败，图片没有保存。"
const char kScreenshotFailed[] =
    "\xBD\xD8\xCD\xBC\xCA\xA7\xB0\xDC\xA3\xAC\xCD\xBC\xC6\xAC\xC3\xBB\xD3\xD0\xB1\xA3\xB4\xE6"
    "\xA1\xA3";

namespace {

// One argument as the C runtime's parser reads it back: in quotes, a quote inside dropped (it
// would end the argument early), and backslashes right before the closing quote doubled.
std::string QuoteArgument(const std::string& text) {
    std::string quoted = "\"";
    size_t slashes = 0;
    for (char c : text) {
        if (c == '"') {
            continue;
        }
        slashes = c == '\\' ? slashes + 1 : 0;
        quoted += c;
    }
    quoted.append(slashes, '\\');
    return quoted + "\"";
}

}  // namespace

std::string HelpCommandLine(const std::string& program, uint16_t kindId, const std::string& title) {
    const bool blank = program.find_first_of(" \t") != std::string::npos;
    return (blank ? QuoteArgument(program) : program) + " " + std::to_string(kindId) + " " +
           QuoteArgument(title);
}

bool ToolbarCommands::OnCommand(uint32_t id) {
    switch (id & 0xFFFF) {
        case kCmdMinimise:
            host_.Minimise();
            return true;
        case kCmdClose:
            OnCancel();
            return true;
        case kCmdSound:
            ToggleSound();
            return true;
        case kCmdScreenshot:
            TakeScreenshot();
            return true;
        case kCmdMainPage:
            OpenMainPage();
            return true;
        case kCmdHelp:
            StartHelp();
            return true;
        case kCmdSettings:
            host_.ShowSettings(!host_.IsSettingsVisible());
            return true;
        case kCmdChat:
            host_.ToggleChat();
            return true;
        default:
            return false;
    }
}

void ToolbarCommands::OnCancel() {
    if (!page_.OnCloseRequest()) {
        return;  // the page was asked and will answer with its own close command
    }
    if (launch_.LaunchMode != ELaunchMode::HelpPage) {
        host_.HandBackToLobby();
    }
    host_.EndWindow();
}

void ToolbarCommands::ToggleSound() {
    const std::string file = platform::JoinPath(workDir_, "SystemOption.ini");
    const bool on = platform::GetIniInt("PlaySound", "bPlay", 1, file.c_str()) == 0;
    platform::WriteIniString("PlaySound", "bPlay", on ? "1" : "0", file.c_str());
    host_.SetSoundPicture(on);
    page_.NotifySound(on);
}

void ToolbarCommands::TakeScreenshot() {
    host_.ShowMessage(host_.CaptureWindow() ? kScreenshotSaved : kScreenshotFailed);
}

void ToolbarCommands::OpenMainPage() {
    const std::string file = platform::JoinPath(workDir_, "LobbyUrl.ini");
    host_.OpenWithShell(platform::GetIniText("URL", "MainPage", "", file.c_str()));
}

void ToolbarCommands::StartHelp() {
    if (launch_.KindID == 0) {
        return;
    }
    host_.StartProcess(HelpCommandLine(program_, launch_.KindID, launch_.Title));
}

}  // namespace quorin
