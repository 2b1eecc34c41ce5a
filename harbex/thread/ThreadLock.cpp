// CCriticalSection over a recursive mutex, and the counting guard CThreadLock.
#include "harbex/ThreadLock.h"

// std::recursive_mutex gives the re-entrancy of a platform critical section with one portable
// implementation (a recursive pthread mutex, also under mingw-w64's posix threads) that thread
// sanitizers understand.
void CCriticalSection::Lock() {
    m_Mutex.lock();
}

bool CCriticalSection::TryLock() {
    return m_Mutex.try_lock();
}

void CCriticalSection::Unlock() {
    m_Mutex.unlock();
}

CThreadLock::CThreadLock(CCriticalSection& section, bool bLockAtOnce)
    : m_nHeldCount(0), m_pSection(&section) {
    if (bLockAtOnce) {
        Lock();
    }
}

CThreadLock::~CThreadLock() {
    while (m_nHeldCount > 0) {
        UnLock();
    }
}

void CThreadLock::Lock() {
    // Counted once entered, so a failed entry (an exception) leaves the count true.
    m_pSection->Lock();
    ++m_nHeldCount;
}

void CThreadLock::UnLock() {
    if (m_nHeldCount == 0) {
        return;  // never leave an entry this guard does not hold
    }
    --m_nHeldCount;
    m_pSection->Unlock();
}
