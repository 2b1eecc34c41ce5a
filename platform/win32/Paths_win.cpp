#include <windows.h>

#include "platform/Paths.h"

namespace platform {

std::string ProgramFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::string::size_type slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool EnterProgramFolder() {
    std::string folder = ProgramFolder();
    return !folder.empty() && SetCurrentDirectoryA(folder.c_str()) != 0;
}

std::string CurrentFolder() {
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) {
        return {};
    }
    std::string path(needed, '\0');
    DWORD length = GetCurrentDirectoryA(needed, path.data());
    if (length == 0 || length >= needed) {
        return {};
    }
    path.resize(length);
    if (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

// Windows names do not tell case apart, and take either separator.
std::string ResolvePathCase(const std::string& path) {
    return path;
}

struct FolderCaseIndex::Listings {};

FolderCaseIndex::FolderCaseIndex() = default;
FolderCaseIndex::~FolderCaseIndex() = default;

std::string FolderCaseIndex::Resolve(const std::string& path) {
    return path;
}

void FolderCaseIndex::NoteAdded(const std::string& /*path*/) {}

void FolderCaseIndex::NoteRemoved(const std::string& /*path*/) {}

}  // namespace platform
