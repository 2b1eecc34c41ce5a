// A scope guard on a critical section that remembers how often it entered it.
#pragma once

#include <cstdint>

#include "harbex/CriticalSection.h"
#include "harbex/HarbexApi.h"

// Belongs to the thread that created it (a stack guard); only the section is shared.
class HARBEX_API CThreadLock {
public:
    // Keeps `section` (not owned; it must outlive the guard) and enters it at once when
    // `bLockAtOnce` is true.
    explicit CThreadLock(CCriticalSection& section, bool bLockAtOnce = true);

    // Leaves the section as often as this guard entered it.
    virtual ~CThreadLock();

    CThreadLock(const CThreadLock&) = delete;
    CThreadLock& operator=(const CThreadLock&) = delete;

    // Enters the section once more (nested entries by the owner are allowed).
    void Lock();

    // Leaves the section once; does nothing when this guard holds no entry.
    void UnLock();

    // How often this guard has entered the section and not yet left it.
    std::int32_t GetLockCount() const { return m_nHeldCount; }

private:
    std::int32_t m_nHeldCount;
    CCriticalSection* m_pSection;
};
