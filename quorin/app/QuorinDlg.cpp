#include "QuorinDlg.h"

#include "AppText.h"
#include "ChatRecord.h"
#include "CommandLine.h"
#include "GameAddress.h"
#include "Layout.h"
#include "ostrin/Capture.h"
#include "platform/CodePage.h"
#include "platform/Ini.h"
#include "platform/LobbyLink.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

// <windows.h>, which the browser's headers bring in, would rename CPngImage::LoadImage.
#ifdef LoadImage
#undef LoadImage
#endif

namespace quorin {

namespace {

// The lobby's hand-back messages.
constexpr uint32_t WM_GAMEHOST_CLOSE = 0x590;
constexpr uint32_t WM_GAMEHOST_CLOSED = 0x52C;
constexpr int32_t kShowCommandShow = 5;

constexpr int32_t kLogoX = 3;
constexpr int32_t kLogoY = 5;

// Buttons made with an empty rectangle are first moved here with their final size, handed the
// background, and then moved to their place.
constexpr int32_t kStagingX = 500;

}  // namespace

CQuorinDlg::CQuorinDlg(std::string programPath)
    : m_programPath(std::move(programPath)),
      m_settings(*this),
      m_page(*this, m_launch, m_settings.Settings()),
      m_toolbar(*this, m_page, m_launch, platform::CurrentFolder(), m_programPath),
      m_external(*this) {
    // Missing plug-in, or one without its export: no chat, silently.
    // The window does not exist yet; the chat docks itself when the host moves it.
    m_chatLibrary = natter::ChatLibrary::Load();
    m_chat = m_chatLibrary ? m_chatLibrary->CreateClientChat(nullptr) : nullptr;
}

CQuorinDlg::~CQuorinDlg() {
    // The browser goes first: it may call back into this window while it closes its page.
    m_browser.reset();
    m_background.DestroyImage();
    m_logo.DestroyImage();
    m_title.DestroyImage();
}

void CQuorinDlg::ReadCommandLine(const std::vector<std::string>& arguments,
                                 const std::string& commandTail) {
    m_workDir = platform::CurrentFolder();
    // The settings window is made now, so its volumes are known before the address is composed.
    m_settings.Create(m_workDir);
    m_launch = quorin::ReadCommandLine(arguments);
    if (m_launch.LaunchMode != ELaunchMode::None) {
        const SoundOptions& options = m_settings.Settings().Current();
        ComposeGameUrl(m_launch, m_workDir, SoundVolumes{options.MusicPos, options.SoundPos},
                       commandTail);
    }
}

int32_t CQuorinDlg::DoModal() {
    platform::WindowOptions options;
    options.title = m_launch.Title;
    options.width = m_launch.Width;
    options.height = m_launch.Height;
    options.iconPath = platform::JoinPath(platform::ProgramFolder(), "Quorin.png");
    m_window = platform::Window::Create(*this, options);
    if (!m_window) {
        return -1;
    }
    OnInitDialog();
    return m_window->RunModal();
}

std::string CQuorinDlg::SkinPath(std::initializer_list<const char*> parts) const {
    std::string path = m_workDir;
    for (const char* part : parts) {
        path += kSkinSeparator;
        path += part;
    }
    return path;
}

std::string CQuorinDlg::SoundPicture(bool on) const {
    return SkinPath({"Res", "lobby", "Quorin", on ? "Sound_T.bmp" : "Sound_F.bmp"});
}

void CQuorinDlg::LoadPicture(CPngImage& image, const std::string& path) {
    if (!image.LoadImage(path.c_str())) {
        ShowProgramMessage(m_window.get(), path);
    }
}

void CQuorinDlg::OnInitDialog() {
    if (m_launch.LaunchMode == ELaunchMode::HelpPage) {
        m_launch.Width = kHelpWidth;
        m_launch.Height = kHelpHeight;
    }
    const int32_t width = m_launch.Width;
    const int32_t height = m_launch.Height;
    m_window->SetBounds({0, 0, width, height});
    m_window->CenterOnScreen();
    m_window->SetTitle(m_launch.Title);

    LoadPicture(m_background, SkinPath({"res", "lobby", "Quorin", "bg.png"}));
    const MainLayout layout = ComputeMainLayout(width, height);
    if (m_launch.LaunchMode == ELaunchMode::LobbyGame) {
        CreateGameButtons(layout);
        LoadPicture(m_title, SkinPath({"Res", "lobby", "Quorin", "Title.png"}));
        CreateFrameButton(m_settingsButton, kCmdSettings, "Setting.png", layout.settings);
        m_chatButton = std::make_unique<CPngButton>();
        m_chatButton->Create(*m_window, kCmdChat, {});
        m_chatButton->LoadImageFile(SkinPath({"Res", "lobby", "PngBtn", "chat.png"}).c_str(),
                                    false);
        m_chatButton->SetBkGnd(m_background);
        m_chatButton->SetBounds(layout.chat);
        m_chatButton->ShowWindow(false);
        if (m_launch.ChatAutoOpen == 1 && m_chat != nullptr) {
            ToggleChat();
        }
    }
    CreateBrowser(layout);
    LoadPicture(m_logo, ChooseLogo(m_workDir));
    CreateFrameButton(m_minimise, kCmdMinimise, "Min.png", layout.minimise);
    CreateFrameButton(m_close, kCmdClose, "Close.png", layout.close);
}

void CQuorinDlg::CreateGameButtons(const MainLayout& layout) {
    struct GameButton {
        std::unique_ptr<CSkinButton>& button;
        int32_t id;
        std::string picture;
        platform::Rect place;
    };
    const bool soundOn =
        platform::GetIniInt("PlaySound", "bPlay", 1,
                            platform::JoinPath(m_workDir, "SystemOption.ini").c_str()) != 0;
    GameButton buttons[] = {
        {m_mainPage, kCmdMainPage, SkinPath({"Res", "lobby", "Quorin", "Main.bmp"}),
         layout.mainPage},
        {m_help, kCmdHelp, SkinPath({"Res", "lobby", "Quorin", "Help.bmp"}), layout.help},
        {m_screenshot, kCmdScreenshot, SkinPath({"Res", "lobby", "Quorin", "PrintScreen.bmp"}),
         layout.screenshot},
        {m_sound, kCmdSound, SoundPicture(soundOn), layout.sound},
    };
    for (GameButton& entry : buttons) {
        entry.button = std::make_unique<CSkinButton>();
        entry.button->Create(*m_window, entry.id, {});
        entry.button->SetBounds(entry.place);
        // A missing picture leaves the button without one; nothing is shown.
        entry.button->SetButtonImage(entry.picture.c_str(), false);
    }
}

void CQuorinDlg::CreateFrameButton(std::unique_ptr<CPngButton>& button, int32_t id,
                                   const char* picture, platform::Rect place) {
    button = std::make_unique<CPngButton>();
    button->Create(*m_window, id, {});
    button->LoadImageFile(SkinPath({"Res", "Lobby", "PngBtn", picture}).c_str(), false);
    button->SetBounds({kStagingX, 0, place.width, place.height});
    button->SetBkGnd(m_background);
    button->SetBounds(place);
}

void CQuorinDlg::CreateBrowser(const MainLayout& layout) {
    platform::HostedControl* place = m_window->AddHostedControl(kBrowserId, layout.browser);
    m_browser = std::make_unique<CWebBrowser>();
    // A browser that cannot be made leaves the window without a page.
    if (place == nullptr ||
        !m_browser->Create("", 0, layout.browser, place->NativeParent(), kBrowserId)) {
        m_browser.reset();
        return;
    }
    // A browser that fails later on goes unnoticed too: the window stays, without its page.
    try {
        m_browser->Navigate("about:blank");
        m_browser->put_Silent(1);
        m_browser->InstallUIHandler(*this);
        m_browser->Navigate(m_launch.GameUrl);
    } catch (const std::exception&) {
    }
}

void CQuorinDlg::OnPaint(platform::Canvas& canvas) {
    const int32_t width = m_launch.Width;
    const int32_t height = m_launch.Height;
    if (!m_background.IsNull()) {
        for (const FramePiece& piece :
             FramePieces(width, height, m_background.GetWidth(), m_background.GetHeight())) {
            m_background.DrawImage(canvas, piece.destination.x, piece.destination.y,
                                   piece.destination.width, piece.destination.height,
                                   piece.source.x, piece.source.y, piece.source.width,
                                   piece.source.height);
        }
    }
    if (!m_title.IsNull()) {
        m_title.DrawImage(canvas, TitleX(width, m_title.GetWidth()), 0);
    }
    if (!m_logo.IsNull()) {
        m_logo.DrawImage(canvas, kLogoX, kLogoY);
    }
}

void CQuorinDlg::OnCommand(int32_t id) {
    m_toolbar.OnCommand(static_cast<uint32_t>(id));
}

void CQuorinDlg::OnLeftButtonDown(int32_t, int32_t y) {
    if (IsDragPoint(y)) {
        m_window->BeginDrag();
    }
}

void CQuorinDlg::OnMoved(int32_t, int32_t) {
    DockChat();
}

void CQuorinDlg::DockChat() {
    if (m_chat == nullptr || !m_window) {
        return;
    }
    const platform::Rect bounds = m_window->Bounds();
    m_chat->MoveChat({bounds.x + bounds.width, bounds.y, kChatWidth, bounds.height});
}

void CQuorinDlg::OnClose() {
    m_toolbar.OnCancel();
}

void CQuorinDlg::OnPosted(uint32_t message, uint64_t, int64_t) {
    if (message == WM_SETTING_CHANGED) {
        m_page.SendVolumes();
    }
}

void CQuorinDlg::OnJsMessage(uint32_t dwCommand, char* pszText) {
    m_page.OnJsMessage(dwCommand, pszText != nullptr ? pszText : "");
}

bool CQuorinDlg::CallPage(int32_t id, const std::string& text) {
    return m_browser && m_browser->CallPage(id, text);
}

void CQuorinDlg::PostClose() {
    if (m_window) {
        m_window->PostClose();
    }
}

void CQuorinDlg::Minimise() {
    m_window->Minimise();
}

void CQuorinDlg::EndWindow() {
    m_window->EndModal(0);
}

void CQuorinDlg::HandBackToLobby() {
    platform::LobbyWindow lobby = platform::LobbyWindow::Find();
    if (!lobby) {
        return;
    }
    lobby.Send(WM_GAMEHOST_CLOSE, 0, 0);
    lobby.Show(kShowCommandShow);
    lobby.Post(WM_GAMEHOST_CLOSED, 0, 0);
}

void CQuorinDlg::SetSoundPicture(bool on) {
    if (m_sound) {
        m_sound->SetButtonImage(SoundPicture(on).c_str(), false);
    }
}

bool CQuorinDlg::CaptureWindow() {
    Capture1 capture;
    capture.CaptureImage(m_window->Bounds(), 1, 0, true, nullptr);
    return capture.LastSaved();
}

void CQuorinDlg::ShowMessage(const std::string& text) {
    ShowProgramMessage(m_window.get(), text);
}

void CQuorinDlg::OpenWithShell(const std::string& address) {
    platform::OpenWithShell(address);
}

bool CQuorinDlg::StartProcess(const std::string& commandLine) {
    return platform::StartProcess(commandLine);
}

bool CQuorinDlg::IsSettingsVisible() {
    return m_settings.IsVisible();
}

void CQuorinDlg::ShowSettings(bool visible) {
    m_settings.Show(visible);
}

void CQuorinDlg::ToggleChat() {
    if (m_chat == nullptr) {
        return;
    }
    if (m_chat->IsChatVisible()) {
        m_chat->HideChat();
    } else {
        OpenChat();
    }
}

void CQuorinDlg::OpenChat() {
    const ChatRecord record = BuildChatRecord(m_launch);
    DockChat();
    m_chat->ShowChat(record.data(), static_cast<int32_t>(record.size()));
}

bool CQuorinDlg::PostSettingChanged(int32_t value) {
    return m_window && m_window->Post(WM_SETTING_CHANGED, 0, value);
}

}  // namespace quorin
