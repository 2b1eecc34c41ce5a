#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "UpdateFiles.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace dravel {

namespace {

std::string ErrorText(int code) {
    char buffer[512];
    // The GNU strerror_r returns its text, which need not be in the buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
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

// Opens the staging file for writing, empty, locked against every other updater that would write
// the same file (two manifests may list it, and their updaters run side by side). -1 with
// `error` set when that fails.
int OpenStagingFile(const std::string& path, std::string& error) {
    // Not truncated before the lock is held: the bytes may be another updater's.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = ErrorText(errno);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = ErrorText(errno == EWOULDBLOCK ? ETXTBSY : errno);
        close(fd);
        return -1;
    }
    // The file opened may have been moved into place by the updater that held it, between
    // our open and our lock; what now sits at the path is another file.
    struct stat opened {};
    struct stat atPath {};
    if (fstat(fd, &opened) != 0 || stat(path.c_str(), &atPath) != 0 ||
        opened.st_ino != atPath.st_ino || opened.st_dev != atPath.st_dev) {
        error = ErrorText(ETXTBSY);
        close(fd);
        return -1;
    }
    if (ftruncate(fd, 0) != 0) {
        error = ErrorText(errno);
        close(fd);
        return -1;
    }
    return fd;
}

// Whether a file starts as a program does (a binary or a script), so that a new one arrives
// runnable; the manifest carries no permissions.
bool LooksRunnable(int fd) {
    char head[4] = {};
    const ssize_t got = pread(fd, head, sizeof head, 0);
    return (got == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') ||
           (got >= 2 && head[0] == '#' && head[1] == '!');
}

// Gives the staged file the permissions it is to have once at `to`: those of the file it
// replaces (an update must not turn a program into a file that cannot start), or, for a new
// file, runnable when it is a program.
bool TakeOverPermissions(int staged, const std::string& to) {
    struct stat own {};
    struct stat installed {};
    if (fstat(staged, &own) != 0) {
        return false;
    }
    mode_t mode = own.st_mode & 07777;
    if (stat(to.c_str(), &installed) == 0) {
        mode = installed.st_mode & 07777;
    } else if (LooksRunnable(staged)) {
        mode |= (mode & 0444) >> 2;  // run where it may be read
    }
    return mode == (own.st_mode & 07777) || fchmod(staged, mode) == 0;
}

// Readies a staged file for its place in one opening: its permissions and, when it replaces an
// installed file, its content on the disk. On failure `errorCode` holds the system's code.
bool ReadyForPlace(const std::string& from, const std::string& to, bool replacing, int& errorCode) {
    const int fd = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        errorCode = errno;
        return false;
    }
    const bool ready = TakeOverPermissions(fd, to) && (!replacing || fdatasync(fd) == 0);
    errorCode = errno;
    close(fd);
    return ready;
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
    std::string ExistingSpelling(const std::string& path) override {
        // Only ASCII names are matched: in a GBK name a second byte may be an ASCII letter, and
        // matching it without regard to case would take another character's file.
        const bool ascii = std::all_of(path.begin(), path.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        return ascii ? names_.Resolve(path) : path;
    }

    bool Exists(const std::string& path) override {
        struct stat info {};
        return stat(path.c_str(), &info) == 0;
    }

    bool IsFolder(const std::string& path) override {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    bool CreateFolder(const std::string& path) override {
        const bool exists = platform::CreateFolder(path);
        if (exists) {
            names_.NoteAdded(path);
        }
        return exists;
    }

    std::unique_ptr<IStagingFile> CreateStagingFile(const std::string& path,
                                                    std::string& error) override {
        const int fd = OpenStagingFile(path, error);
        if (fd < 0) {
            return nullptr;
        }
        names_.NoteAdded(path);
        return std::make_unique<StagingFile>(fd);
    }

    bool PutInPlace(const std::string& from, const std::string& to, bool replacing, int& errorCode,
                    std::string& error) override {
        if (!ReadyForPlace(from, to, replacing, errorCode)) {
            error = ErrorText(errorCode);
            return false;
        }
        if (rename(from.c_str(), to.c_str()) != 0) {
            errorCode = errno;
            error = ErrorText(errno);
            return false;
        }
        names_.NoteRemoved(from);
        names_.NoteAdded(to);
        return true;
    }

    bool MakeDurable(const std::vector<std::string>& paths) override {
        // Not a sync of the whole file system: that would wait for whatever else is writing to
        // it. Writing starts for every file first, so the disk works on them together and the
        // syncs that follow mostly find their file written and its journal entry committed.
        for (const std::string& path : paths) {
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                return false;
            }
            sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);  // a hint; the sync below decides
            close(fd);
        }
        std::vector<std::string> folders;
        int ignored = 0;
        for (const std::string& path : paths) {
            if (!ForceToDisk(path, ignored)) {
                return false;
            }
            std::string folder = FolderOf(path);
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
                folders.push_back(std::move(folder));
            }
        }
        // The new names: each folder's entries.
        for (const std::string& folder : folders) {
            const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) {
                return false;
            }
            const bool synced = fsync(fd) == 0;
            close(fd);
            if (!synced) {
                return false;
            }
        }
        return true;
    }

    bool RemoveFile(const std::string& path) override {
        if (unlink(path.c_str()) != 0) {
            return false;
        }
        names_.NoteRemoved(path);
        return true;
    }

private:
    // The folders' names as this run has seen and changed them: reading a folder of thousands
    // of files once for every new file would cost the square of their number.
    platform::FolderCaseIndex names_;
};

}  // namespace

std::unique_ptr<IUpdateFileSystem> CreateLocalFileSystem() {
    return std::make_unique<LocalFileSystem>();
}

}  // namespace dravel
