// The portable half of CServiceThread: the hooks' defaults and the order the worker calls them.
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

bool CServiceThread::CallStartHook() noexcept {
    // Every worker gets its own sequence. The C runtime on Windows keeps one generator per
    // thread; elsewhere the generator is shared and this reseeds it for the process.
    std::srand(static_cast<unsigned>(std::time(nullptr)));
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
