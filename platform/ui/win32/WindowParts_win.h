// What the window and its child controls share on Windows: the transparent-background messages,
// the child factories and an off-screen surface to paint through.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "../../win32/MemorySurface_win.h"
#include "platform/Window.h"

namespace platform::win32ui {

// The module that holds this code. Window classes are registered for it, not for the program:
// a plug-in library with its own copy of the window layer (the chat) must register and use its
// own classes, or it would take over the program's class and leave it dangling once unloaded.
inline HINSTANCE ThisModule() {
    static const HINSTANCE module = [] {
        HMODULE handle = nullptr;
        GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&ThisModule), &handle);
        return handle;
    }();
    return module;
}

// A tagged child asks its parent to paint the background under it: wparam the child's device
// context, lparam the child's window. Nonzero when the parent painted.
inline constexpr UINT WM_TRANSPARENT_BK = 0x7FD;
// The parent asks a tagged child before invalidating it; 1 keeps it from being invalidated.
inline constexpr UINT WM_TRANSPARENT_QUERY = 0x1095;
// WM_DRAWITEM handed back by the parent to the child that is to be drawn (the reflected form
// of the message), so that each control draws itself whoever its parent is.
inline constexpr UINT kReflectedDrawItem = 0x2000 + WM_DRAWITEM;
// The window property marking a child that paints over its parent's surface; its value is the
// child's own window handle.
inline constexpr char kTransparentTag[] = "###tranparentctrl_tag###";

// The window property of a hosted control's place that holds the in-place active object inside
// it (an IOleInPlaceActiveObject*, counted by the place's container while it is set).
inline constexpr char kActiveObjectProperty[] = "LobbyActiveObject";

// Offers a key message to the active object of the hosted control it is meant for, as a
// container must before dispatching; true when the object used the key up.
bool TranslateKeyForHostedObject(MSG& msg);

// Invalidates, with erasing, every visible tagged direct child of `parent` that does not answer
// WM_TRANSPARENT_QUERY with 1.
void InvalidateTransparentChildren(HWND parent);

std::unique_ptr<PictureButton> CreatePictureButton(HWND parent, int32_t id, Rect bounds);
std::unique_ptr<TextLine> CreateTextLine(HWND parent, int32_t id, Rect bounds, HFONT font);
std::unique_ptr<HostedControl> CreateHostedControl(HWND parent, int32_t id, Rect bounds);
std::unique_ptr<TextEntry> CreateTextEntry(HWND parent, int32_t id, Rect bounds, HFONT font);

// Painting without flicker goes through platform::MemorySurface
// (platform/win32/MemorySurface_win.h).
using platform::MemorySurface;

}  // namespace platform::win32ui
