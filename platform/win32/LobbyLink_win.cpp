// The lobby link through the lobby's top-level window and window messages.
#include <windows.h>

#include "platform/LobbyLink.h"
#include "platform/LobbyWire.h"

namespace platform {

std::string LobbySocketPath() {
    return std::string();
}

struct LobbyWindow::Impl {
    HWND window = nullptr;
};

LobbyWindow::LobbyWindow() noexcept = default;
LobbyWindow::~LobbyWindow() = default;
LobbyWindow::LobbyWindow(LobbyWindow&& other) noexcept = default;
LobbyWindow& LobbyWindow::operator=(LobbyWindow&& other) noexcept = default;
LobbyWindow::LobbyWindow(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}

LobbyWindow LobbyWindow::Find() {
    HWND window = FindWindowA(kLobbyWindowClass, nullptr);
    if (window == nullptr) {
        return LobbyWindow();
    }
    auto impl = std::make_unique<Impl>();
    impl->window = window;
    return LobbyWindow(std::move(impl));
}

bool LobbyWindow::Exists() {
    return FindWindowA(kLobbyWindowClass, nullptr) != nullptr;
}

bool LobbyWindow::Post(std::uint32_t message, std::uint64_t wparam, std::int64_t lparam) {
    if (!impl_) {
        return false;
    }
    return PostMessageA(impl_->window, message, static_cast<WPARAM>(wparam),
                        static_cast<LPARAM>(lparam)) != FALSE;
}

std::optional<std::int64_t> LobbyWindow::Send(std::uint32_t message, std::uint64_t wparam,
                                              std::int64_t lparam,
                                              std::chrono::milliseconds timeout) {
    if (!impl_) {
        return std::nullopt;
    }
    const auto count = timeout.count();
    const UINT limit =
        count <= 0 ? 1u : (count > 0x7FFFFFFF ? 0x7FFFFFFFu : static_cast<UINT>(count));
    DWORD_PTR result = 0;
    // SendMessageA would wait for a lobby that stopped handling messages without end.
    if (SendMessageTimeoutA(impl_->window, message, static_cast<WPARAM>(wparam),
                            static_cast<LPARAM>(lparam), SMTO_NORMAL, limit, &result) == 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(static_cast<LRESULT>(result));
}

bool LobbyWindow::Show(std::int32_t command) {
    if (!impl_ || IsWindow(impl_->window) == FALSE) {
        return false;
    }
    // ShowWindow's result is the window's earlier visibility, not success.
    ShowWindow(impl_->window, command);
    return true;
}

void LobbyWindow::Reset() noexcept {
    impl_.reset();
}

}  // namespace platform
