// The file operations of an update: staging a download and putting it in place. Paths are
// narrow texts in the ANSI code page (GBK), as every path of the programs.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace dravel {

// A staging file being written. Destroying it without Commit closes it as it is.
class IStagingFile {
public:
    virtual ~IStagingFile() = default;
    // False when not every byte could be written; `error` then holds the system's text.
    virtual bool Write(const void* data, std::size_t size, std::string& error) = 0;
    // Closes the file; false when the system reports a write error only at the close.
    virtual bool Commit(std::string& error) = 0;
};

class IUpdateFileSystem {
public:
    virtual ~IUpdateFileSystem() = default;

    // The path as the system spells an entry that differs from it only in letter case (a
    // manifest's "Res\\a.bin" for an installed res/a.bin), so that an update replaces what the
    // programs read instead of installing a second copy. The path itself where nothing such
    // exists, and always on a system whose names ignore case.
    virtual std::string ExistingSpelling(const std::string& path) { return path; }
    // Whether anything (file or folder) exists at the path.
    virtual bool Exists(const std::string& path) = 0;
    virtual bool IsFolder(const std::string& path) = 0;
    // Creates one folder (not its parents); true when it exists afterwards.
    virtual bool CreateFolder(const std::string& path) = 0;
    // Creates or truncates the file for writing, not shared with other writers: while one has
    // it open (another updater fetching the same file), the call fails.
    virtual std::unique_ptr<IStagingFile> CreateStagingFile(const std::string& path,
                                                            std::string& error) = 0;
    // Puts `from` in place of `to` in one step: afterwards `to` holds either its old content
    // or the whole of `from`, never a mixture or nothing, even when the program is killed.
    // With `replacing` (`to` holds an installed file), `from` is forced to the disk first, so a
    // power cut cannot cost the old content either. A new file is not forced here: losing it
    // costs nothing installed, and MakeDurable covers it before the update is recorded. The two
    // paths are in the same folder. A replaced file's permissions stay as they were. On failure
    // `errorCode` and `error` hold the system's code and text.
    virtual bool PutInPlace(const std::string& from, const std::string& to, bool replacing,
                            int& errorCode, std::string& error) = 0;
    // Forces the content and the folder entries of the given files to the disk; false when the
    // system reports a failure. Forcing them together costs far less than one file at a time.
    virtual bool MakeDurable(const std::vector<std::string>& paths) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
};

// The real file system of the running platform.
std::unique_ptr<IUpdateFileSystem> CreateLocalFileSystem();

}  // namespace dravel
