// What the window tests share: a handler that records what reaches it, and a way to let a shown
// window run until a condition holds, on every platform (a modal run ended from a timer).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Shell.h"
#include "platform/Window.h"

namespace uitest {

inline constexpr uint32_t kPollTimer = 0x7000;
inline constexpr int32_t kTimedOut = -1;
inline constexpr int32_t kDone = 1;

struct Event {
    enum class Kind { kPosted, kClose, kCommand, kButtonDown, kKey };
    Kind kind;
    int64_t a = 0;
    int64_t b = 0;
    bool operator==(const Event&) const = default;
};

class RecordingHandler : public platform::WindowHandler {
public:
    std::function<void(platform::Canvas&)> paint;
    std::function<void(uint32_t)> timer;
    std::function<void(uint32_t, uint64_t, int64_t)> posted;
    std::function<void()> close;
    bool swallowKeys = false;

    std::vector<Event> events;
    int32_t movedX = -100000;
    int32_t movedY = -100000;

    void OnPaint(platform::Canvas& canvas) override {
        if (paint) {
            paint(canvas);
        }
    }
    void OnCommand(int32_t id) override { events.push_back({Event::Kind::kCommand, id}); }
    void OnLeftButtonDown(int32_t x, int32_t y) override {
        events.push_back({Event::Kind::kButtonDown, x, y});
    }
    void OnMoved(int32_t x, int32_t y) override {
        movedX = x;
        movedY = y;
    }
    void OnClose() override {
        events.push_back({Event::Kind::kClose});
        if (close) {
            close();
        }
    }
    bool OnKeyDown(platform::Key key) override {
        events.push_back({Event::Kind::kKey, static_cast<int64_t>(key)});
        return swallowKeys;
    }
    void OnPosted(uint32_t message, uint64_t wparam, int64_t lparam) override {
        events.push_back({Event::Kind::kPosted, message, lparam});
        (void)wparam;
        if (posted) {
            posted(message, wparam, lparam);
        }
    }
    void OnTimer(uint32_t id) override {
        if (timer) {
            timer(id);
        }
    }
};

// Shows the window and runs it until `done` holds (checked every 20 ms) or `limit` passes.
// True when `done` held.
inline bool RunUntil(platform::Window& window, RecordingHandler& handler,
                     const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto previous = std::move(handler.timer);
    handler.timer = [&](uint32_t id) {
        if (id != kPollTimer) {
            if (previous) {
                previous(id);
            }
            return;
        }
        if (done()) {
            window.EndModal(kDone);
        } else if (std::chrono::steady_clock::now() > deadline) {
            window.EndModal(kTimedOut);
        }
    };
    window.SetTimer(kPollTimer, 20);
    const int32_t result = window.RunModal();
    window.KillTimer(kPollTimer);
    handler.timer = std::move(previous);
    return result == kDone;
}

// The screen's pixels under the window, in window coordinates.
inline platform::Image CaptureWindow(const platform::Window& window) {
    return platform::CaptureScreen(window.Bounds());
}

inline std::unique_ptr<platform::Window> MakeWindow(RecordingHandler& handler,
                                                    platform::Rect bounds) {
    // A GUI test without a display is a broken test run, not a skipped test.
    if (!platform::InitWindowing()) {
        ADD_FAILURE() << "no display: GUI tests need one (Xvfb)";
        return nullptr;
    }
    platform::WindowOptions options;
    options.title = "ui test";
    options.width = bounds.width;
    options.height = bounds.height;
    auto window = platform::Window::Create(handler, options);
    if (window) {
        window->SetBounds(bounds);
    }
    return window;
}

}  // namespace uitest
