#include <windows.h>

#include "ChildProcess.h"
#include "platform/Paths.h"

namespace lobbytest {

namespace {

// Quotes one argument the way the C runtime splits a command line again.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

}  // namespace

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    DWORD id = 0;
    std::optional<int> exitCode;
};

ChildProcess::ChildProcess() : impl_(std::make_unique<Impl>()) {}
ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args) {
    Kill();
    std::string commandLine = Quote(program);
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += Quote(arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &info) == FALSE) {
        return false;
    }
    CloseHandle(info.hThread);
    impl_->process = info.hProcess;
    impl_->id = info.dwProcessId;
    impl_->exitCode.reset();
    return true;
}

bool ChildProcess::Running() const {
    return impl_->process != nullptr;
}

unsigned long ChildProcess::Id() const {
    return impl_->process != nullptr ? impl_->id : 0;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    if (impl_->process == nullptr) {
        return impl_->exitCode;
    }
    if (WaitForSingleObject(impl_->process, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(impl_->process, &code);
    CloseHandle(impl_->process);
    impl_->process = nullptr;
    impl_->exitCode = static_cast<int>(code);
    return impl_->exitCode;
}

void ChildProcess::Kill() {
    if (impl_->process == nullptr) {
        return;
    }
    TerminateProcess(impl_->process, 255);
    WaitForSingleObject(impl_->process, 10000);
    CloseHandle(impl_->process);
    impl_->process = nullptr;
    impl_->exitCode = 255;
}

std::string KestruneProgram() {
    return platform::JoinPath(platform::ProgramFolder(), "Kestrune.exe");
}

void UsePrivateLobbyFolder(const std::string&) {}

}  // namespace lobbytest
