#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "HttpTestServer.h"

extern char** environ;

namespace platform_test {

namespace fs = std::filesystem;

bool HttpTestServer::Start() {
    // The server is built into the same folder as the test program.
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "lobby_test_server";
    const std::string root = (folder_ / "root").string();
    const std::string faults = (folder_ / "faults.txt").string();
    const std::string portFile = (folder_ / "port").string();
    std::vector<std::string> args = {program.string(), "--root", root,         "--faults", faults,
                                     "--port-file",    portFile, "--lifetime", "300"};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    // The server's "port N" line would only clutter the test output; the port file tells.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        why_ = "cannot start " + program.string();
        return false;
    }
    process_ = pid;
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(portFile);
        if (in >> port_ && port_ > 0) {
            return true;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            process_ = 0;
            why_ = "the test server ended at start";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    why_ = "the test server did not report its port";
    return false;
}

void HttpTestServer::Stop() {
    if (process_ > 0) {
        kill(static_cast<pid_t>(process_), SIGKILL);
        waitpid(static_cast<pid_t>(process_), nullptr, 0);
        process_ = 0;
    }
}

}  // namespace platform_test
