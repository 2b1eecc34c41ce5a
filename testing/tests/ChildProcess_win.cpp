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
    return true;
}

bool ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    if (impl_->process == nullptr) {
        return true;
    }
    if (WaitForSingleObject(impl_->process, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        return false;
    }
    CloseHandle(impl_->process);
    impl_->process = nullptr;
    return true;
}

void ChildProcess::Kill() {
    if (impl_->process == nullptr) {
        return;
    }
    TerminateProcess(impl_->process, 1);
    WaitForSingleObject(impl_->process, 10000);
    CloseHandle(impl_->process);
    impl_->process = nullptr;
}

std::string KestruneProgram() {
    return platform::JoinPath(platform::ProgramFolder(), "Kestrune.exe");
}

void UsePrivateLobbyFolder(const std::string&) {}

}  // namespace lobbytest
