#include <dirent.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The entry of `folder` whose name equals `name` without regard to ASCII case; "" when none.
std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string ResolvePathCase(const std::string& path) {
    std::string unified = path;
    for (char& c : unified) {
        if (c == '\\') {
            c = '/';
        }
    }
    struct stat info {};
    if (unified.empty() || stat(unified.c_str(), &info) == 0) {
        return unified;
    }
    // Walk the parts; once one cannot be found, the rest is kept as written.
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
                std::string match = FindEntryIgnoringCase(resolved.empty() ? "." : resolved, part);
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

}  // namespace platform
