// The program's own folder and the working directory.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

// The separator the platform's own paths use.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Folder of the running program file, without a trailing separator ("" if unknown).
std::string ProgramFolder();

// Makes the program's folder the working directory, so every relative path resolves there.
bool EnterProgramFolder();

// The working directory, without a trailing separator ("" if unknown).
std::string CurrentFolder();

// Whether Windows takes a file name for a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to
// LPT9) in every folder, whatever extension follows and however it is cased: a write to it
// would reach the device, not a file.
bool IsReservedDeviceName(std::string_view name);

// Joins a folder and a relative name with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path as the file system spells it. The programs name their folders with mixed spellings
// ("res" and "Res", "lobby" and "Lobby", "\\" and "/"); where names tell case apart, each part
// that does not exist as written is matched against its folder without regard to ASCII case.
// Parts that match nothing are left as written. On Windows the path comes back unchanged.
std::string ResolvePathCase(const std::string& path);

// ResolvePathCase for a run that resolves many names in the same folders (an update of thousands
// of files): each folder is read once, and what the run itself adds or removes is noted instead
// of read again, so the cost stays in step with the number of names. Entries that others make
// meanwhile are not seen. Usable from several threads.
class FolderCaseIndex {
public:
    FolderCaseIndex();
    ~FolderCaseIndex();
    FolderCaseIndex(const FolderCaseIndex&) = delete;
    FolderCaseIndex& operator=(const FolderCaseIndex&) = delete;

    std::string Resolve(const std::string& path);
    // The run made an entry at `path` (a file, a folder, a rename's new name).
    void NoteAdded(const std::string& path);
    // The run removed the entry at `path` (or renamed it away).
    void NoteRemoved(const std::string& path);

private:
    struct Listings;
    std::unique_ptr<Listings> listings_;
};

}  // namespace platform
