// The game host's main window: a skinned frame with a title strip around the browser that
// shows the game. Its decisions live in quorin_core (the page commands, the toolbar commands,
// the layout); this class wires the platform's window, the browser and the components to them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "LaunchInfo.h"
#include "Layout.h"
#include "PageCommands.h"
#include "SettingDlg.h"
#include "Toolbar.h"
#include "harbex/DocHostUI.h"
#include "harbex/IJsMessage.h"
#include "harbex/JsExternal.h"
#include "harbex/WebBrowser.h"
#include "lumaro/PngImage.h"
#include "natter/ChatLoader.h"
#include "platform/Window.h"
#include "velisk/PngButton.h"
#include "velisk/SkinButton.h"

namespace quorin {

inline constexpr int32_t kBrowserId = 1011;

class CQuorinDlg : public platform::WindowHandler,
                   public IJsMessage,
                   public DocHostUI,
                   private IPageHost,
                   private IToolbarHost,
                   private ISettingsListener {
public:
    // Loads the chat plug-in; without it the host has no chat.
    explicit CQuorinDlg(std::string programPath);
    ~CQuorinDlg() override;
    CQuorinDlg(const CQuorinDlg&) = delete;
    CQuorinDlg& operator=(const CQuorinDlg&) = delete;

    // Creates the settings window, fills the launch record and composes the game's address.
    // `arguments` follow the program name; `commandTail` is the command line after it.
    void ReadCommandLine(const std::vector<std::string>& arguments, const std::string& commandTail);

    // Opens the window and runs it until it closes.
    int32_t DoModal();

    const LaunchInfo& Launch() const { return m_launch; }

    // platform::WindowHandler
    void OnPaint(platform::Canvas& canvas) override;
    void OnCommand(int32_t id) override;
    void OnLeftButtonDown(int32_t x, int32_t y) override;
    void OnMoved(int32_t x, int32_t y) override;
    void OnClose() override;
    void OnPosted(uint32_t message, uint64_t wparam, int64_t lparam) override;

    // IJsMessage: a call of the page on window.external.
    void OnJsMessage(uint32_t dwCommand, char* pszText) override;
    // DocHostUI: the page's window.external.
    JsExternal* GetExternal() override { return &m_external; }

private:
    void OnInitDialog();
    void CreateGameButtons(const MainLayout& layout);
    void CreateFrameButton(std::unique_ptr<CPngButton>& button, int32_t id, const char* picture,
                           platform::Rect place);
    void CreateBrowser(const MainLayout& layout);
    void LoadPicture(CPngImage& image, const std::string& path);
    std::string SkinPath(std::initializer_list<const char*> parts) const;
    std::string SoundPicture(bool on) const;
    void DockChat();
    void OpenChat();

    // IPageHost
    bool CallPage(int32_t id, const std::string& text) override;
    void PostClose() override;
    // IToolbarHost
    void Minimise() override;
    void EndWindow() override;
    void HandBackToLobby() override;
    void SetSoundPicture(bool on) override;
    bool CaptureWindow() override;
    void ShowMessage(const std::string& text) override;
    void OpenWithShell(const std::string& address) override;
    bool StartProcess(const std::string& commandLine) override;
    bool IsSettingsVisible() override;
    void ShowSettings(bool visible) override;
    void ToggleChat() override;
    // ISettingsListener
    bool PostSettingChanged(int32_t value) override;

    std::string m_programPath;
    std::string m_workDir;
    LaunchInfo m_launch;
    CSettingDlg m_settings;
    PageCommands m_page;
    ToolbarCommands m_toolbar;
    JsExternal m_external;

    std::unique_ptr<platform::Window> m_window;
    CPngImage m_background;
    CPngImage m_logo;
    CPngImage m_title;
    std::unique_ptr<CPngButton> m_close;
    std::unique_ptr<CPngButton> m_minimise;
    std::unique_ptr<CPngButton> m_settingsButton;
    std::unique_ptr<CPngButton> m_chatButton;
    std::unique_ptr<CSkinButton> m_mainPage;
    std::unique_ptr<CSkinButton> m_help;
    std::unique_ptr<CSkinButton> m_screenshot;
    std::unique_ptr<CSkinButton> m_sound;
    std::unique_ptr<CWebBrowser> m_browser;

    std::unique_ptr<natter::ChatLibrary> m_chatLibrary;
    IClientChat* m_chat = nullptr;
};

}  // namespace quorin
