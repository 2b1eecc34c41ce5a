// The portable half of CServiceThread: the hooks' defaults, the order the worker calls them and
// the order of a stop.
#include <cstdlib>
#include <ctime>

#include "harbex/ServiceThread.h"

bool CServiceThread::OnEventThreadRun() {
    return true;
}

bool CServiceThread::OnEventThreadStrat() {
    return true;
}

bool CServiceThread::OnEventThreadConclude() {
    return true;
}

bool CServiceThread::ConcludeThread(std::uint32_t dwMillSeconds) {
    if (IsRuning()) {
        AskWorkerToStop();
        if (OnWorkerThread()) {
            return false;  // the worker cannot wait for its own end
        }
        if (!WaitForWorkerEnd(dwMillSeconds)) {
            return false;
        }
    }
    if (m_hWorkerThread != nullptr) {
        ReleaseWorker();
    }
    return true;
}

bool CServiceThread::CallStartHook() noexcept {
#if defined(_WIN32)
    // The runtime's generator is per thread on Windows. Elsewhere it is the whole process's, and
    // reseeding it from here would reset the sequence every other thread draws from.
    std::srand(static_cast<unsigned>(std::time(nullptr)));
#endif
    try {
        return OnEventThreadStrat();
    } catch (...) {
        return false;  // a start hook that throws has said no
    }
}

void CServiceThread::RunAndConclude() noexcept {
    // The flag is read afresh on every turn: ConcludeThread clears it from another thread.
    while (m_bKeepRunning.load()) {
        try {
            if (!OnEventThreadRun()) {
                break;
            }
        } catch (...) {
            // One failed turn does not end the worker; the next turn runs as usual.
        }
    }
    try {
        OnEventThreadConclude();
    } catch (...) {
        // Nothing may leave the worker thread.
    }
}
