// File services of the platform: folders, appending writes and the debugger output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Creates one folder (not its parents). True when the folder exists afterwards, whether it
// was made now or was there before.
bool CreateFolder(const std::string& path);

// Appends `size` bytes to the file at `path` with a single write call, so that writers in
// other threads or processes cannot interleave inside the bytes. The file is created when
// missing; existing content is kept. A read-only file is refused and left untouched. True
// only when every byte was written.
bool AppendToFile(const std::string& path, const void* data, std::size_t size);

// Moves the file `from` over `to` in one step: `to` holds either its old or its new content
// whatever happens, never a part. A read-only `to` is refused and left untouched; the new file
// takes the old one's permissions. False when nothing was replaced (`from` then still exists).
bool MoveReplacing(const std::string& from, const std::string& to);

// While it lives, no other holder of a lock on the same folder, in this process or another,
// gets past its constructor: an update that reads a file there, edits it and replaces it runs
// whole before or after another one. Advisory: writers that take no lock are not held back.
// Where the lock cannot be had (no such folder), the holder goes on without it.
class FolderUpdateLock {
public:
    explicit FolderUpdateLock(const std::string& folder);
    ~FolderUpdateLock();
    FolderUpdateLock(const FolderUpdateLock&) = delete;
    FolderUpdateLock& operator=(const FolderUpdateLock&) = delete;

private:
    std::intptr_t m_handle;  // a descriptor on Linux, a mutex HANDLE on Windows; -1 for none
};

// Hands one diagnostic text to the platform's debugger output. The text is passed as it is;
// where the output is a plain stream, the call ends it with a line break so that texts stay
// apart.
void DebugOutput(const char* text);

}  // namespace platform
