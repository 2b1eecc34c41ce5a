// What the process tests do with programs and the screen: start and end them, find their
// windows, click and answer message boxes as a player would.
#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dravel::proc {

// A program started by a test; ended (as a crash would end it) when the test lets go of it.
// Programs the tests start: the lobby tests' own.
using Process = lobbytest::ChildProcess;

// False with a reason when there is no screen to show windows on: the tests then fail.
bool DesktopAvailable(std::string& why);

// The first window of process `pid` whose title is `title` (UTF-8), waiting up to `limit` for it
// to appear. Its top-left corner in screen coordinates.
struct WindowSpot {
    long long handle = 0;
    int x = 0;
    int y = 0;
};
std::optional<WindowSpot> FindProgramWindow(unsigned long pid, const std::string& title,
                                            std::chrono::milliseconds limit);
// The same, looking once.
std::optional<WindowSpot> ProgramWindowNow(unsigned long pid, const std::string& title);

// A left click with the real pointer at `x`, `y` from the window's top-left corner.
bool ClickAt(const WindowSpot& window, int x, int y);

// Presses the OK button of the message box of process `pid` with caption `caption` (UTF-8),
// waiting up to `limit` for it to appear. False when none appeared.
bool AnswerMessageBox(unsigned long pid, const std::string& caption,
                      std::chrono::milliseconds limit);

// The message boxes of process `pid` with caption `caption` (UTF-8) showing now.
std::vector<long long> MessageBoxesOf(unsigned long pid, const std::string& caption);

// Presses the default button of a message box as the player's key or click would.
void PressDefaultButton(long long box);

// Ends every process whose program file lies in `folder` (programs the tested program started
// itself, such as the lobby it restarts).
void EndProcessesIn(const std::string& folder);

// Makes the programs this process starts meet a lobby of their own (where the lobby is a
// socket in the user's runtime folder), so tests running side by side do not meet.
void UsePrivateLobbyFolder(const std::string& folder);

// The build folder's programs: the folder of the running test program.
std::string TestProgramFolder();

// Program file names on this platform ("Dravel" or "Dravel.exe").
std::string ProgramFile(const std::string& stem);

}  // namespace dravel::proc
