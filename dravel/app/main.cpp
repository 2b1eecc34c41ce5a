// The updater's entry: one run on one manifest, from the lobby's command line
// "<manifest name> <mode>" to the window's end. The exit code is 0 on every path.
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DravelDlg.h"
#include "MessageLoop.h"
#include "UpdateFlow.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/Window.h"

int main(int argc, char** argv) {
    // The generator makes the query suffixes that keep caches out of every request.
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    const std::string commandLine = dravel::JoinArguments(arguments);
    if (commandLine.empty()) {
        return 0;
    }
    if (!platform::InitWindowing()) {
        return 0;
    }
    platform::EnterProgramFolder();

    // Held until the process ends: one updater per manifest.
    std::unique_ptr<platform::SingleInstanceLock> lock;
    const std::optional<dravel::UpdateCommandLine> startup =
        dravel::DecideStartup(commandLine, [&lock](const std::string& manifestName) {
            lock = std::make_unique<platform::SingleInstanceLock>(
                dravel::app::InstanceLockName(manifestName));
            return lock->IsHeld();
        });
    if (!startup) {
        return 0;
    }

    dravel::app::MessageLoop loop;
    dravel::app::CDravelDlg dialog(*startup, &loop);
    if (!dialog.Create()) {
        return 0;
    }
    dialog.Start();
    if (!dialog.Ended()) {
        loop.Run();
    }
    return 0;
}
