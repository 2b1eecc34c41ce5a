#include "SettingDlg.h"

#include <algorithm>
#include <cstdio>

#include "AppText.h"
#include "ostrin/Capture.h"
#include "platform/Paths.h"

// <windows.h>, which the browser's headers bring in, would rename CPngImage::LoadImage.
#ifdef LoadImage
#undef LoadImage
#endif

namespace quorin {

namespace {

struct ButtonPlace {
    int32_t id;
    const char* picture;
    platform::Rect bounds;
};

// In the order the buttons are made.
constexpr ButtonPlace kButtons[] = {
    {kMusicDown, "Sub.png", {121, 90, 34, 34}},
    {kEffectDown, "Sub.png", {121, 145, 34, 34}},
    {kMusicUp, "Add.png", {301, 90, 34, 34}},
    {kEffectUp, "Add.png", {301, 145, 34, 34}},
    {kSettingSave, "Save.png", {55, 208, 97, 32}},
    {kSettingCancel, "Cancel.png", {226, 208, 97, 32}},
    {kSettingClose, "Close.png", {346, 0, 24, 20}},
};

constexpr platform::Rect kMusicBar{166, 100, 0, 0};
constexpr platform::Rect kEffectBar{166, 154, 0, 0};

}  // namespace

CSettingDlg::CSettingDlg(ISettingsListener& listener) : m_listener(listener) {}

CSettingDlg::~CSettingDlg() {
    for (auto& button : m_buttons) {
        button.reset();
    }
    m_window.reset();
    m_background.DestroyImage();
    m_bar.DestroyImage();
}

std::string CSettingDlg::SkinPath(const char* name) const {
    return m_workDir + kSkinSeparator + "Res" + kSkinSeparator + "Frame" + kSkinSeparator +
           "Setting" + kSkinSeparator + name;
}

bool CSettingDlg::Create(const std::string& workDir) {
    m_workDir = workDir;
    platform::WindowOptions options;
    options.title = "QuorinSettings";
    options.taskbar = false;
    options.width = 370;
    options.height = 250;
    m_window = platform::Window::Create(*this, options);

    for (const char* name : {"Bg.png", "Bar.png"}) {
        CPngImage& image = name[1] == 'g' ? m_background : m_bar;
        const std::string path = SkinPath(name);
        if (!image.LoadImage(path.c_str())) {
            ShowProgramMessage(m_window.get(), FormatNotFound(path));
        }
    }
    if (m_window) {
        CreateButtons();
        const int32_t width = m_background.IsNull() ? options.width : m_background.GetWidth();
        const int32_t height = m_background.IsNull() ? options.height : m_background.GetHeight();
        m_window->SetBounds({0, 0, width, height});
        m_window->CenterOnScreen();
    }
    m_settings.Load(workDir);
    return m_window != nullptr;
}

void CSettingDlg::CreateButtons() {
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const ButtonPlace& place = kButtons[i];
        auto button = std::make_unique<CPngButton>();
        button->Create(*m_window, place.id, {});
        const std::string path = SkinPath(place.picture);
        if (!button->LoadImageFile(path.c_str(), false)) {
            ShowInformationEx(FormatNotFound(path).c_str(), m_window.get(), kMbIconInformation,
                              kSystemMessageCaption, 0);
        }
        button->SetBounds(place.bounds);
        button->SetBkGnd(m_background);
        m_buttons[i] = std::move(button);
    }
}

bool CSettingDlg::IsVisible() const {
    return m_window && m_window->IsVisible();
}

void CSettingDlg::Show(bool visible) {
    if (!m_window) {
        return;
    }
    if (visible) {
        m_window->Show();
    } else {
        m_window->Hide();
    }
}

void CSettingDlg::OnPaint(platform::Canvas& canvas) {
    if (!m_background.IsNull()) {
        m_background.DrawImage(canvas, 0, 0);
    }
    if (m_bar.IsNull()) {
        return;
    }
    const int32_t bw = m_bar.GetWidth();
    const int32_t bh = m_bar.GetHeight();
    // A volume above the maximum (read from the file as it stands) fills the whole bar: there
    // are no pixels of the picture past its end.
    const int32_t music = std::min(bw, SoundSettings::BarWidth(bw, m_settings.Current().MusicPos));
    const int32_t effect = std::min(bw, SoundSettings::BarWidth(bw, m_settings.Current().SoundPos));
    m_bar.DrawImage(canvas, kMusicBar.x, kMusicBar.y, music, bh, 0, 0, music, bh);
    m_bar.DrawImage(canvas, kEffectBar.x, kEffectBar.y, effect, bh, 0, 0, effect, bh);
}

void CSettingDlg::OnCommand(int32_t id) {
    // A trace for whoever runs the program from a console.
    std::printf("\xB0\xB4\xC5\xA5[%d]\n", static_cast<int>(id));
    const SettingAction action = m_settings.OnButton(static_cast<uint32_t>(id));
    if (action.apply) {
        ApplySettings(action.applyValue);
    }
    if (action.close && m_window) {
        m_window->PostClose();
    }
}

void CSettingDlg::ApplySettings(int32_t value) {
    m_settings.Write(m_workDir);
    m_listener.PostSettingChanged(value);
    if (m_window) {
        m_window->Invalidate();
    }
}

void CSettingDlg::OnLeftButtonDown(int32_t, int32_t) {
    if (m_window) {
        m_window->BeginDrag();
    }
}

void CSettingDlg::OnClose() {
    // Closing only hides the window; it is shown again by the main window's settings button.
    Show(false);
}

bool CSettingDlg::OnKeyDown(platform::Key key) {
    switch (key) {
        case platform::Key::kEnter:
            return true;
        case platform::Key::kEscape:
            // Escape cancels without restoring the saved options.
            Show(false);
            return true;
        default:
            return false;
    }
}

}  // namespace quorin
