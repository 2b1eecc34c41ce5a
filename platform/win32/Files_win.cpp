#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <limits>

#include "platform/Files.h"

namespace platform {

namespace {

// Closes the file handle whatever way the caller leaves.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

}  // namespace

bool CreateFolder(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr) != 0) {
        return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool AppendToFile(const std::string& path, const void* data, std::size_t size) {
    if (size > std::numeric_limits<DWORD>::max() || (data == nullptr && size != 0)) {
        return false;
    }
    // Append access alone makes the system put every write at the current end of the file,
    // even with other writers. A file with the read-only attribute fails to open here.
    FileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return false;
    }
    // Compatibility layers running as a Unix superuser open such a file all the same; the
    // attribute of the opened file decides.
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file.get(), &info) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr);
    return ok != 0 && written == size;
}

void DebugOutput(const char* text) {
    OutputDebugStringA(text != nullptr ? text : "");
}

FolderUpdateLock::FolderUpdateLock(const std::string& folder) : m_handle(-1) {
    // One named mutex per folder: its full path, upper-cased as the file system compares
    // names, hashed into the name (FNV-1a).
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) {
        return;
    }
    const DWORD attributes = GetFileAttributesA(full);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return;
    }
    std::uint64_t hash = 14695981039346656037ull;
    for (DWORD i = 0; i < length; ++i) {
        const char c = full[i] == '/' ? '\\' : full[i];
        hash = (hash ^ static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c)) *
               1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Local\\LobbyFolderUpdate-%016llx",
                  static_cast<unsigned long long>(hash));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) {
        return;
    }
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return;
    }
    m_handle = reinterpret_cast<std::intptr_t>(mutex);
}

FolderUpdateLock::~FolderUpdateLock() {
    if (m_handle != -1) {
        HANDLE mutex = reinterpret_cast<HANDLE>(m_handle);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    // Windows refuses to replace a read-only file, but Wine does not: ask first.
    const DWORD attributes = GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    // The flush makes the move wait for the data, so a crash cannot leave the new name on an
    // empty file.
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace platform
