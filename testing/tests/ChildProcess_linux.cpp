#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "ChildProcess.h"
#include "platform/Paths.h"

extern char** environ;

namespace lobbytest {

struct ChildProcess::Impl {
    pid_t pid = -1;
    std::optional<int> exitCode;
};

ChildProcess::ChildProcess() : impl_(std::make_unique<Impl>()) {}
ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args) {
    Kill();
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    impl_->pid = pid;
    impl_->exitCode.reset();
    return true;
}

bool ChildProcess::Running() const {
    return impl_->pid > 0;
}

unsigned long ChildProcess::Id() const {
    return impl_->pid > 0 ? static_cast<unsigned long>(impl_->pid) : 0;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    if (impl_->pid <= 0) {
        return impl_->exitCode;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        int status = 0;
        const pid_t done = waitpid(impl_->pid, &status, WNOHANG);
        if (done == impl_->pid) {
            impl_->pid = -1;
            impl_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return impl_->exitCode;
        }
        if (done < 0 && errno != EINTR) {
            impl_->pid = -1;
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ChildProcess::Kill() {
    if (impl_->pid <= 0) {
        return;
    }
    kill(impl_->pid, SIGKILL);
    int status = 0;
    while (waitpid(impl_->pid, &status, 0) < 0 && errno == EINTR) {
    }
    impl_->pid = -1;
    impl_->exitCode = 128 + SIGKILL;
}

std::string KestruneProgram() {
    return platform::JoinPath(platform::ProgramFolder(), "Kestrune");
}

void UsePrivateLobbyFolder(const std::string& folder) {
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

}  // namespace lobbytest
