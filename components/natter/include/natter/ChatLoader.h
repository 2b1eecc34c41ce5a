// How the game host finds the chat plug-in: loads Natter from the program's folder at run time
// and makes its chat objects. A missing or unusable plug-in only means no chat, so every
// failure is a quiet null.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "natter/ClientChat.h"

namespace natter {

// The plug-in's file name beside the program.
#if defined(_WIN32)
inline constexpr char kChatLibraryName[] = "Natter.dll";
#else
inline constexpr char kChatLibraryName[] = "libNatter.so";
#endif

class ChatLibrary {
public:
    // Natter from the running program's folder. Null when it is missing, cannot be loaded or
    // does not export CreateClientChat.
    static std::unique_ptr<ChatLibrary> Load();
    // The same for the library at `path` (ANSI).
    static std::unique_ptr<ChatLibrary> LoadFrom(const std::string& path);

    // Deletes the chats made here, then unloads the library.
    ~ChatLibrary();
    ChatLibrary(const ChatLibrary&) = delete;
    ChatLibrary& operator=(const ChatLibrary&) = delete;

    // Calls the plug-in's CreateClientChat. The chat belongs to this object and lives until
    // it goes; null when the plug-in made none.
    IClientChat* CreateClientChat(platform::Window* host);

private:
    ChatLibrary(void* module, CreateClientChatFn create);

    void* m_module;
    CreateClientChatFn m_create;
    std::vector<std::unique_ptr<IClientChat>> m_chats;
};

}  // namespace natter
