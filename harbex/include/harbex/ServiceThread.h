// Base class for an object that owns one worker thread driven by three hooks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "harbex/HarbexApi.h"

// One thread message: its number and the two word-sized parameters (WPARAM and LPARAM).
struct tagThreadMessage {
    std::uint32_t uMessage;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// <windows.h> renames PostThreadMessage to PostThreadMessageA/W. The class declares the
// member under its own name whatever the include order; the A/W forwarders below catch calls
// that the macro renamed.
#pragma push_macro("PostThreadMessage")
#undef PostThreadMessage

// A derived class supplies the hooks, which run on the worker thread:
// - OnEventThreadStrat once at start; StartThread returns its answer (an exception is "no");
// - OnEventThreadRun over and over while the run flag is set, without pause: it blocks inside
//   (for instance in GetThreadMessage) or returns false to end the thread;
// - OnEventThreadConclude once at the end when the start hook said yes.
// Exceptions leaving a hook never leave the worker thread.
//
// A derived class whose hooks use its own members must call ConcludeThread(kWaitForever) in
// its own destructor: the base destructor runs after the derived part is gone.
// StartThread and ConcludeThread belong to one controlling thread.
class HARBEX_API CServiceThread {
protected:
    // Stops the worker with ConcludeThread(kWaitForever).
    virtual ~CServiceThread();

public:
    // Wait time meaning "no limit".
    static constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

    CServiceThread(const CServiceThread&) = delete;
    CServiceThread& operator=(const CServiceThread&) = delete;

    // True while the worker thread exists and has not ended.
    virtual bool IsRuning();

    // Starts the worker and waits for its start hook; true when the thread runs and the hook
    // said yes. False when a worker is already running or the thread cannot be started; when
    // the hook says no the thread has ended and is collected before this returns.
    virtual bool StartThread();

    // Clears the run flag and waits up to `dwMillSeconds` (kWaitForever: no limit) for the
    // worker to end; true when no thread is left running. On a timeout the thread is kept and
    // a later call collects it. Called on the worker itself it only clears the flag and
    // returns false, since a thread cannot wait for its own end.
    virtual bool ConcludeThread(std::uint32_t dwMillSeconds);

    // Id of the running or last thread; 0 when none.
    std::uint32_t GetThreadID() const { return m_dwWorkerThreadId; }

    // Handle of the running or last thread (on Windows the thread's HANDLE); null when none.
    void* GetThreadHandle() const { return m_hWorkerThread; }

    // Posts a message to the worker's thread message queue. Returns 0 on success and also when
    // there is no worker (nothing is posted then); otherwise the platform's error code (for a
    // worker that has ended, ERROR_INVALID_THREAD_ID, 1444). Any thread may post, also while
    // the controller starts or stops the worker.
    std::uint32_t PostThreadMessage(std::uint32_t uMessage, std::uintptr_t wParam,
                                    std::intptr_t lParam);

#if defined(_WIN32)
    std::uint32_t PostThreadMessageA(std::uint32_t uMessage, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
        return PostThreadMessage(uMessage, wParam, lParam);
    }
    std::uint32_t PostThreadMessageW(std::uint32_t uMessage, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
        return PostThreadMessage(uMessage, wParam, lParam);
    }
#endif

protected:
    CServiceThread();

    virtual bool OnEventThreadRun();
    virtual bool OnEventThreadStrat();
    virtual bool OnEventThreadConclude();

    // For the hooks, on the worker thread only: takes the next message of this thread's queue,
    // waiting up to `dwMilliseconds` (kWaitForever: no limit). Messages are taken in the order
    // they were posted. False on timeout, when the run flag is cleared (ConcludeThread wakes a
    // waiting worker) and no message is waiting, or when called on another thread.
    bool GetThreadMessage(tagThreadMessage& message, std::uint32_t dwMilliseconds);

private:
    struct ThreadStartBlock;
    struct WorkerState;

#if defined(_WIN32)
    static unsigned __stdcall ThreadFunction(void* pStartBlock);
#else
    static unsigned ThreadFunction(void* pStartBlock);
#endif

    // The hook sequence of the worker; nothing escapes them.
    bool CallStartHook() noexcept;
    void RunAndConclude() noexcept;

    // Drops the state of a thread that has ended: handle, id and queue.
    void ReleaseWorker() noexcept;

    // The platform's halves of ConcludeThread: clear the run flag and wake a worker waiting for
    // a message; tell whether the caller is the worker; wait for the worker's end, false on
    // timeout.
    void AskWorkerToStop();
    bool OnWorkerThread() const;
    bool WaitForWorkerEnd(std::uint32_t dwMillSeconds);

    std::atomic<bool> m_bKeepRunning;
    std::uint32_t m_dwWorkerThreadId;
    void* m_hWorkerThread;
    // The platform's resources of the current thread; owns what m_hWorkerThread names.
    std::unique_ptr<WorkerState> m_pWorkerState;
};

#pragma pop_macro("PostThreadMessage")
