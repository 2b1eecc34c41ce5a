#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/Files.h"

namespace platform {

namespace {

// Closes the descriptor whatever way the caller leaves.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Opens an existing file for appending or creates it. `created` tells which happened.
int OpenForAppend(const std::string& path, bool& created) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) {
            created = false;
            return fd;
        }
        fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            created = true;
            return fd;
        }
        // Another writer created it between the two opens: open theirs.
    }
    return -1;
}

}  // namespace

bool CreateFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool AppendToFile(const std::string& path, const void* data, std::size_t size) {
    if (data == nullptr && size != 0) {
        return false;
    }
    bool created = false;
    FileDescriptor file(OpenForAppend(path, created));
    if (!file.valid()) {
        return false;
    }
    // A file without any write permission bit counts as read-only, as a file with the
    // read-only attribute does on Windows. The open alone does not decide it: root (which the
    // programs may run as, and CI does) may open any file for writing. A file created just now
    // is ours, whatever the umask gave it.
    if (!created) {
        struct stat info {};
        if (fstat(file.get(), &info) != 0 || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            return false;
        }
    }
    if (size == 0) {
        return true;
    }
    // O_APPEND puts the single write at the end of the file atomically.
    ssize_t written;
    do {
        written = write(file.get(), data, size);
    } while (written < 0 && errno == EINTR);
    return written >= 0 && static_cast<std::size_t>(written) == size;
}

void DebugOutput(const char* text) {
    // Linux has no debugger message channel; standard error is where a developer watching the
    // program (terminal, journal, debugger console) sees such traces, and it keeps them out of
    // any output the program produces. One write per text keeps lines from different threads
    // whole; the line break separates texts, which the debugger's list does on Windows.
    std::string line(text != nullptr ? text : "");
    line += '\n';
    ssize_t written;
    do {
        written = write(STDERR_FILENO, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
}

FolderUpdateLock::FolderUpdateLock(const std::string& folder) : m_handle(-1) {
    // flock belongs to the open file description, so two holders in one process exclude each
    // other as two processes do; closing the descriptor releases it.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    int locked;
    do {
        locked = flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    m_handle = fd;
}

FolderUpdateLock::~FolderUpdateLock() {
    if (m_handle >= 0) {
        close(static_cast<int>(m_handle));
    }
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    struct stat target {};
    if (stat(to.c_str(), &target) == 0) {
        if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            return false;  // read-only, as the append above treats it
        }
        chmod(from.c_str(), target.st_mode & 07777);
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace platform
