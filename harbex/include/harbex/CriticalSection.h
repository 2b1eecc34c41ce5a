// A re-entrant critical section: the thread that holds it may enter it again.
#pragma once

#include <mutex>

#include "harbex/HarbexApi.h"

class HARBEX_API CCriticalSection {
public:
    CCriticalSection() = default;
    ~CCriticalSection() = default;

    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    // Enters the section, waiting while another thread holds it. The owner may enter again;
    // it must leave as often as it entered.
    void Lock();

    // Enters the section only when that needs no wait; true when it was entered.
    bool TryLock();

    // Leaves the section once. Only the owning thread may call it.
    void Unlock();

private:
    std::recursive_mutex m_Mutex;
};
