// Windows of the programs: borderless top-level windows at fixed pixel sizes, with picture
// buttons, text lines and hosted controls (the browser) at fixed pixel positions.
//
// A window's owner supplies a WindowHandler; the window calls it on the thread that created the
// window (the user-interface thread) and on no other. Only Window::Post may be called from any
// thread: it is how a worker hands work to the window.
//
// Win32: a WS_POPUP window of our own class; the buttons and text lines are owner-drawn child
// windows that ask their parent to paint the background under them (the message
// WM_TRANSPARENT_BK, 0x7FD), so picture parts in magenta show the parent's surface. Posted
// messages are window messages with their own numbers.
// GTK: a GtkWindow without decorations holding a GtkFixed; buttons and text lines are drawing
// areas in it that paint the parent's surface under themselves the same way. Posted messages
// travel to the main loop's thread as idle callbacks, in the order they were posted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Canvas.h"
#include "platform/Image.h"

namespace platform {

class Window;

// The window messages the programs post to themselves or to each other.
inline constexpr uint32_t kFirstUserMessage = 0x400;

enum class Key { kEnter, kEscape, kSpace, kOther };

class WindowHandler {
public:
    virtual ~WindowHandler() = default;

    // Paints the window's surface. Also called to paint the part of the surface under a child
    // button or text line: the canvas is then that child's, moved so that the handler draws in
    // window coordinates as always. Everything the handler draws must depend only on its state.
    virtual void OnPaint(Canvas& canvas) { (void)canvas; }
    // A button was clicked (pressed and released over it), or another command arrived.
    virtual void OnCommand(int32_t id) { (void)id; }
    // The left button went down on the window's own surface (not on a child), in window
    // coordinates. Window::BeginDrag may be called from here.
    virtual void OnLeftButtonDown(int32_t x, int32_t y) {
        (void)x;
        (void)y;
    }
    // The window's top-left corner moved, in screen coordinates.
    virtual void OnMoved(int32_t x, int32_t y) {
        (void)x;
        (void)y;
    }
    virtual void OnResized(int32_t width, int32_t height) {
        (void)width;
        (void)height;
    }
    // The system asked the window to close (the close command, Alt+F4, the taskbar, or a close
    // posted with Window::PostClose). The default destroys nothing: the handler decides.
    virtual void OnClose() {}
    // A key went down while the window or one of its children had the focus. True swallows it.
    virtual bool OnKeyDown(Key key) {
        (void)key;
        return false;
    }
    // A message posted with Window::Post.
    virtual void OnPosted(uint32_t message, uint64_t wparam, int64_t lparam) {
        (void)message;
        (void)wparam;
        (void)lparam;
    }
    virtual void OnTimer(uint32_t id) { (void)id; }
    // The window was minimised (true) or restored (false).
    virtual void OnMinimisedChanged(bool minimised) { (void)minimised; }
};

// A child at a fixed position, owned by its window.
class Control {
public:
    virtual ~Control() = default;
    virtual int32_t Id() const = 0;
    virtual void SetBounds(Rect bounds) = 0;
    virtual Rect Bounds() const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() const = 0;
    // Repaints the child, background first.
    virtual void Invalidate() = 0;
};

// Which frame of a button's picture strip shows in each state, counted from the left.
struct ButtonFrames {
    int32_t count = 4;  // frames of equal width side by side
    int32_t normal = 0;
    int32_t hover = 1;
    int32_t pressed = 2;
    int32_t disabled = 3;
};

// A button drawn from a picture strip over the window's surface. A click reaches the window's
// handler as OnCommand(id).
class PictureButton : public Control {
public:
    // The strip and how its frames are used. With `magentaTransparent`, pure magenta pixels
    // (255, 0, 255) are not drawn. An empty image draws only the background.
    virtual void SetPicture(Image strip, ButtonFrames frames, bool magentaTransparent) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;
};

// One line of text drawn over the window's surface, from the top left, cut at the right edge.
class TextLine : public Control {
public:
    // The text in the ANSI code page.
    virtual void SetText(const std::string& ansiText) = 0;
    virtual std::string Text() const = 0;
    virtual void SetColour(Argb colour) = 0;
};

// A one-line field the user types into. Enter in it reaches the window's handler as
// OnCommand(id), after OnKeyDown has declined the key.
class TextEntry : public Control {
public:
    // The text in the ANSI code page.
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& ansiText) = 0;
    // Gives the field the keyboard.
    virtual void Focus() = 0;
};

// A place for a control of another library (the browser): the window gives it a native parent
// and keeps it at its bounds.
class HostedControl : public Control {
public:
    // The native parent to create the control in: an HWND (the child window made for it) on
    // Windows, a GtkWidget* container on Linux that takes exactly one child.
    virtual void* NativeParent() const = 0;
};

struct WindowOptions {
    std::string title;  // ANSI code page
    int32_t width = 100;
    int32_t height = 100;
    // Shown in the taskbar (a main window) or not (a tool window such as the settings).
    bool taskbar = true;
    // A window this one stays in front of, or null.
    Window* owner = nullptr;
    // The program icon (resource 128 on Windows; a picture file elsewhere). May be empty.
    std::string iconPath;
};

class Window {
public:
    // A borderless top-level window, hidden, at (0, 0). Null when the platform could not make
    // one (no display).
    static std::unique_ptr<Window> Create(WindowHandler& handler, const WindowOptions& options);
    virtual ~Window() = default;

    virtual void SetTitle(const std::string& ansiTitle) = 0;
    virtual std::string Title() const = 0;
    // Position and size of the window in screen coordinates.
    virtual void SetBounds(Rect bounds) = 0;
    virtual Rect Bounds() const = 0;
    virtual void CenterOnScreen() = 0;

    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void Minimise() = 0;
    virtual void Restore() = 0;
    virtual bool IsVisible() const = 0;
    virtual bool IsMinimised() const = 0;
    // Keeps the window above all windows that are not topmost.
    virtual void SetTopmost() = 0;
    // Repaints the whole window and its children.
    virtual void Invalidate() = 0;

    // Starts moving the window with the mouse, as if its caption had been grabbed. Only during
    // WindowHandler::OnLeftButtonDown.
    virtual void BeginDrag() = 0;

    // Any thread: queues a message for the handler's OnPosted. False when the window is gone.
    virtual bool Post(uint32_t message, uint64_t wparam, int64_t lparam) = 0;
    // Queues a close request: the handler's OnClose runs once the messages before it are done.
    virtual void PostClose() = 0;

    // A timer calling OnTimer(id) every `periodMs` until stopped; setting it again restarts it.
    virtual void SetTimer(uint32_t id, uint32_t periodMs) = 0;
    virtual void KillTimer(uint32_t id) = 0;

    // Shows the window and runs its messages until EndModal; returns EndModal's result.
    virtual int32_t RunModal() = 0;
    virtual void EndModal(int32_t result) = 0;

    // Children, created visible at `bounds` (window coordinates) and owned by the window.
    virtual PictureButton* AddButton(int32_t id, Rect bounds) = 0;
    virtual TextLine* AddTextLine(int32_t id, Rect bounds) = 0;
    virtual HostedControl* AddHostedControl(int32_t id, Rect bounds) = 0;
    virtual TextEntry* AddTextEntry(int32_t id, Rect bounds) = 0;

    // The HWND on Windows, the GtkWindow* on Linux.
    virtual void* NativeHandle() const = 0;
};

enum class MessageIconKind { kNone, kInformation, kWarning, kError };

// A modal message box with an OK button, owned by `owner` (may be null). Texts are ANSI.
void ShowMessageBox(Window* owner, const std::string& text, const std::string& caption,
                    MessageIconKind icon);

// The screen's size in pixels.
Rect ScreenBounds();

// Handles one message of the user-interface thread, for programs whose loop is not a window's
// modal run (a main window that stays hidden for a while). Keys reach their window's handler
// first, as in RunModal. Waits for a message when `wait`. False when there was none, or when the
// system's quit message came.
bool DispatchUiMessage(bool wait);

// Prepares the windowing system once per process (GTK's initialisation, COM and the common
// controls on Windows). False when there is no display.
bool InitWindowing();

}  // namespace platform
