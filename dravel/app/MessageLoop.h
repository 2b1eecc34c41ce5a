// The updater's message loop. Its main window stays hidden while the manifest is checked, so
// the loop cannot be a window's modal loop: it runs on its own until Quit.
#pragma once

#include <chrono>

namespace dravel::app {

class MessageLoop {
public:
    // Runs the user-interface thread's messages until Quit is called from one of them.
    void Run();
    // Ends Run once the message being handled returns.
    void Quit() { m_quit = true; }
    bool QuitRequested() const { return m_quit; }

    // Handles the messages that arrive during `duration` (tests and waits that must keep the
    // windows alive).
    static void RunFor(std::chrono::milliseconds duration);

private:
    bool m_quit = false;
};

// Handles one message, waiting for it when `wait`; false when none was there (or the system's
// quit message came).
bool DispatchOneMessage(bool wait);

}  // namespace dravel::app
