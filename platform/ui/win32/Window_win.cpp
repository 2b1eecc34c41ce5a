// Windows of the programs on Win32: WS_POPUP windows of one class of ours, painted through an
// off-screen DC, with a message loop of their own so that keys are seen before any control.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <windowsx.h>

#include <atomic>
#include <exception>
#include <string>
#include <vector>

#include "WindowParts_win.h"
#include "platform/Window.h"

namespace platform {

namespace {

using win32ui::WM_TRANSPARENT_BK;
using win32ui::WM_TRANSPARENT_QUERY;

constexpr char kWindowClass[] = "PlatformWindow";
constexpr WORD kIconResource = 128;
// Window messages that OnPosted receives: the private and application ranges.
constexpr UINT kLastPostedMessage = 0xBFFF;

bool IsPostable(UINT message) {
    return message >= kFirstUserMessage && message <= kLastPostedMessage &&
           message != WM_TRANSPARENT_BK && message != WM_TRANSPARENT_QUERY;
}

Key KeyFromVirtualKey(WPARAM key) {
    switch (key) {
        case VK_RETURN:
            return Key::kEnter;
        case VK_ESCAPE:
            return Key::kEscape;
        case VK_SPACE:
            return Key::kSpace;
        default:
            return Key::kOther;
    }
}

// Runs one handler call; nothing may unwind into the system's dispatch of a message.
template <typename Call>
void Guarded(Call&& call) noexcept {
    try {
        call();
    } catch (...) {
    }
}

// The font of the text lines: 9 point SimSun, as the programs' dialogs have it.
class Font {
public:
    Font() {
        HDC screen = GetDC(nullptr);
        const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen != nullptr) {
            ReleaseDC(nullptr, screen);
        }
        font_ = CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"SimSun");
    }
    ~Font() {
        if (font_ != nullptr) {
            DeleteObject(font_);
        }
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    HFONT get() const { return font_; }

private:
    HFONT font_ = nullptr;
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// A class stays registered after the library that registered it is unloaded, with a window
// procedure that is gone; so a library's copy of this layer takes its class with it.
struct ClassRegistration {
    ATOM atom = 0;
    ~ClassRegistration() {
        if (atom != 0) {
            UnregisterClassA(MAKEINTATOM(atom), win32ui::ThisModule());
        }
    }
};

ATOM WindowClassAtom() {
    static const ClassRegistration registration{[] {
        HINSTANCE instance = win32ui::ThisModule();
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = 0;  // no double clicks: two quick clicks are two clicks
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        // The programs' resources carry icon 128; a program without it gets the default.
        windowClass.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kIconResource));
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.hbrBackground = nullptr;
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExA(&windowClass);
    }()};
    return registration.atom;
}

// Asks a top-level window whether its handler takes a key before the key is dispatched: wparam
// the virtual key; kKeyTaken when taken. A message, not a call, because the root may be a window
// of another module's copy of this layer (the chat plug-in's), whose objects only its own code
// may touch; a window that does not know the message answers 0.
UINT KeyBeforeDispatchMessage() {
    static const UINT message = RegisterWindowMessageA("PlatformWindowKeyBeforeDispatch");
    return message;
}
constexpr LRESULT kKeyTaken = 1;

// Keeps the owner disabled while a window runs modally.
class OwnerDisabled {
public:
    explicit OwnerDisabled(HWND owner) {
        if (owner != nullptr && IsWindow(owner) && IsWindowEnabled(owner)) {
            owner_ = owner;
            EnableWindow(owner_, FALSE);
        }
    }
    ~OwnerDisabled() {
        if (owner_ != nullptr && IsWindow(owner_)) {
            EnableWindow(owner_, TRUE);
        }
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;

private:
    HWND owner_ = nullptr;
};

class WindowWin final : public Window {
public:
    explicit WindowWin(WindowHandler& handler) : handler_(handler) {}

    ~WindowWin() override {
        HWND hwnd = hwnd_.load();
        if (hwnd != nullptr) {
            destroying_ = true;
            DestroyWindow(hwnd);
        }
    }
    WindowWin(const WindowWin&) = delete;
    WindowWin& operator=(const WindowWin&) = delete;

    bool Open(const WindowOptions& options) {
        const ATOM atom = WindowClassAtom();
        if (atom == 0) {
            return false;
        }
        owner_ =
            options.owner != nullptr ? static_cast<HWND>(options.owner->NativeHandle()) : nullptr;
        title_ = options.title;
        const DWORD style = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        const DWORD exStyle = options.taskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
        HWND hwnd = CreateWindowExA(exStyle, kWindowClass, title_.c_str(), style, 0, 0,
                                    options.width > 0 ? options.width : 0,
                                    options.height > 0 ? options.height : 0, owner_, nullptr,
                                    win32ui::ThisModule(), this);
        return hwnd != nullptr;
    }

    void SetTitle(const std::string& ansiTitle) override {
        title_ = ansiTitle;
        if (HWND hwnd = hwnd_.load()) {
            SetWindowTextA(hwnd, title_.c_str());
        }
    }
    std::string Title() const override { return title_; }

    void SetBounds(Rect bounds) override {
        if (HWND hwnd = hwnd_.load()) {
            MoveWindow(hwnd, bounds.x, bounds.y, bounds.width, bounds.height, TRUE);
        }
    }
    Rect Bounds() const override {
        RECT r;
        HWND hwnd = hwnd_.load();
        if (hwnd == nullptr || !GetWindowRect(hwnd, &r)) {
            return Rect{};
        }
        return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    void CenterOnScreen() override {
        HWND hwnd = hwnd_.load();
        if (hwnd == nullptr) {
            return;
        }
        // The whole screen, as ScreenBounds tells it, so that both platforms agree.
        const Rect screen = ScreenBounds();
        const Rect b = Bounds();
        const int x = screen.x + (screen.width - b.width) / 2;
        const int y = screen.y + (screen.height - b.height) / 2;
        SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void Show() override { ShowCommand(SW_SHOW); }
    void Hide() override { ShowCommand(SW_HIDE); }
    void Minimise() override { ShowCommand(SW_MINIMIZE); }
    void Restore() override { ShowCommand(SW_RESTORE); }
    bool IsVisible() const override {
        HWND hwnd = hwnd_.load();
        return hwnd != nullptr && IsWindowVisible(hwnd);
    }
    bool IsMinimised() const override {
        HWND hwnd = hwnd_.load();
        return hwnd != nullptr && IsIconic(hwnd);
    }
    void SetTopmost() override {
        if (HWND hwnd = hwnd_.load()) {
            SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
    }
    void Invalidate() override {
        if (HWND hwnd = hwnd_.load()) {
            InvalidateRect(hwnd, nullptr, FALSE);
            win32ui::InvalidateTransparentChildren(hwnd);
        }
    }

    void BeginDrag() override {
        HWND hwnd = hwnd_.load();
        if (hwnd == nullptr || !inLeftButtonDown_) {
            return;
        }
        POINT cursor;
        if (!GetCursorPos(&cursor)) {
            return;
        }
        // The system's own move loop starts as if the caption had been pressed.
        ReleaseCapture();
        PostMessageA(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(cursor.x, cursor.y));
    }

    bool Post(uint32_t message, uint64_t wparam, int64_t lparam) override {
        HWND hwnd = hwnd_.load();
        return hwnd != nullptr && IsPostable(message) &&
               PostMessageA(hwnd, message, static_cast<WPARAM>(wparam),
                            static_cast<LPARAM>(lparam)) != FALSE;
    }
    void PostClose() override {
        if (HWND hwnd = hwnd_.load()) {
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        }
    }

    void SetTimer(uint32_t id, uint32_t periodMs) override {
        if (HWND hwnd = hwnd_.load()) {
            ::SetTimer(hwnd, id, periodMs, nullptr);
        }
    }
    void KillTimer(uint32_t id) override {
        if (HWND hwnd = hwnd_.load()) {
            ::KillTimer(hwnd, id);
        }
    }

    int32_t RunModal() override {
        HWND hwnd = hwnd_.load();
        if (hwnd == nullptr) {
            return 0;
        }
        modalEnded_ = false;
        modalResult_ = 0;
        OwnerDisabled ownerDisabled(owner_);
        ShowWindow(hwnd, SW_SHOW);
        MSG msg;
        while (!modalEnded_ && hwnd_.load() != nullptr) {
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                // The program is ending: leave the quit for the loops further out.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (got == -1) {
                break;
            }
            // Keys go to the window first; no dialog handling, so Enter and Escape close
            // nothing by themselves.
            if (KeyUsedBeforeDispatch(msg)) {
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return modalResult_;
    }
    void EndModal(int32_t result) override {
        modalResult_ = result;
        modalEnded_ = true;
        if (HWND hwnd = hwnd_.load()) {
            PostMessageA(hwnd, WM_NULL, 0, 0);  // wakes the loop if it waits
        }
    }

    PictureButton* AddButton(int32_t id, Rect bounds) override {
        return Keep(win32ui::CreatePictureButton(hwnd_.load(), id, bounds));
    }
    TextLine* AddTextLine(int32_t id, Rect bounds) override {
        return Keep(win32ui::CreateTextLine(hwnd_.load(), id, bounds, font_.get()));
    }
    HostedControl* AddHostedControl(int32_t id, Rect bounds) override {
        return Keep(win32ui::CreateHostedControl(hwnd_.load(), id, bounds));
    }
    TextEntry* AddTextEntry(int32_t id, Rect bounds) override {
        return Keep(win32ui::CreateTextEntry(hwnd_.load(), id, bounds, font_.get()));
    }

    void* NativeHandle() const override { return hwnd_.load(); }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
            auto* self = static_cast<WindowWin*>(create->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<WindowWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self == nullptr) {
            return DefWindowProcA(hwnd, message, wparam, lparam);
        }
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            return DefWindowProcA(hwnd, message, wparam, lparam);
        }
        try {
            return self->Handle(hwnd, message, wparam, lparam);
        } catch (...) {
            return 0;
        }
    }

    // A key for this window or one of its children, seen before it is dispatched.
    bool KeyDown(WPARAM virtualKey) {
        bool swallowed = false;
        Guarded([&] { swallowed = handler_.OnKeyDown(KeyFromVirtualKey(virtualKey)); });
        return swallowed;
    }

private:
    template <typename Child>
    Child* Keep(std::unique_ptr<Child> child) {
        Child* raw = child.get();
        if (child) {
            children_.push_back(std::move(child));
        }
        return raw;
    }

    void ShowCommand(int command) {
        if (HWND hwnd = hwnd_.load()) {
            ShowWindow(hwnd, command);
        }
    }

public:
    static bool KeyToWindow(const MSG& msg) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        const UINT ask = KeyBeforeDispatchMessage();
        return root != nullptr && ask != 0 && SendMessageA(root, ask, msg.wParam, 0) == kKeyTaken;
    }
    // The window's own key handling first, then a hosted control's (the page's shortcuts).
    static bool KeyUsedBeforeDispatch(MSG& msg) {
        return (msg.message == WM_KEYDOWN && KeyToWindow(msg)) ||
               win32ui::TranslateKeyForHostedObject(msg);
    }

private:
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (destroying_) {
            return DefWindowProcA(hwnd, message, wparam, lparam);
        }
        if (message == KeyBeforeDispatchMessage() && message != 0) {
            return KeyDown(wparam) ? kKeyTaken : 0;
        }
        switch (message) {
            case WM_PAINT:
                Paint(hwnd);
                return 0;
            case WM_ERASEBKGND:
                return 1;  // everything is painted off-screen
            case WM_TRANSPARENT_BK:
                PaintUnder(hwnd, reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam));
                return 1;
            case WM_DRAWITEM: {
                // Each control draws itself: hand the request back to it.
                const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
                if (item != nullptr && item->hwndItem != nullptr) {
                    return SendMessageA(item->hwndItem, win32ui::kReflectedDrawItem, wparam,
                                        lparam);
                }
                return FALSE;
            }
            case WM_COMMAND:
                // Menu and accelerator commands (no control) and button clicks.
                if (lparam == 0 || HIWORD(wparam) == BN_CLICKED) {
                    const int32_t id = LOWORD(wparam);
                    Guarded([&] { handler_.OnCommand(id); });
                }
                return 0;
            case WM_LBUTTONDOWN: {
                const int32_t x = GET_X_LPARAM(lparam);
                const int32_t y = GET_Y_LPARAM(lparam);
                inLeftButtonDown_ = true;
                Guarded([&] { handler_.OnLeftButtonDown(x, y); });
                inLeftButtonDown_ = false;
                return 0;
            }
            case WM_MOVE:
                if (!IsIconic(hwnd)) {
                    const Rect b = Bounds();
                    Guarded([&] { handler_.OnMoved(b.x, b.y); });
                }
                return 0;
            case WM_SIZE:
                Resized(wparam, LOWORD(lparam), HIWORD(lparam));
                return 0;
            case WM_ACTIVATE:
                if (KeepFocusAcrossActivation(hwnd, wparam)) {
                    return 0;
                }
                break;
            case WM_CLOSE:
                // The handler decides; the window is not destroyed here.
                Guarded([&] { handler_.OnClose(); });
                return 0;
            case WM_TIMER:
                Guarded([&] { handler_.OnTimer(static_cast<uint32_t>(wparam)); });
                return 0;
            case WM_NULL:
                return 0;
            default:
                break;
        }
        if (IsPostable(message)) {
            Guarded([&] {
                handler_.OnPosted(message, static_cast<uint64_t>(wparam),
                                  static_cast<int64_t>(lparam));
            });
            return 0;
        }
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }

    // The system would give the keyboard to the window itself when it is activated again, so
    // typing would reach neither the page nor a field until the player clicked one; a dialog
    // gives it back to the child that had it, and so does this. True when the focus was given.
    bool KeepFocusAcrossActivation(HWND hwnd, WPARAM wparam) {
        if (LOWORD(wparam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            focusWhenLeft_ = focus != nullptr && IsChild(hwnd, focus) ? focus : nullptr;
            return false;
        }
        const bool minimised = HIWORD(wparam) != 0;
        if (minimised || focusWhenLeft_ == nullptr || !IsChild(hwnd, focusWhenLeft_)) {
            return false;
        }
        SetFocus(focusWhenLeft_);
        return true;
    }

    void Resized(WPARAM kind, int32_t width, int32_t height) {
        const bool minimised = kind == SIZE_MINIMIZED;
        if (!minimised) {
            // A minimised window has no size worth telling.
            Guarded([&] { handler_.OnResized(width, height); });
        }
        if (minimised != minimised_) {
            minimised_ = minimised;
            Guarded([&] { handler_.OnMinimisedChanged(minimised); });
        }
    }

    void Paint(HWND hwnd) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc == nullptr) {
            return;
        }
        RECT client;
        GetClientRect(hwnd, &client);
        win32ui::MemorySurface surface(dc, client.right, client.bottom);
        if (surface.Ok()) {
            Canvas canvas(surface.dc());
            Guarded([&] { handler_.OnPaint(canvas); });
            BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                   ps.rcPaint.bottom - ps.rcPaint.top, surface.dc(), ps.rcPaint.left,
                   ps.rcPaint.top, SRCCOPY);
        } else {
            Canvas canvas(dc);
            Guarded([&] { handler_.OnPaint(canvas); });
        }
        EndPaint(hwnd, &ps);
    }

    // Paints the surface into a child's context, moved so that the child's top-left corner
    // gets the surface at the child's position.
    void PaintUnder(HWND hwnd, HWND child, HDC dc) {
        RECT r;
        if (dc == nullptr || child == nullptr || !GetWindowRect(child, &r)) {
            return;
        }
        MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&r), 2);
        POINT old;
        if (!OffsetViewportOrgEx(dc, -r.left, -r.top, &old)) {
            return;
        }
        Canvas canvas(dc);
        Guarded([&] { handler_.OnPaint(canvas); });
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
    }

    WindowHandler& handler_;
    // Read by Post on any thread; cleared when the system destroys the window (an owner that
    // goes takes its owned windows with it).
    std::atomic<HWND> hwnd_{nullptr};
    HWND owner_ = nullptr;
    std::string title_;
    Font font_;
    std::vector<std::unique_ptr<Control>> children_;
    bool inLeftButtonDown_ = false;
    bool modalEnded_ = false;
    int32_t modalResult_ = 0;
    bool minimised_ = false;
    bool destroying_ = false;
    HWND focusWhenLeft_ = nullptr;  // the child that had the keyboard when the window was left
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return WindowWin::Proc(hwnd, message, wparam, lparam);
}

}  // namespace

std::unique_ptr<Window> Window::Create(WindowHandler& handler, const WindowOptions& options) {
    auto window = std::make_unique<WindowWin>(handler);
    if (!window->Open(options)) {
        return nullptr;
    }
    return window;
}

void ShowMessageBox(Window* owner, const std::string& text, const std::string& caption,
                    MessageIconKind icon) {
    UINT flags = MB_OK;
    switch (icon) {
        case MessageIconKind::kInformation:
            flags |= MB_ICONINFORMATION;
            break;
        case MessageIconKind::kWarning:
            flags |= MB_ICONWARNING;
            break;
        case MessageIconKind::kError:
            flags |= MB_ICONERROR;
            break;
        case MessageIconKind::kNone:
            break;
    }
    HWND ownerHandle = owner != nullptr ? static_cast<HWND>(owner->NativeHandle()) : nullptr;
    MessageBoxA(ownerHandle, text.c_str(), caption.c_str(), flags);
}

bool DispatchUiMessage(bool wait) {
    MSG msg;
    if (wait) {
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            return false;
        }
    } else if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    } else if (msg.message == WM_QUIT) {
        // Left for the loop that ends the program, as a modal run leaves it.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    if (WindowWin::KeyUsedBeforeDispatch(msg)) {
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

Rect ScreenBounds() {
    return Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool InitWindowing() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);
    // The browser control needs a single-threaded apartment on the window thread.
    thread_local const bool ole = SUCCEEDED(OleInitialize(nullptr));
    (void)ole;
    return GetDesktopWindow() != nullptr;
}

}  // namespace platform
