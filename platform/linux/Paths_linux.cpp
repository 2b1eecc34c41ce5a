#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Paths.h"

namespace platform {

std::string ProgramFolder() {
    std::vector<char> path(PATH_MAX);
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
        return {};
    }
    std::string file(path.data(), static_cast<size_t>(length));
    std::string::size_type slash = file.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : file.substr(0, slash);
}

bool EnterProgramFolder() {
    std::string folder = ProgramFolder();
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

std::string CurrentFolder() {
    std::vector<char> path(PATH_MAX);
    if (getcwd(path.data(), path.size()) == nullptr) {
        return {};
    }
    return std::string(path.data());
}

namespace {

std::string WithSlashes(const std::string& path) {
    std::string unified = path;
    std::replace(unified.begin(), unified.end(), '\\', '/');
    return unified;
}

// A folder as the key of its listing: no trailing slash, "." for the current one.
std::string FolderKey(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder.empty() ? "." : folder;
}

std::string UpperAscii(std::string name) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return name;
}

// Walks the parts of the path, asking `findEntry(folder, name)` for a part that does not exist
// as written; once one cannot be found, the rest is kept as written.
template <class Finder>
std::string ResolveWith(const std::string& path, Finder&& findEntry) {
    const std::string unified = WithSlashes(path);
    struct stat info {};
    if (unified.empty() || stat(unified.c_str(), &info) == 0) {
        return unified;
    }
    std::string resolved = unified[0] == '/' ? "/" : "";
    std::string::size_type start = unified[0] == '/' ? 1 : 0;
    bool lost = false;
    while (start <= unified.size()) {
        std::string::size_type end = unified.find('/', start);
        if (end == std::string::npos) {
            end = unified.size();
        }
        std::string part = unified.substr(start, end - start);
        if (!part.empty()) {
            std::string candidate = resolved + part;
            if (!lost && stat(candidate.c_str(), &info) != 0) {
                std::string match = findEntry(FolderKey(resolved), part);
                if (match.empty()) {
                    lost = true;
                } else {
                    candidate = resolved + match;
                }
            }
            resolved = candidate;
            if (end < unified.size()) {
                resolved += '/';
            }
        }
        start = end + 1;
    }
    return resolved;
}

// The folder and the name of an entry's path.
std::pair<std::string, std::string> SplitEntry(const std::string& path) {
    const std::string unified = WithSlashes(path);
    const std::string::size_type slash = unified.find_last_of('/');
    if (slash == std::string::npos) {
        return {".", unified};
    }
    return {FolderKey(unified.substr(0, slash + 1)), unified.substr(slash + 1)};
}

}  // namespace

std::string ResolvePathCase(const std::string& path) {
    return FolderCaseIndex().Resolve(path);
}

// Each folder read maps its names, upper-cased, to their spelling; the first of names that
// differ only in case wins, as the first found in a folder read does.
struct FolderCaseIndex::Listings {
    std::mutex mutex;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> byFolder;

    std::unordered_map<std::string, std::string>& Read(const std::string& folder) {
        auto [found, added] = byFolder.try_emplace(folder);
        if (added) {
            if (DIR* dir = opendir(folder.c_str())) {
                while (dirent* entry = readdir(dir)) {
                    found->second.try_emplace(UpperAscii(entry->d_name), entry->d_name);
                }
                closedir(dir);
            }
        }
        return found->second;
    }

    // The spelling in `folder` of `name` without regard to ASCII case; "" when none.
    std::string Find(const std::string& folder, const std::string& name) {
        std::lock_guard<std::mutex> hold(mutex);
        const auto& names = Read(folder);
        const auto entry = names.find(UpperAscii(name));
        return entry != names.end() ? entry->second : std::string();
    }
};

FolderCaseIndex::FolderCaseIndex() : listings_(std::make_unique<Listings>()) {}

FolderCaseIndex::~FolderCaseIndex() = default;

std::string FolderCaseIndex::Resolve(const std::string& path) {
    return ResolveWith(path, [this](const std::string& folder, const std::string& name) {
        return listings_->Find(folder, name);
    });
}

void FolderCaseIndex::NoteAdded(const std::string& path) {
    const auto [folder, name] = SplitEntry(path);
    std::lock_guard<std::mutex> hold(listings_->mutex);
    const auto listing = listings_->byFolder.find(folder);
    if (listing != listings_->byFolder.end() && !name.empty()) {
        listing->second.try_emplace(UpperAscii(name), name);
    }
}

void FolderCaseIndex::NoteRemoved(const std::string& path) {
    const auto [folder, name] = SplitEntry(path);
    std::lock_guard<std::mutex> hold(listings_->mutex);
    const auto listing = listings_->byFolder.find(folder);
    if (listing == listings_->byFolder.end()) {
        return;
    }
    const auto entry = listing->second.find(UpperAscii(name));
    if (entry != listing->second.end() && entry->second == name) {
        listing->second.erase(entry);
    }
}

}  // namespace platform
