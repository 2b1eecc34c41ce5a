// What the process tests do the same way on both platforms, over the platform's primitives.
#include <thread>

#include "Desktop.h"

namespace dravel::proc {

using namespace std::chrono_literals;

std::optional<WindowSpot> FindProgramWindow(unsigned long pid, const std::string& title,
                                            std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        if (std::optional<WindowSpot> spot = ProgramWindowNow(pid, title)) {
            return spot;
        }
        std::this_thread::sleep_for(50ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

bool AnswerMessageBox(unsigned long pid, const std::string& caption,
                      std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        const std::vector<long long> boxes = MessageBoxesOf(pid, caption);
        if (boxes.empty()) {
            std::this_thread::sleep_for(50ms);
            continue;
        }
        PressDefaultButton(boxes.front());
        // Gone once answered; a box that took no press is tried again.
        for (int i = 0; i < 40; ++i) {
            std::this_thread::sleep_for(50ms);
            if (MessageBoxesOf(pid, caption).empty()) {
                return true;
            }
        }
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

}  // namespace dravel::proc
