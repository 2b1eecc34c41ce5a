// CServiceThread on Windows: a C runtime thread, an auto-reset event for the start handshake
// and the thread's own Windows message queue.
#include <windows.h>
// After <windows.h>: its PostThreadMessage macro would rename our member below.
#undef PostThreadMessage

#include <process.h>

#include <memory>
#include <mutex>

#include "harbex/ServiceThread.h"

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace

struct CServiceThread::ThreadStartBlock {
    bool bStartAnswer;
    HANDLE hStartedEvent;
    CServiceThread* pOwner;
};

struct CServiceThread::WorkerState {
    UniqueHandle hThread;
    // Manual-reset; ConcludeThread sets it to wake a worker waiting in GetThreadMessage.
    UniqueHandle hStopEvent;
    // What other threads read to post: the id of the worker while its handle is open (a thread
    // id is not given to another thread before then), 0 otherwise.
    std::mutex postLock;
    DWORD postThreadId = 0;
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
    return m_hWorkerThread != nullptr && WaitForSingleObject(m_hWorkerThread, 0) == WAIT_TIMEOUT;
}

void CServiceThread::ReleaseWorker() noexcept {
    {
        std::lock_guard<std::mutex> lock(m_pWorkerState->postLock);
        m_pWorkerState->postThreadId = 0;
    }
    m_pWorkerState->hThread.reset();
    m_pWorkerState->hStopEvent.reset();
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

    ThreadStartBlock block{false, nullptr, this};
    UniqueHandle started(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!started) {
        return false;
    }
    block.hStartedEvent = started.get();

    WorkerState& state = *m_pWorkerState;
    state.hStopEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!state.hStopEvent) {
        return false;
    }

    m_bKeepRunning = true;
    // Created suspended so that handle and id are stored before any hook can ask for them;
    // otherwise the new thread could read them while they are being written.
    unsigned threadId = 0;
    const std::uintptr_t thread = _beginthreadex(nullptr, 0, &CServiceThread::ThreadFunction,
                                                 &block, CREATE_SUSPENDED, &threadId);
    if (thread == 0) {
        m_bKeepRunning = false;
        state.hStopEvent.reset();
        return false;
    }
    state.hThread.reset(reinterpret_cast<HANDLE>(thread));
    m_hWorkerThread = state.hThread.get();
    m_dwWorkerThreadId = threadId;
    {
        std::lock_guard<std::mutex> lock(state.postLock);
        state.postThreadId = threadId;
    }

    if (ResumeThread(m_hWorkerThread) == static_cast<DWORD>(-1)) {
        // The thread has not run any code of ours, so ending it here leaves nothing behind.
        TerminateThread(m_hWorkerThread, 0);
        WaitForSingleObject(m_hWorkerThread, INFINITE);
        m_bKeepRunning = false;
        ReleaseWorker();
        return false;
    }

    WaitForSingleObject(started.get(), INFINITE);
    started.reset();
    if (!block.bStartAnswer) {
        ConcludeThread(kWaitForever);
        return false;
    }
    return true;
}

unsigned __stdcall CServiceThread::ThreadFunction(void* pStartBlock) {
    auto* block = static_cast<ThreadStartBlock*>(pStartBlock);
    CServiceThread* owner = block->pOwner;

    // A thread gets its message queue with its first message call. Make it before the start
    // is signalled, so that messages posted as soon as StartThread returns are not refused.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);

    const bool bAnswer = owner->CallStartHook();
    block->bStartAnswer = bAnswer;
    if (block->hStartedEvent != nullptr) {
        SetEvent(block->hStartedEvent);
    }
    // The block lived on the starter's stack, which may be gone from here on.

    if (bAnswer) {
        owner->RunAndConclude();
    }
    // Returning ends the thread through _endthreadex(0), after this frame is unwound.
    return 0;
}

void CServiceThread::AskWorkerToStop() {
    m_bKeepRunning = false;
    SetEvent(m_pWorkerState->hStopEvent.get());
}

bool CServiceThread::OnWorkerThread() const {
    return GetCurrentThreadId() == m_dwWorkerThreadId;
}

bool CServiceThread::WaitForWorkerEnd(std::uint32_t dwMillSeconds) {
    return WaitForSingleObject(m_hWorkerThread, dwMillSeconds) == WAIT_OBJECT_0;
}

std::uint32_t CServiceThread::PostThreadMessage(std::uint32_t uMessage, std::uintptr_t wParam,
                                                std::intptr_t lParam) {
    // Any thread may post; the id is read and used under the lock that the controller takes to
    // clear it before the worker's handle closes.
    std::lock_guard<std::mutex> lock(m_pWorkerState->postLock);
    if (m_pWorkerState->postThreadId == 0) {
        return 0;
    }
    if (!::PostThreadMessageA(m_pWorkerState->postThreadId, uMessage, static_cast<WPARAM>(wParam),
                              static_cast<LPARAM>(lParam))) {
        const DWORD error = GetLastError();
        // A failure must never read as success.
        return error != ERROR_SUCCESS ? error : ERROR_INVALID_THREAD_ID;
    }
    return 0;
}

bool CServiceThread::GetThreadMessage(tagThreadMessage& message, std::uint32_t dwMilliseconds) {
    if (!m_pWorkerState->hStopEvent || GetCurrentThreadId() != m_dwWorkerThreadId) {
        return false;
    }
    HANDLE stop = m_pWorkerState->hStopEvent.get();
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            message = tagThreadMessage{msg.message, msg.wParam, msg.lParam};
            return true;
        }
        if (!m_bKeepRunning.load()) {
            return false;
        }
        DWORD wait = INFINITE;
        if (dwMilliseconds != kWaitForever) {
            const ULONGLONG spent = GetTickCount64() - start;
            if (spent >= dwMilliseconds) {
                return false;
            }
            wait = static_cast<DWORD>(dwMilliseconds - spent);
        }
        // Wakes for a posted message (also one already seen but not taken), for the stop event
        // or at the time; the next turn decides which.
        if (MsgWaitForMultipleObjectsEx(1, &stop, wait, QS_ALLPOSTMESSAGE, MWMO_INPUTAVAILABLE) ==
            WAIT_FAILED) {
            return false;
        }
    }
}
