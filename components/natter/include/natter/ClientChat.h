// The chat plug-in's interface, shared by the plug-in (Natter) and the game host that loads it.
//
// The host loads Natter at run time (see natter/ChatLoader.h), finds the C function
// "CreateClientChat" and calls it once with its main window:
//
//     extern "C" IClientChat* CreateClientChat(platform::Window* host);
//
// It returns the chat object, or null when no chat window could be made; nothing is thrown.
// The chat is a small borderless window without a taskbar button, owned by `host` (which may
// be null), hidden until ShowChat. It and the host share one thread: every call below is made
// on the window thread. The object is deleted through its virtual destructor, before the
// library is unloaded and before the host window goes (ChatLibrary sees to the first).
#pragma once

#include <cstdint>

#include "natter/NatterApi.h"
#include "platform/Image.h"

namespace platform {
class Window;
}

class IClientChat {
public:
    virtual ~IClientChat() = default;

    // Takes the chat away (hides its window); the object stays, ready for ShowChat.
    virtual void HideChat() = 0;
    virtual bool IsChatVisible() const = 0;
    // Opens the chat for the player in the login record: `record` points to `length` bytes,
    // which must be exactly 96 in the host's layout (little-endian: ChatId at 0, zero at 4,
    // UserID at 8, Password at 12 (33 bytes), ChatName at 45 (32 bytes), zero at 77,
    // SystemVer at 80, ComputerID at 84, 88 and 92; texts ANSI and zero-terminated). Any
    // other length, or a null record, is refused: false, and nothing changes.
    virtual bool ShowChat(const void* record, int length) = 0;
    // Places the chat window (screen coordinates) without showing it or changing its
    // z-order; the host docks it to its right edge this way, whether it is shown or not.
    // Until the first MoveChat the chat docks itself to the host's right edge when shown.
    virtual void MoveChat(platform::Rect bounds) = 0;
    // The chat's window, for its handle and bounds; it lives as long as the chat object.
    virtual platform::Window* GetChatWindow() const = 0;
    // The player's name the chat shows (ANSI); "" before the first ShowChat.
    virtual const char* GetChatName() const = 0;
    // The conversation the chat keeps while the program runs, oldest line first (ANSI): what
    // the player typed, each line "<name>：<text>". Without a server it stays on this machine.
    virtual int GetConversationSize() const = 0;
    virtual const char* GetConversationLine(int index) const = 0;
};

// The chat's width next to the host; its height is the host's.
inline constexpr int32_t kClientChatWidth = 236;

using CreateClientChatFn = IClientChat* (*)(platform::Window* host);
inline constexpr char kCreateClientChatExport[] = "CreateClientChat";

// Exported by the plug-in itself; the host finds it at run time instead of linking it.
extern "C" NATTER_API IClientChat* CreateClientChat(platform::Window* host);
