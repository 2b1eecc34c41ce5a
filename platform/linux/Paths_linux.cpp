#include <limits.h>
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

}  // namespace platform
