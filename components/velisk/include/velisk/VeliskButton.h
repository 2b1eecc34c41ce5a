// The part both skinned buttons share: a picture button of the window layer, created as a
// child of a window with an id, that reports clicks to the window's handler as OnCommand(id).
//
// The button control belongs to its window and lives as long as the window; this object only
// steers it. It never touches the control in its destructor, so it may outlive the window, but
// it must not be used after the window is gone.
//
// Pictures are strips of equal frames side by side, left to right: normal, hover, pressed,
// disabled. A picture is split into four frames when its width is a multiple of four; a
// picture exactly as wide as the button, or whose width is not a multiple of four, is one frame
// shown in every state.
#pragma once

#include <cstdint>

#include "platform/Image.h"
#include "platform/Window.h"
#include "velisk/VeliskApi.h"

class VELISK_API CVeliskButton {
public:
    CVeliskButton(const CVeliskButton&) = delete;
    CVeliskButton& operator=(const CVeliskButton&) = delete;

    // Makes the button, visible, in `parent` at `bounds` (the parent's coordinates; an empty
    // rectangle is fine and is moved later). A picture loaded before shows at once. False when
    // the button already exists or the window could not make it.
    bool Create(platform::Window& parent, int32_t id, platform::Rect bounds);
    bool IsCreated() const { return m_pButton != nullptr; }
    // The id given to Create, 0 before.
    int32_t GetDlgCtrlID() const { return m_nId; }

    // Position and size in the parent's coordinates. Nothing happens before Create.
    void MoveWindow(int32_t x, int32_t y, int32_t width, int32_t height);
    void SetBounds(platform::Rect bounds);
    platform::Rect GetBounds() const;

    void ShowWindow(bool show);
    bool IsVisible() const;
    // A disabled button shows its disabled frame and reports no clicks.
    void EnableWindow(bool enable);
    bool IsWindowEnabled() const;
    // Repaints the button over the parent's current surface.
    void Invalidate();

    // The size of one frame of the picture; 0 while there is none.
    int32_t GetFrameWidth() const;
    int32_t GetFrameHeight() const;
    bool HasPicture() const { return !m_image.Empty(); }

protected:
    explicit CVeliskButton(bool magentaTransparent);
    ~CVeliskButton();

    // Reads the picture at path (ANSI) and shows it. On failure the button keeps no picture,
    // whatever it showed before, and false is returned.
    bool LoadPicture(const char* path);

private:
    platform::ButtonFrames Frames() const;
    void ApplyPicture();

    platform::PictureButton* m_pButton = nullptr;  // owned by the parent window
    int32_t m_nId = 0;
    bool m_bMagentaTransparent;
    // Kept so that the frames can be chosen again once the button's width is known: the host
    // creates its buttons with an empty rectangle and loads the picture before moving them.
    platform::Image m_image;
};
