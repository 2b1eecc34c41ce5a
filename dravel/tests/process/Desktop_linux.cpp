// Programs through posix_spawn, the screen through xdotool on the X display the tests run on.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "Desktop.h"
#include "platform/Paths.h"

extern char** environ;

namespace dravel::proc {

namespace {

using namespace std::chrono_literals;

std::vector<char*> Argv(std::vector<std::string>& all) {
    std::vector<char*> argv;
    for (std::string& arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    return argv;
}

// Runs a tool to its end and returns what it printed; empty when it failed.
std::optional<std::string> RunTool(std::vector<std::string> args) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = Argv(args);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string output;
    if (spawned == 0) {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0 ||
               (got < 0 && errno == EINTR)) {
            if (got > 0) {
                output.append(buffer, static_cast<std::size_t>(got));
            }
        }
    }
    close(pipeEnds[0]);
    if (spawned != 0) {
        return std::nullopt;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return output;
}

// xdotool takes a title as a regular expression.
std::string ExactPattern(const std::string& title) {
    std::string pattern = "^";
    for (char c : title) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "$";
}

std::vector<long long> SearchWindows(unsigned long pid, const std::string& title) {
    std::vector<long long> found;
    const auto output = RunTool({"xdotool", "search", "--all", "--onlyvisible", "--pid",
                                 std::to_string(pid), "--name", ExactPattern(title)});
    if (!output) {
        return found;  // xdotool answers "nothing found" with a failure
    }
    std::istringstream lines(*output);
    long long id = 0;
    while (lines >> id) {
        found.push_back(id);
    }
    return found;
}

}  // namespace

bool DesktopAvailable(std::string& why) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        why = "DISPLAY is not set: the updater needs an X display (run under Xvfb)";
        return false;
    }
    if (!RunTool({"xdotool", "getmouselocation"})) {
        why = std::string("xdotool cannot reach display ") + display;
        return false;
    }
    return true;
}

std::optional<WindowSpot> ProgramWindowNow(unsigned long pid, const std::string& title) {
    for (long long id : SearchWindows(pid, title)) {
        const auto shell = RunTool({"xdotool", "getwindowgeometry", "--shell", std::to_string(id)});
        if (!shell) {
            continue;
        }
        WindowSpot spot;
        spot.handle = id;
        bool haveX = false;
        bool haveY = false;
        std::istringstream lines(*shell);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("X=", 0) == 0) {
                spot.x = std::atoi(line.c_str() + 2);
                haveX = true;
            } else if (line.rfind("Y=", 0) == 0) {
                spot.y = std::atoi(line.c_str() + 2);
                haveY = true;
            }
        }
        if (haveX && haveY) {
            return spot;
        }
    }
    return std::nullopt;
}

bool ClickAt(const WindowSpot& window, int x, int y) {
    return RunTool({"xdotool", "mousemove", "--sync", std::to_string(window.x + x),
                    std::to_string(window.y + y), "click", "1"})
        .has_value();
}

std::vector<long long> MessageBoxesOf(unsigned long pid, const std::string& caption) {
    return SearchWindows(pid, caption);
}

void PressDefaultButton(long long box) {
    // Without a window manager nothing gives the box the keyboard: hand it the focus, then
    // press Enter on its default button.
    const std::string id = std::to_string(box);
    RunTool({"xdotool", "windowfocus", id});
    std::this_thread::sleep_for(100ms);
    RunTool({"xdotool", "key", "--clearmodifiers", "Return"});
}

void EndProcessesIn(const std::string& folder) {
    std::string prefix = folder;
    if (prefix.empty()) {
        return;
    }
    if (prefix.back() != '/') {
        prefix += '/';
    }
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return;
    }
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == getpid()) {
            continue;
        }
        char target[PATH_MAX];
        const std::string link = std::string("/proc/") + entry->d_name + "/exe";
        const ssize_t size = readlink(link.c_str(), target, sizeof target - 1);
        if (size <= 0) {
            continue;
        }
        if (std::string(target, static_cast<std::size_t>(size)).rfind(prefix, 0) == 0) {
            kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }
    closedir(proc);
}

void UsePrivateLobbyFolder(const std::string& folder) {
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

std::string TestProgramFolder() {
    return platform::ProgramFolder();
}

std::string ProgramFile(const std::string& stem) {
    return stem;
}

}  // namespace dravel::proc
