// The game host's start: the program's folder as working directory, the main window object,
// the command line, and the modal main window. When it ends, the program ends.
#include <string>
#include <vector>

#include "CommandTail.h"
#include "QuorinDlg.h"
#include "platform/Paths.h"
#include "platform/Window.h"

namespace {

#if defined(_WIN32)
constexpr const char* kProgramFile = "Quorin.exe";
#else
constexpr const char* kProgramFile = "Quorin";
#endif

int RunHost(int argc, char** argv) {
    if (!platform::InitWindowing()) {
        return 1;
    }
    platform::EnterProgramFolder();
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    quorin::CQuorinDlg dialog(kProgramFile);
    dialog.ReadCommandLine(arguments, quorin::CommandTail(arguments));
    dialog.DoModal();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return RunHost(argc, argv);
    } catch (...) {
        // Nothing the host does is worth more than ending quietly.
        return 1;
    }
}
