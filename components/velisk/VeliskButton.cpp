#include "velisk/VeliskButton.h"

#include <utility>
#include <vector>

namespace {

constexpr int32_t kStripFrames = 4;

// The control takes its picture by value and images are not copyable, so the button keeps its
// own and hands the control a copy.
platform::Image CopyOf(const platform::Image& image) {
    platform::Image copy;
    if (image.Empty()) {
        return copy;
    }
    std::vector<platform::Argb> pixels;
    pixels.reserve(static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height()));
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            pixels.push_back(image.PixelAt(x, y));
        }
    }
    copy.Assign(image.Width(), image.Height(), pixels.data());
    return copy;
}

}  // namespace

CVeliskButton::CVeliskButton(bool magentaTransparent) : m_bMagentaTransparent(magentaTransparent) {}

CVeliskButton::~CVeliskButton() = default;

bool CVeliskButton::Create(platform::Window& parent, int32_t id, platform::Rect bounds) {
    if (m_pButton != nullptr) {
        return false;
    }
    m_pButton = parent.AddButton(id, bounds);
    if (m_pButton == nullptr) {
        return false;
    }
    m_nId = id;
    ApplyPicture();
    return true;
}

void CVeliskButton::MoveWindow(int32_t x, int32_t y, int32_t width, int32_t height) {
    SetBounds(platform::Rect{x, y, width, height});
}

void CVeliskButton::SetBounds(platform::Rect bounds) {
    if (m_pButton == nullptr) {
        return;
    }
    const platform::ButtonFrames before = Frames();
    m_pButton->SetBounds(bounds);
    const platform::ButtonFrames after = Frames();
    if (after.count != before.count) {
        ApplyPicture();
    }
}

platform::Rect CVeliskButton::GetBounds() const {
    return m_pButton != nullptr ? m_pButton->Bounds() : platform::Rect{};
}

void CVeliskButton::ShowWindow(bool show) {
    if (m_pButton != nullptr) {
        m_pButton->SetVisible(show);
    }
}

bool CVeliskButton::IsVisible() const {
    return m_pButton != nullptr && m_pButton->IsVisible();
}

void CVeliskButton::EnableWindow(bool enable) {
    if (m_pButton != nullptr) {
        m_pButton->SetEnabled(enable);
    }
}

bool CVeliskButton::IsWindowEnabled() const {
    return m_pButton != nullptr && m_pButton->IsEnabled();
}

void CVeliskButton::Invalidate() {
    if (m_pButton != nullptr) {
        m_pButton->Invalidate();
    }
}

int32_t CVeliskButton::GetFrameWidth() const {
    return m_image.Empty() ? 0 : m_image.Width() / Frames().count;
}

int32_t CVeliskButton::GetFrameHeight() const {
    return m_image.Height();
}

bool CVeliskButton::LoadPicture(const char* path) {
    const bool loaded = path != nullptr && m_image.Load(path);
    if (!loaded) {
        m_image.Clear();
    }
    ApplyPicture();
    return loaded;
}

platform::ButtonFrames CVeliskButton::Frames() const {
    const int32_t width = m_image.Width();
    const int32_t buttonWidth = GetBounds().width;
    const bool strip = width >= kStripFrames && width % kStripFrames == 0 && width != buttonWidth;
    if (strip) {
        return platform::ButtonFrames{};  // normal, hover, pressed, disabled
    }
    return platform::ButtonFrames{1, 0, 0, 0, 0};
}

void CVeliskButton::ApplyPicture() {
    if (m_pButton != nullptr) {
        m_pButton->SetPicture(CopyOf(m_image), Frames(), m_bMagentaTransparent);
    }
}
