// The title strip's commands and the close sequence of the main window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LaunchInfo.h"
#include "PageCommands.h"

namespace quorin {

enum ToolbarCommand : uint32_t {
    kCmdMinimise = 1000,
    kCmdClose = 1001,
    kCmdSound = 1002,
    kCmdScreenshot = 1003,
    kCmdMainPage = 1004,
    kCmdHelp = 1005,
    kCmdSettings = 1006,
    kCmdChat = 1007,
};

// Message texts (GBK).
extern const char kScreenshotSaved[];
extern const char kScreenshotFailed[];

// What the main window does for its toolbar.
class IToolbarHost {
public:
    virtual ~IToolbarHost() = default;
    virtual void Minimise() = 0;
    // Ends the modal main window; the program then ends.
    virtual void EndWindow() = 0;
    // Send 0x590, show, post 0x52C to the lobby's window, when it exists.
    virtual void HandBackToLobby() = 0;
    virtual void SetSoundPicture(bool on) = 0;
    // Saves a picture of the main window on the desktop; true when a picture was saved.
    virtual bool CaptureWindow() = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    virtual void OpenWithShell(const std::string& address) = 0;
    // Starts a process from a command line (program first, then its arguments).
    virtual bool StartProcess(const std::string& commandLine) = 0;
    virtual bool IsSettingsVisible() = 0;
    virtual void ShowSettings(bool visible) = 0;
    virtual void ToggleChat() = 0;
};

// The help window's command line: "Quorin.exe <kind> "<title>"" (the title quoted so that a
// title with blanks stays one argument).
std::string HelpCommandLine(const std::string& program, uint16_t kindId, const std::string& title);

class ToolbarCommands {
public:
    ToolbarCommands(IToolbarHost& host, PageCommands& page, const LaunchInfo& launch,
                    std::string workDir, std::string program)
        : host_(host),
          page_(page),
          launch_(launch),
          workDir_(std::move(workDir)),
          program_(std::move(program)) {}

    // True when the id is a toolbar command (handled).
    bool OnCommand(uint32_t id);

    // Every way of closing the window ends here.
    void OnCancel();

private:
    void ToggleSound();
    void TakeScreenshot();
    void OpenMainPage();
    void StartHelp();

    IToolbarHost& host_;
    PageCommands& page_;
    const LaunchInfo& launch_;
    std::string workDir_;
    std::string program_;
};

}  // namespace quorin
