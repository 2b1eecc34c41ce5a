// The updater's skinned controls over the window layer's picture buttons and text lines. The
// layer paints the window's surface under each of them, so they look transparent.
#pragma once

#include <string>

#include "platform/Window.h"

namespace dravel::app {

// A button drawn from a strip of five equal frames: normal, hover, one never shown, pressed,
// disabled. Magenta pixels of the strip are transparent.
class CSkinButton {
public:
    static constexpr platform::ButtonFrames kFrames{5, 0, 1, 3, 4};

    // Takes the window's button; sizes it to one frame of the strip at its current place.
    void Attach(platform::PictureButton* button, platform::Image strip);
    // Moves it to its final place.
    void MoveWindow(platform::Rect bounds);
    void EnableWindow(bool enable);
    bool IsWindowEnabled() const;
    platform::PictureButton* Control() const { return m_pButton; }

private:
    platform::PictureButton* m_pButton = nullptr;  // owned by the window
};

// One line of text at the top left of its place, in a colour of its own (black until set).
class CSkinStatic {
public:
    void Attach(platform::TextLine* line);
    void SetTextColor(platform::Argb colour);
    // GBK text; only a changed text repaints the line.
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    platform::TextLine* Control() const { return m_pLine; }

private:
    platform::TextLine* m_pLine = nullptr;  // owned by the window
};

}  // namespace dravel::app
