// A program started by a test, killed when the test lets go of it.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lobbytest {

class ChildProcess {
public:
    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `args`. False when it could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args);

    bool Running() const;

    // Waits up to `limit` for the program to end by itself; its exit code once it has ended
    // (128 + the signal on Linux when a signal ended it), empty while it still runs.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit);

    // Ends the program at once, as a crash would, and waits for it.
    void Kill();

    // The platform's process id, 0 when none runs.
    unsigned long Id() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The stand-in lobby program beside the test program.
std::string KestruneProgram();

// Makes this process and the programs it starts use `folder` for the lobby's socket where the
// lobby is one, so tests running side by side do not meet. Nothing on Windows.
void UsePrivateLobbyFolder(const std::string& folder);

}  // namespace lobbytest
