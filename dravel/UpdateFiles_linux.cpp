#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "UpdateFiles.h"
#include "platform/Files.h"

namespace dravel {

namespace {

std::string ErrorText(int code) {
    char buffer[512];
    // The GNU strerror_r returns its text, which need not be in the buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

// Writes the file's content to the disk; on failure `errorCode` holds the system's code.
bool ForceToDisk(const std::string& path, int& errorCode) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        errorCode = errno;
        return false;
    }
    const bool synced = fdatasync(fd) == 0;
    errorCode = errno;
    close(fd);
    return synced;
}

class StagingFile final : public IStagingFile {
public:
    explicit StagingFile(int fd) : fd_(fd) {}
    ~StagingFile() override {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    bool Write(const void* data, std::size_t size, std::string& error) override {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = write(fd_, bytes, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error = ErrorText(errno);
                return false;
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    bool Commit(std::string& error) override {
        const bool closed = close(fd_) == 0;
        fd_ = -1;
        if (!closed) {
            error = ErrorText(errno);
            return false;
        }
        return true;
    }

private:
    int fd_;
};

class LocalFileSystem final : public IUpdateFileSystem {
public:
    bool Exists(const std::string& path) override {
        struct stat info {};
        return stat(path.c_str(), &info) == 0;
    }

    bool IsFolder(const std::string& path) override {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    bool CreateFolder(const std::string& path) override { return platform::CreateFolder(path); }

    std::unique_ptr<IStagingFile> CreateStagingFile(const std::string& path,
                                                    std::string& error) override {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = ErrorText(errno);
            return nullptr;
        }
        return std::make_unique<StagingFile>(fd);
    }

    bool PutInPlace(const std::string& from, const std::string& to, int& errorCode,
                    std::string& error) override {
        if (Exists(to) && !ForceToDisk(from, errorCode)) {
            error = ErrorText(errorCode);
            return false;
        }
        if (rename(from.c_str(), to.c_str()) != 0) {
            errorCode = errno;
            error = ErrorText(errno);
            return false;
        }
        return true;
    }

    bool MakeDurable(const std::vector<std::string>& paths) override {
        // One file system sync per device writes every file and folder entry on it at once.
        std::vector<dev_t> synced;
        for (const std::string& path : paths) {
            struct stat info {};
            if (stat(path.c_str(), &info) != 0) {
                return false;
            }
            if (std::find(synced.begin(), synced.end(), info.st_dev) != synced.end()) {
                continue;
            }
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                return false;
            }
            const bool ok = syncfs(fd) == 0;
            close(fd);
            if (!ok) {
                return false;
            }
            synced.push_back(info.st_dev);
        }
        return true;
    }

    bool RemoveFile(const std::string& path) override { return unlink(path.c_str()) == 0; }
};

}  // namespace

std::unique_ptr<IUpdateFileSystem> CreateLocalFileSystem() {
    return std::make_unique<LocalFileSystem>();
}

}  // namespace dravel
