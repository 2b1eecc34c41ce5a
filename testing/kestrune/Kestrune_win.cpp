// The lobby stand-in on Windows: a top-level window of the lobby's class that records the
// private messages it receives and the times it is shown or hidden.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "KestruneOptions.h"
#include "platform/LobbyWire.h"
#include "platform/Paths.h"

namespace {

constexpr UINT_PTR kExitTimer = 1;
// Asks the window to hide itself again after it was shown, so the next ShowWindow from a
// program changes its visibility and reaches it as WM_SHOWWINDOW as well.
constexpr UINT kHideAgain = WM_APP + 1;
// The private message range a program may send to the lobby.
constexpr UINT kLastPrivateMessage = 0x7FFF;

struct Lobby {
    kestrune::Options options;
    std::string record;
    std::optional<ULONGLONG> deadline;  // GetTickCount64 value at which to end
    bool hidingItself = false;
};

// Never returns: a lobby that hangs in the middle of a sent message, until it is killed or
// its time is up.
[[noreturn]] void Hang(const Lobby& lobby) {
    while (!lobby.deadline || GetTickCount64() < *lobby.deadline) {
        Sleep(20);
    }
    ExitProcess(0);
}

LRESULT CALLBACK LobbyProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* lobby = reinterpret_cast<Lobby*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (lobby == nullptr) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    if (message >= WM_USER && message <= kLastPrivateMessage) {
        const bool sent = InSendMessage() != FALSE;
        const auto line = sent ? platform::LobbySend(message, wparam, lparam)
                               : platform::LobbyPost(message, wparam, lparam);
        kestrune::AppendRecord(lobby->record, platform::FormatLobbyLine(line));
        if (sent) {
            switch (lobby->options.onSend) {
                case kestrune::OnSend::Answer:
                    break;
                case kestrune::OnSend::Ignore:
                    Hang(*lobby);
                case kestrune::OnSend::Quit:
                    ExitProcess(0);
            }
        }
        return static_cast<LRESULT>(lobby->options.answer);
    }
    switch (message) {
        case WM_SHOWWINDOW:
            // lparam 0: ShowWindow was called on this window (not an owner's minimise).
            if (!lobby->hidingItself && lparam == 0) {
                kestrune::AppendRecord(lobby->record, platform::FormatLobbyLine(platform::LobbyShow(
                                                          wparam != FALSE ? SW_SHOW : SW_HIDE)));
                if (wparam != FALSE) {
                    PostMessageA(window, kHideAgain, 0, 0);
                }
            }
            break;
        case kHideAgain:
            lobby->hidingItself = true;
            ShowWindow(window, SW_HIDE);
            lobby->hidingItself = false;
            return 0;
        case WM_TIMER:
            if (wparam == kExitTimer) {
                DestroyWindow(window);
                return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int Run(Lobby& lobby) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = LobbyProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = platform::kLobbyWindowClass;
    if (RegisterClassA(&windowClass) == 0) {
        return 1;
    }
    // Hidden at first: a program brings the lobby back with ShowWindow, and only a change of
    // visibility reaches the window.
    HWND window = CreateWindowExA(0, platform::kLobbyWindowClass, "Kestrune", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&lobby));
    if (lobby.options.exitAfterMs) {
        const long ms = *lobby.options.exitAfterMs;
        lobby.deadline = GetTickCount64() + static_cast<ULONGLONG>(ms);
        SetTimer(window, kExitTimer, ms == 0 ? 1u : static_cast<UINT>(ms), nullptr);
    }
    if (!kestrune::AppendRecord(lobby.record, kestrune::StartLine(lobby.options.arguments))) {
        DestroyWindow(window);
        return 1;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        kestrune::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "Kestrune: %s\n", error.c_str());
        return 2;
    }
    Lobby lobby;
    lobby.options = *options;
    lobby.record = options->record.empty()
                       ? platform::JoinPath(platform::ProgramFolder(), "Kestrune.log")
                       : options->record;
    return Run(lobby);
}
