#include "SkinControls.h"

#include <utility>

namespace dravel::app {

void CSkinButton::Attach(platform::PictureButton* button, platform::Image strip) {
    m_pButton = button;
    if (m_pButton == nullptr) {
        return;
    }
    const platform::Rect at = m_pButton->Bounds();
    if (!strip.Empty()) {
        m_pButton->SetBounds({at.x, at.y, strip.Width() / kFrames.count, strip.Height()});
    }
    m_pButton->SetPicture(std::move(strip), kFrames, true);
}

void CSkinButton::MoveWindow(platform::Rect bounds) {
    if (m_pButton != nullptr) {
        m_pButton->SetBounds(bounds);
    }
}

void CSkinButton::EnableWindow(bool enable) {
    if (m_pButton != nullptr) {
        m_pButton->SetEnabled(enable);
    }
}

bool CSkinButton::IsWindowEnabled() const {
    return m_pButton != nullptr && m_pButton->IsEnabled();
}

void CSkinStatic::Attach(platform::TextLine* line) {
    m_pLine = line;
    if (m_pLine != nullptr) {
        m_pLine->SetColour(platform::MakeRgb(0, 0, 0));
    }
}

void CSkinStatic::SetTextColor(platform::Argb colour) {
    if (m_pLine != nullptr) {
        m_pLine->SetColour(colour);
    }
}

void CSkinStatic::SetWindowText(const std::string& text) {
    if (m_pLine != nullptr && m_pLine->Text() != text) {
        m_pLine->SetText(text);
    }
}

std::string CSkinStatic::GetWindowText() const {
    return m_pLine != nullptr ? m_pLine->Text() : std::string();
}

}  // namespace dravel::app
