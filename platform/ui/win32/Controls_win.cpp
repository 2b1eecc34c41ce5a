// The child controls on Windows: owner-drawn buttons and statics that take their background
// from the parent (WM_TRANSPARENT_BK), and a plain child window hosting another library's
// control.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "WindowParts_win.h"

namespace platform::win32ui {

namespace {

constexpr char kHostClass[] = "PlatformHostedControl";

Rect LiveBounds(HWND hwnd, Rect fallback) {
    RECT r;
    if (hwnd == nullptr || !GetWindowRect(hwnd, &r)) {
        return fallback;
    }
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Background first: the parent paints its surface under the child, or, when it does not know
// the request, erases into the child's context.
void RequestBackground(HWND child, HDC dc) {
    HWND parent = GetParent(child);
    if (parent == nullptr) {
        return;
    }
    if (SendMessageA(parent, WM_TRANSPARENT_BK, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(child)) == 0) {
        SendMessageA(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    }
}

// The Control operations every child shares, over the child's window. The window is destroyed
// with the parent or, if it outlived it (moved elsewhere), with this object.
template <typename Interface>
class ChildControl : public Interface {
public:
    ChildControl(int32_t id, Rect bounds) : id_(id), bounds_(bounds) {}
    ~ChildControl() override {
        if (hwnd_ != nullptr) {
            // The derived part is gone: no message may reach OnMessage any more.
            HWND hwnd = hwnd_;
            Detach(hwnd);
            DestroyWindow(hwnd);
        }
    }
    ChildControl(const ChildControl&) = delete;
    ChildControl& operator=(const ChildControl&) = delete;

    int32_t Id() const override { return id_; }
    void SetBounds(Rect bounds) override {
        bounds_ = bounds;
        if (hwnd_ != nullptr) {
            MoveWindow(hwnd_, bounds.x, bounds.y, bounds.width, bounds.height, TRUE);
        }
    }
    Rect Bounds() const override { return LiveBounds(hwnd_, bounds_); }
    void SetVisible(bool visible) override {
        if (hwnd_ != nullptr) {
            ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
        }
    }
    // The child's own flag: a child of a hidden window still counts as visible.
    bool IsVisible() const override {
        return hwnd_ != nullptr && (GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
    }
    void Invalidate() override {
        if (hwnd_ != nullptr) {
            InvalidateRect(hwnd_, nullptr, TRUE);
        }
    }

    HWND Handle() const { return hwnd_; }

protected:
    // Takes over the created window: subclassed, and tagged as a transparent child when asked.
    bool Attach(HWND hwnd, bool transparent) {
        if (hwnd == nullptr) {
            return false;
        }
        if (!SetWindowSubclass(hwnd, &ChildControl::SubclassProc, 0,
                               reinterpret_cast<DWORD_PTR>(this))) {
            DestroyWindow(hwnd);
            return false;
        }
        hwnd_ = hwnd;
        if (transparent && GetPropA(hwnd, kTransparentTag) == nullptr) {
            SetPropA(hwnd, kTransparentTag, hwnd);
            tagged_ = true;
        }
        return true;
    }

    // Messages of the child's window; `handled` false passes them on to the class.
    virtual LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) = 0;

private:
    void Detach(HWND hwnd) {
        RemoveWindowSubclass(hwnd, &ChildControl::SubclassProc, 0);
        if (tagged_) {
            RemovePropA(hwnd, kTransparentTag);
            tagged_ = false;
        }
        hwnd_ = nullptr;
    }

    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                         UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<ChildControl*>(data);
        if (message == WM_NCDESTROY) {
            self->Detach(hwnd);
            return DefSubclassProc(hwnd, message, wparam, lparam);
        }
        try {
            bool handled = false;
            const LRESULT result = self->OnMessage(message, wparam, lparam, handled);
            if (handled) {
                return result;
            }
        } catch (...) {
            // Nothing may unwind into the system's dispatch; the class handles it instead.
        }
        return DefSubclassProc(hwnd, message, wparam, lparam);
    }

    int32_t id_;
    Rect bounds_;
    HWND hwnd_ = nullptr;
    bool tagged_ = false;
};

// Draws a control into a memory copy of its item rectangle, background first, then copies it
// to the screen in one go.
template <typename Draw>
void DrawBuffered(HWND hwnd, const DRAWITEMSTRUCT& item, Draw&& draw) {
    const int32_t width = item.rcItem.right - item.rcItem.left;
    const int32_t height = item.rcItem.bottom - item.rcItem.top;
    MemorySurface surface(item.hDC, width, height);
    if (!surface.Ok()) {
        RequestBackground(hwnd, item.hDC);
        draw(item.hDC, item.rcItem);
        return;
    }
    const RECT local{0, 0, width, height};
    RequestBackground(hwnd, surface.dc());
    draw(surface.dc(), local);
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, surface.dc(), 0, 0, SRCCOPY);
}

// A pure magenta pixel in premultiplied form: red and blue equal to the alpha, no green.
bool IsMagenta(Argb p) {
    const uint8_t a = AlphaOf(p);
    return a != 0 && RedOf(p) == a && BlueOf(p) == a && GreenOf(p) == 0;
}

class PictureButtonWin final : public ChildControl<PictureButton> {
public:
    using ChildControl::ChildControl;

    bool Open(HWND parent) {
        const Rect b = ChildControl::Bounds();
        HWND hwnd = CreateWindowExA(
            0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_OWNERDRAW, b.x, b.y,
            b.width, b.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id())),
            ThisModule(), nullptr);
        return Attach(hwnd, true);
    }

    void SetPicture(Image strip, ButtonFrames frames, bool magentaTransparent) override {
        frames_ = frames;
        strip_ = std::move(strip);
        if (magentaTransparent && !strip_.Empty()) {
            // Magenta turned into clear pixels once, so drawing is a plain alpha blend.
            std::vector<Argb> pixels;
            pixels.reserve(static_cast<size_t>(strip_.Width()) * strip_.Height());
            for (int32_t y = 0; y < strip_.Height(); ++y) {
                for (int32_t x = 0; x < strip_.Width(); ++x) {
                    const Argb p = strip_.PixelAt(x, y);
                    pixels.push_back(IsMagenta(p) ? 0 : p);
                }
            }
            Image clear;
            if (clear.Assign(strip_.Width(), strip_.Height(), pixels.data())) {
                strip_ = std::move(clear);
            }
        }
        Invalidate();
    }
    void SetEnabled(bool enabled) override {
        if (Handle() != nullptr) {
            EnableWindow(Handle(), enabled ? TRUE : FALSE);
            Invalidate();
        }
    }
    bool IsEnabled() const override { return Handle() != nullptr && IsWindowEnabled(Handle()); }

protected:
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
        switch (message) {
            case WM_MOUSEMOVE:
                if (!hover_) {
                    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 1};
                    hover_ = TrackMouseEvent(&track) != FALSE;
                    InvalidateRect(Handle(), nullptr, FALSE);
                }
                return 0;
            case WM_MOUSELEAVE:
                hover_ = false;
                InvalidateRect(Handle(), nullptr, FALSE);
                return 0;
            case WM_ERASEBKGND:
                handled = true;
                return 1;
            case WM_LBUTTONDBLCLK:
                // The button class makes the second of two quick clicks a double click, which
                // clicks nothing; here it is a press like the first, so each click counts.
                handled = true;
                return DefSubclassProc(Handle(), WM_LBUTTONDOWN, wparam, lparam);
            case kReflectedDrawItem: {
                const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
                if (item != nullptr) {
                    DrawBuffered(Handle(), *item,
                                 [&](HDC dc, const RECT& r) { DrawFrame(dc, r, item->itemState); });
                }
                handled = true;
                return TRUE;
            }
            default:
                (void)wparam;
                return 0;
        }
    }

private:
    void DrawFrame(HDC dc, const RECT& r, UINT state) const {
        if (strip_.Empty() || frames_.count <= 0) {
            return;
        }
        const int32_t frame = (state & ODS_DISABLED) != 0   ? frames_.disabled
                              : (state & ODS_SELECTED) != 0 ? frames_.pressed
                              : hover_                      ? frames_.hover
                                                            : frames_.normal;
        const int32_t frameWidth = strip_.Width() / frames_.count;
        if (frame < 0 || frame >= frames_.count || frameWidth <= 0) {
            return;
        }
        Canvas canvas(dc);
        canvas.DrawImage(strip_, Rect{r.left, r.top, r.right - r.left, r.bottom - r.top},
                         Rect{frame * frameWidth, 0, frameWidth, strip_.Height()});
    }

    Image strip_;
    ButtonFrames frames_;
    bool hover_ = false;
};

class TextLineWin final : public ChildControl<TextLine> {
public:
    using ChildControl::ChildControl;

    bool Open(HWND parent, HFONT font) {
        const Rect b = ChildControl::Bounds();
        HWND hwnd = CreateWindowExA(
            0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, b.x, b.y, b.width, b.height,
            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id())), ThisModule(), nullptr);
        if (!Attach(hwnd, true)) {
            return false;
        }
        if (font != nullptr) {
            SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        return true;
    }

    void SetText(const std::string& ansiText) override {
        text_ = ansiText;
        if (Handle() != nullptr) {
            SetWindowTextA(Handle(), text_.c_str());
            Invalidate();
        }
    }
    std::string Text() const override { return text_; }
    void SetColour(Argb colour) override {
        colour_ = RGB(RedOf(colour), GreenOf(colour), BlueOf(colour));
        Invalidate();
    }

protected:
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
        (void)wparam;
        if (message == WM_ERASEBKGND) {
            handled = true;
            return 1;
        }
        if (message == kReflectedDrawItem) {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
            if (item != nullptr) {
                DrawBuffered(Handle(), *item, [&](HDC dc, const RECT& r) { DrawLine(dc, r); });
            }
            handled = true;
            return TRUE;
        }
        return 0;
    }

private:
    void DrawLine(HDC dc, RECT r) const {
        auto font = reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0));
        if (font == nullptr) {
            font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        }
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        const COLORREF oldColour = SetTextColor(dc, colour_);
        HGDIOBJ oldFont = SelectObject(dc, font);
        // Single line from the top left (0x20); without DT_NOCLIP it is cut at the edge.
        DrawTextA(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
                  DT_SINGLELINE | DT_LEFT | DT_TOP);
        if (oldFont != nullptr && oldFont != HGDI_ERROR) {
            SelectObject(dc, oldFont);
        }
        SetTextColor(dc, oldColour);
        SetBkMode(dc, oldMode);
    }

    std::string text_;
    COLORREF colour_ = RGB(0, 0, 0);
};

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ERASEBKGND) {
        return 1;  // the hosted control covers it
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

bool RegisterHostClass() {
    static const bool registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = ThisModule();
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.lpszClassName = kHostClass;
        return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

class HostedControlWin final : public ChildControl<HostedControl> {
public:
    using ChildControl::ChildControl;

    bool Open(HWND parent) {
        if (!RegisterHostClass()) {
            return false;
        }
        const Rect b = ChildControl::Bounds();
        HWND hwnd = CreateWindowExA(
            0, kHostClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, b.x, b.y, b.width, b.height,
            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id())), ThisModule(), nullptr);
        return Attach(hwnd, false);
    }

    void* NativeParent() const override { return Handle(); }

protected:
    LRESULT OnMessage(UINT, WPARAM, LPARAM, bool&) override { return 0; }
};

}  // namespace

void InvalidateTransparentChildren(HWND parent) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child) && GetPropA(child, kTransparentTag) != nullptr &&
            SendMessageA(child, WM_TRANSPARENT_QUERY, 0, 0) != 1) {
            InvalidateRect(child, nullptr, TRUE);
        }
    }
}

class TextEntryWin final : public ChildControl<TextEntry> {
public:
    using ChildControl::ChildControl;

    bool Open(HWND parent, HFONT font) {
        const Rect b = ChildControl::Bounds();
        HWND hwnd = CreateWindowExA(
            WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, b.x,
            b.y, b.width, b.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id())),
            ThisModule(), nullptr);
        if (!Attach(hwnd, false)) {
            return false;
        }
        if (font != nullptr) {
            SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        return true;
    }

    std::string Text() const override {
        HWND hwnd = Handle();
        if (hwnd == nullptr) {
            return {};
        }
        const int length = GetWindowTextLengthA(hwnd);
        std::string text(static_cast<size_t>(length) + 1, '\0');
        const int copied = GetWindowTextA(hwnd, text.data(), length + 1);
        text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
        return text;
    }
    void SetText(const std::string& ansiText) override {
        if (Handle() != nullptr) {
            SetWindowTextA(Handle(), ansiText.c_str());
        }
    }
    void Focus() override {
        if (Handle() != nullptr) {
            SetFocus(Handle());
        }
    }

protected:
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM, bool& handled) override {
        // Enter becomes the field's command for its window (and no beep from the edit).
        if (message == WM_KEYDOWN && wparam == VK_RETURN) {
            handled = true;
            PostMessageA(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(Id(), BN_CLICKED),
                         reinterpret_cast<LPARAM>(Handle()));
            return 0;
        }
        if (message == WM_CHAR && wparam == '\r') {
            handled = true;
            return 0;
        }
        return 0;
    }
};

// Makes a control and opens its window with the arguments; null when the window failed.
template <typename Control, typename Interface, typename... OpenArgs>
std::unique_ptr<Interface> Make(int32_t id, Rect bounds, OpenArgs... args) {
    auto control = std::make_unique<Control>(id, bounds);
    if (!control->Open(args...)) {
        return nullptr;
    }
    return control;
}

std::unique_ptr<TextEntry> CreateTextEntry(HWND parent, int32_t id, Rect bounds, HFONT font) {
    return Make<TextEntryWin, TextEntry>(id, bounds, parent, font);
}

std::unique_ptr<PictureButton> CreatePictureButton(HWND parent, int32_t id, Rect bounds) {
    return Make<PictureButtonWin, PictureButton>(id, bounds, parent);
}

std::unique_ptr<TextLine> CreateTextLine(HWND parent, int32_t id, Rect bounds, HFONT font) {
    return Make<TextLineWin, TextLine>(id, bounds, parent, font);
}

std::unique_ptr<HostedControl> CreateHostedControl(HWND parent, int32_t id, Rect bounds) {
    return Make<HostedControlWin, HostedControl>(id, bounds, parent);
}

}  // namespace platform::win32ui
