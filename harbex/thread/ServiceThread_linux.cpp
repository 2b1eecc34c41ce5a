// CServiceThread on Linux: a std::thread whose end is announced under a mutex (so waits for it
// can be bounded), and the worker's own message queue in place of the Windows one.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "harbex/ServiceThread.h"

namespace {

// The codes Windows reports for the same failures, so that callers see one set of values.
constexpr std::uint32_t kErrorInvalidThreadId = 1444;
constexpr std::uint32_t kErrorNotEnoughQuota = 1816;

// Windows keeps at most 10000 posted messages per thread; so do we, so that a worker that stops
// reading cannot make its posters exhaust memory.
constexpr std::size_t kQueueLimit = 10000;

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(::gettid());
}

// Auto-reset event for the start handshake.
class AutoResetEvent {
public:
    void Set() {
        // Notified under the lock: the waiter may destroy the event as soon as it can lock.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSignalled = true;
        m_signal.notify_one();
    }

    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_signal.wait(lock, [this] { return m_bSignalled; });
        m_bSignalled = false;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_bSignalled = false;
};

}  // namespace

struct CServiceThread::ThreadStartBlock {
    bool bStartAnswer;
    AutoResetEvent* hStartedEvent;
    CServiceThread* pOwner;
};

struct CServiceThread::WorkerState {
    std::mutex mutex;
    std::condition_variable messageOrStop;  // the worker waits here
    std::condition_variable threadEnded;    // the controller waits here
    std::deque<tagThreadMessage> queue;
    bool bHasWorker = false;  // from a start until the ended thread is collected
    bool bEnded = false;
    std::thread thread;
};

// The state lives as long as the object, so a thread posting while the controller stops or
// restarts the worker never meets a state that is being freed.
CServiceThread::CServiceThread()
    : m_bKeepRunning(false),
      m_dwWorkerThreadId(0),
      m_hWorkerThread(nullptr),
      m_pWorkerState(std::make_unique<WorkerState>()) {}

CServiceThread::~CServiceThread() {
    ConcludeThread(kWaitForever);
}

bool CServiceThread::IsRuning() {
    std::lock_guard<std::mutex> lock(m_pWorkerState->mutex);
    return m_pWorkerState->bHasWorker && !m_pWorkerState->bEnded;
}

void CServiceThread::ReleaseWorker() noexcept {
    WorkerState& state = *m_pWorkerState;
    if (state.thread.joinable()) {
        // The thread has announced its end; joining only collects it.
        try {
            state.thread.join();
        } catch (const std::system_error&) {
            state.thread.detach();
        }
    }
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.bHasWorker = false;
        state.queue.clear();
    }
    m_hWorkerThread = nullptr;
    m_dwWorkerThreadId = 0;
}

bool CServiceThread::StartThread() {
    if (IsRuning()) {
        return false;
    }
    if (m_hWorkerThread != nullptr) {
        ReleaseWorker();
    }

    AutoResetEvent started;
    ThreadStartBlock block{false, &started, this};

    // Ready before the thread runs, so the worker finds it; the worker stores its own id.
    WorkerState& state = *m_pWorkerState;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.bHasWorker = true;
        state.bEnded = false;
        state.queue.clear();
    }
    m_hWorkerThread = &state;
    m_bKeepRunning = true;
    try {
        state.thread = std::thread(&CServiceThread::ThreadFunction, &block);
    } catch (const std::system_error&) {
        m_bKeepRunning = false;
        ReleaseWorker();
        return false;
    }

    started.Wait();
    if (!block.bStartAnswer) {
        ConcludeThread(kWaitForever);
        return false;
    }
    return true;
}

unsigned CServiceThread::ThreadFunction(void* pStartBlock) {
    auto* block = static_cast<ThreadStartBlock*>(pStartBlock);
    CServiceThread* owner = block->pOwner;
    WorkerState* state = owner->m_pWorkerState.get();
    owner->m_dwWorkerThreadId = CurrentThreadId();

    const bool bAnswer = owner->CallStartHook();
    block->bStartAnswer = bAnswer;
    if (block->hStartedEvent != nullptr) {
        block->hStartedEvent->Set();
    }
    // The block lived on the starter's stack, which may be gone from here on.

    if (bAnswer) {
        owner->RunAndConclude();
    }

    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->bEnded = true;
        state->queue.clear();  // an ended thread's messages are lost, as on Windows
    }
    // The state lives until the controller has joined this thread, after this call.
    state->threadEnded.notify_all();
    return 0;
}

void CServiceThread::AskWorkerToStop() {
    WorkerState& state = *m_pWorkerState;
    {
        // Cleared under the queue's lock, so a worker about to wait for a message sees it.
        std::lock_guard<std::mutex> lock(state.mutex);
        m_bKeepRunning = false;
    }
    state.messageOrStop.notify_all();
}

bool CServiceThread::OnWorkerThread() const {
    return CurrentThreadId() == m_dwWorkerThreadId;
}

bool CServiceThread::WaitForWorkerEnd(std::uint32_t dwMillSeconds) {
    WorkerState& state = *m_pWorkerState;
    std::unique_lock<std::mutex> lock(state.mutex);
    const auto ended = [&state] { return state.bEnded; };
    if (dwMillSeconds == kWaitForever) {
        state.threadEnded.wait(lock, ended);
        return true;
    }
    return state.threadEnded.wait_for(lock, std::chrono::milliseconds(dwMillSeconds), ended);
}

std::uint32_t CServiceThread::PostThreadMessage(std::uint32_t uMessage, std::uintptr_t wParam,
                                                std::intptr_t lParam) {
    // Only the state is read here, under its lock: other threads may post while the
    // controller starts or stops the worker.
    WorkerState& state = *m_pWorkerState;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (!state.bHasWorker) {
            return 0;
        }
        if (state.bEnded) {
            return kErrorInvalidThreadId;
        }
        if (state.queue.size() >= kQueueLimit) {
            return kErrorNotEnoughQuota;
        }
        state.queue.push_back(tagThreadMessage{uMessage, wParam, lParam});
    }
    state.messageOrStop.notify_all();
    return 0;
}

bool CServiceThread::GetThreadMessage(tagThreadMessage& message, std::uint32_t dwMilliseconds) {
    if (CurrentThreadId() != m_dwWorkerThreadId) {
        return false;
    }
    WorkerState& state = *m_pWorkerState;
    std::unique_lock<std::mutex> lock(state.mutex);
    const auto ready = [this, &state] { return !state.queue.empty() || !m_bKeepRunning.load(); };
    if (dwMilliseconds == kWaitForever) {
        state.messageOrStop.wait(lock, ready);
    } else {
        state.messageOrStop.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), ready);
    }
    if (state.queue.empty()) {
        return false;
    }
    message = state.queue.front();
    state.queue.pop_front();
    return true;
}
