// Programs through CreateProcess, the screen through the window manager's own calls. Under
// Wine these reach the Wine windows on the X display the tests run on.
#include <windows.h>
// after windows.h, whose types it uses
#include <tlhelp32.h>

#include <algorithm>
#include <thread>

#include "Desktop.h"
#include "platform/Paths.h"

namespace dravel::proc {

namespace {

using namespace std::chrono_literals;

std::wstring Wide(const std::string& utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

struct Search {
    DWORD pid = 0;
    std::wstring title;
    const wchar_t* className = nullptr;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    Search& search = *reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.pid || !IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    if (search.title != text) {
        return TRUE;
    }
    if (search.className != nullptr) {
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (lstrcmpW(name, search.className) != 0) {
            return TRUE;
        }
    }
    search.found = window;
    return FALSE;
}

HWND FindTopLevel(unsigned long pid, const std::string& title, const wchar_t* className) {
    Search search;
    search.pid = static_cast<DWORD>(pid);
    search.title = Wide(title);
    search.className = className;
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

bool DesktopAvailable(std::string& why) {
    if (GetDesktopWindow() == nullptr || GetSystemMetrics(SM_CXSCREEN) <= 0) {
        why = "no desktop to show windows on";
        return false;
    }
    return true;
}

std::optional<WindowSpot> ProgramWindowNow(unsigned long pid, const std::string& title) {
    if (HWND window = FindTopLevel(pid, title, nullptr)) {
        RECT bounds{};
        if (GetWindowRect(window, &bounds)) {
            return WindowSpot{reinterpret_cast<long long>(window), bounds.left, bounds.top};
        }
    }
    return std::nullopt;
}

bool ClickAt(const WindowSpot& window, int x, int y) {
    if (!SetCursorPos(window.x + x, window.y + y)) {
        return false;
    }
    std::this_thread::sleep_for(50ms);
    INPUT presses[2] = {};
    presses[0].type = INPUT_MOUSE;
    presses[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    presses[1].type = INPUT_MOUSE;
    presses[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, presses, sizeof(INPUT)) == 2;
}

std::vector<long long> MessageBoxesOf(unsigned long pid, const std::string& caption) {
    if (HWND box = FindTopLevel(pid, caption, L"#32770")) {
        return {static_cast<long long>(reinterpret_cast<INT_PTR>(box))};
    }
    return {};
}

void PressDefaultButton(long long box) {
    // The box's OK button, as a click on it would deliver it.
    PostMessageW(reinterpret_cast<HWND>(static_cast<INT_PTR>(box)), WM_COMMAND,
                 MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void EndProcessesIn(const std::string& folder) {
    std::string prefix = folder;
    if (prefix.empty()) {
        return;
    }
    if (prefix.back() != '\\') {
        prefix += '\\';
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            continue;
        }
        HANDLE process =
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                        entry.th32ProcessID);
        if (process == nullptr) {
            continue;
        }
        char path[MAX_PATH * 2] = {};
        DWORD size = sizeof path;
        if (QueryFullProcessImageNameA(process, 0, path, &size) &&
            CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path,
                           static_cast<int>(std::min<std::size_t>(size, prefix.size())),
                           prefix.c_str(), static_cast<int>(prefix.size())) == CSTR_EQUAL) {
            TerminateProcess(process, 255);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

// Windows finds the lobby by its window class, one per window station: the tests that start a
// lobby take a lock instead.
void UsePrivateLobbyFolder(const std::string&) {}

std::string TestProgramFolder() {
    return platform::ProgramFolder();
}

std::string ProgramFile(const std::string& stem) {
    return stem + ".exe";
}

}  // namespace dravel::proc
