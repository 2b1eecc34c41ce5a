#include "natter/ChatLoader.h"

#include "Module.h"
#include "platform/Paths.h"

namespace natter {

std::unique_ptr<ChatLibrary> ChatLibrary::Load() {
    try {
        const std::string folder = platform::ProgramFolder();
        if (folder.empty()) {
            return nullptr;
        }
        return LoadFrom(platform::JoinPath(folder, kChatLibraryName));
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<ChatLibrary> ChatLibrary::LoadFrom(const std::string& path) {
    void* module = nullptr;
    try {
        module = OpenModule(path);
        if (module == nullptr) {
            return nullptr;
        }
        void* create = FindExport(module, kCreateClientChatExport);
        if (create == nullptr) {
            CloseModule(module);
            return nullptr;
        }
        std::unique_ptr<ChatLibrary> library(
            new ChatLibrary(module, reinterpret_cast<CreateClientChatFn>(create)));
        return library;
    } catch (...) {
        if (module != nullptr) {
            CloseModule(module);
        }
        return nullptr;
    }
}

ChatLibrary::ChatLibrary(void* module, CreateClientChatFn create)
    : m_module(module), m_create(create) {}

ChatLibrary::~ChatLibrary() {
    // The chats' code lives in the module: they go first.
    m_chats.clear();
    CloseModule(m_module);
}

IClientChat* ChatLibrary::CreateClientChat(platform::Window* host) {
    try {
        m_chats.reserve(m_chats.size() + 1);  // so that keeping the chat cannot throw
    } catch (...) {
        return nullptr;
    }
    IClientChat* chat = m_create(host);
    if (chat != nullptr) {
        m_chats.emplace_back(chat);
    }
    return chat;
}

}  // namespace natter
