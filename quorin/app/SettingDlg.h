// The sound settings window: two volume bars with their buttons, Save, Cancel and Close.
// Created once, hidden, before the main window; shown and hidden by the settings button.
#pragma once

#include <memory>
#include <string>

#include "SoundSettings.h"
#include "lumaro/PngImage.h"
#include "platform/Window.h"
#include "velisk/PngButton.h"

namespace quorin {

// Posted to the main window after every change of the options.
inline constexpr uint32_t WM_SETTING_CHANGED = 0x728;

// Whoever hears about changed options: the main window.
class ISettingsListener {
public:
    virtual ~ISettingsListener() = default;
    // Posts WM_SETTING_CHANGED to the listener's window; false while it has none.
    virtual bool PostSettingChanged(int32_t value) = 0;
};

class CSettingDlg : public platform::WindowHandler {
public:
    explicit CSettingDlg(ISettingsListener& listener);
    ~CSettingDlg() override;

    // Makes the hidden window, reads the options and centres it on the screen. False when no
    // window could be made; the options are read all the same.
    bool Create(const std::string& workDir);

    const SoundSettings& Settings() const { return m_settings; }
    bool IsVisible() const;
    void Show(bool visible);
    platform::Window* GetWindow() const { return m_window.get(); }

    // platform::WindowHandler
    void OnPaint(platform::Canvas& canvas) override;
    void OnCommand(int32_t id) override;
    void OnLeftButtonDown(int32_t x, int32_t y) override;
    void OnClose() override;
    bool OnKeyDown(platform::Key key) override;

private:
    void ApplySettings(int32_t value);
    void CreateButtons();
    std::string SkinPath(const char* name) const;

    ISettingsListener& m_listener;
    std::string m_workDir;
    SoundSettings m_settings;
    CPngImage m_background;
    CPngImage m_bar;
    std::unique_ptr<platform::Window> m_window;
    std::unique_ptr<CPngButton> m_buttons[7];
};

}  // namespace quorin
