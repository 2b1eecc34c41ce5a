// Helpers shared by the thread tests: a one-shot gate with bounded waits and a worker whose
// hooks the test supplies.
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

// Generous bound for waits that normally end at once; a fault shows as a failure, not a hang.
inline constexpr std::chrono::milliseconds kPatience = 5s;

class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bOpen = true;
        m_opened.notify_all();
    }
    bool Wait(std::chrono::milliseconds limit = kPatience) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_opened.wait_for(lock, limit, [this] { return m_bOpen; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_bOpen = false;
};

// Hooks default to: start says yes, run waits for messages (and ends on ConcludeThread).
class Worker : public CServiceThread {
public:
    ~Worker() override { ConcludeThread(kWaitForever); }

    bool TakeMessage(tagThreadMessage& message, std::uint32_t dwMilliseconds) {
        return GetThreadMessage(message, dwMilliseconds);
    }

    std::function<bool()> onStart;
    std::function<bool()> onRun;
    std::function<void()> onConclude;
    std::atomic<int> starts{0};
    std::atomic<int> runs{0};
    std::atomic<int> concludes{0};
    Gate concluded;

protected:
    bool OnEventThreadStrat() override {
        ++starts;
        return onStart ? onStart() : true;
    }
    bool OnEventThreadRun() override {
        ++runs;
        if (onRun) {
            return onRun();
        }
        tagThreadMessage message;
        TakeMessage(message, kWaitForever);
        return true;
    }
    bool OnEventThreadConclude() override {
        ++concludes;
        if (onConclude) {
            onConclude();
        }
        concluded.Open();
        return true;
    }
};

// Waits (bounded) until a worker that ends by itself is seen as ended.
inline bool WaitUntilEnded(CServiceThread& worker) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (worker.IsRuning()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace thread_test
