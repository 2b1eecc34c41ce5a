#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "harbex/ThreadLock.h"

namespace {

// Whether another thread could enter the section right now.
bool FreeForOtherThread(CCriticalSection& section) {
    return std::async(std::launch::async,
                      [&section] {
                          const bool bEntered = section.TryLock();
                          if (bEntered) {
                              section.Unlock();
                          }
                          return bEntered;
                      })
        .get();
}

TEST(ThreadLock, LeavesAsOftenAsItEntered) {
    CCriticalSection section;
    {
        CThreadLock guard(section, true);
        guard.Lock();
        EXPECT_EQ(guard.GetLockCount(), 2);
        {
            CThreadLock nested(section);  // the owner enters again without waiting
            EXPECT_EQ(nested.GetLockCount(), 1);
        }
        EXPECT_FALSE(FreeForOtherThread(section));
    }
    EXPECT_TRUE(FreeForOtherThread(section));

    CThreadLock guard(section, true);
    guard.Lock();
    guard.UnLock();
    EXPECT_EQ(guard.GetLockCount(), 1);
    EXPECT_FALSE(FreeForOtherThread(section));
    guard.UnLock();
    EXPECT_EQ(guard.GetLockCount(), 0);
    EXPECT_TRUE(FreeForOtherThread(section));
}

TEST(ThreadLock, EmptyGuardNeverLeavesAnEntryItDoesNotHold) {
    CCriticalSection section;
    CThreadLock holder(section, true);
    {
        CThreadLock empty(section, false);
        empty.UnLock();
        EXPECT_EQ(empty.GetLockCount(), 0);
    }
    EXPECT_FALSE(FreeForOtherThread(section));
    holder.UnLock();
    EXPECT_TRUE(FreeForOtherThread(section));
}

TEST(ThreadLock, GuardsKeepThreadsOutOfEachOther) {
    CCriticalSection section;
    long nTotal = 0;
    auto add = [&] {
        for (int i = 0; i < 20000; ++i) {
            CThreadLock guard(section);
            nTotal = nTotal + 1;
        }
    };
    std::thread other(add);
    add();
    other.join();
    EXPECT_EQ(nTotal, 40000);
}

}  // namespace
