// Helpers of the thread tests: a one-shot gate with bounded waits, and a worker whose hooks
// the test supplies.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "harbex/ServiceThread.h"

namespace thread_test {

using namespace std::chrono_literals;

// Bound for waits that normally end at once: a fault shows as a failure, not a hang.
inline constexpr auto kPatience = 5s;

class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bOpen = true;
        m_opened.notify_all();
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_opened.wait_for(lock, kPatience, [this] { return m_bOpen; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_bOpen = false;
};

// Without supplied hooks: the start says yes and each turn waits for a message.
class Worker : public CServiceThread {
public:
    ~Worker() override { ConcludeThread(kWaitForever); }
    bool TakeMessage(tagThreadMessage& message, std::uint32_t dwMilliseconds) {
        return GetThreadMessage(message, dwMilliseconds);
    }

    std::function<bool()> onStart, onRun;
    std::function<void()> onConclude;
    std::atomic<int> starts{0}, runs{0}, concludes{0};

protected:
    bool OnEventThreadStrat() override {
        ++starts;
        return onStart ? onStart() : true;
    }
    bool OnEventThreadRun() override {
        ++runs;
        tagThreadMessage message;
        return onRun ? onRun() : (TakeMessage(message, kWaitForever), true);
    }
    bool OnEventThreadConclude() override {
        ++concludes;
        if (onConclude) {
            onConclude();
        }
        return true;
    }
};

// Waits, bounded, until a worker that ends by itself is seen as ended.
inline bool WaitUntilEnded(CServiceThread& worker) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (worker.IsRuning() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    return !worker.IsRuning();
}

}  // namespace thread_test
