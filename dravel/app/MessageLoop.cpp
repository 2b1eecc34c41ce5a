#include "MessageLoop.h"

#include "platform/Window.h"

#include <thread>

namespace dravel::app {

bool DispatchOneMessage(bool wait) {
    return platform::DispatchUiMessage(wait);
}

void MessageLoop::Run() {
    while (!m_quit) {
        if (!DispatchOneMessage(true) && !m_quit) {
            // The system's own quit message: nothing more will come.
            break;
        }
    }
}

void MessageLoop::RunFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        if (!DispatchOneMessage(false)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

}  // namespace dravel::app
