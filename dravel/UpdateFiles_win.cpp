#include <windows.h>

#include <vector>

#include "UpdateFiles.h"
#include "platform/Files.h"

namespace dravel {

namespace {

std::string ErrorText(DWORD code) {
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// Writes the file's content to the disk; on failure `code` holds the system's code. Whoever
// else has the file open keeps it; one that holds it without sharing writes (a virus scanner
// looking at a new file) usually lets go within a moment, so that is waited for briefly.
bool ForceToDisk(const std::string& path, DWORD& code) {
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 20; ++attempt) {
        file = CreateFileA(path.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        code = GetLastError();
        if (file != INVALID_HANDLE_VALUE || code != ERROR_SHARING_VIOLATION) {
            break;
        }
        Sleep(50);
    }
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const BOOL flushed = FlushFileBuffers(file);
    code = GetLastError();
    CloseHandle(file);
    return flushed != FALSE;
}

class StagingFile final : public IStagingFile {
public:
    explicit StagingFile(HANDLE file) : file_(file) {}
    ~StagingFile() override {
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
        }
    }
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    bool Write(const void* data, std::size_t size, std::string& error) override {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(file_, bytes, chunk, &written, nullptr)) {
                error = ErrorText(GetLastError());
                return false;
            }
            bytes += written;
            size -= written;
        }
        return true;
    }

    bool Commit(std::string& error) override {
        const BOOL closed = CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        if (!closed) {
            error = ErrorText(GetLastError());
            return false;
        }
        return true;
    }

private:
    HANDLE file_;
};

class LocalFileSystem final : public IUpdateFileSystem {
public:
    bool Exists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool IsFolder(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool CreateFolder(const std::string& path) override { return platform::CreateFolder(path); }

    std::unique_ptr<IStagingFile> CreateStagingFile(const std::string& path,
                                                    std::string& error) override {
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = ErrorText(GetLastError());
            return nullptr;
        }
        return std::make_unique<StagingFile>(file);
    }

    bool PutInPlace(const std::string& from, const std::string& to, bool replacing, int& errorCode,
                    std::string& error) override {
        DWORD code = ERROR_SUCCESS;
        if (replacing && !ForceToDisk(from, code)) {
            errorCode = static_cast<int>(code);
            error = ErrorText(code);
            return false;
        }
        // Same folder, so the move is a rename of the directory entry, never a copy that a
        // crash could cut short; WRITE_THROUGH returns only once the rename is on the disk.
        if (!MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            code = GetLastError();
            errorCode = static_cast<int>(code);
            error = ErrorText(code);
            return false;
        }
        return true;
    }

    bool MakeDurable(const std::vector<std::string>& paths) override {
        DWORD ignored = ERROR_SUCCESS;
        for (const std::string& path : paths) {
            if (!ForceToDisk(path, ignored)) {
                return false;
            }
        }
        return true;
    }

    bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }
};

}  // namespace

std::unique_ptr<IUpdateFileSystem> CreateLocalFileSystem() {
    return std::make_unique<LocalFileSystem>();
}

}  // namespace dravel
