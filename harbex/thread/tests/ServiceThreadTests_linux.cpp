#include <gtest/gtest.h>
#include <unistd.h>

#include "ThreadTestSupport.h"

using namespace thread_test;

namespace {

TEST(ServiceThreadLinux, IdIsTheKernelThreadIdAndTheQueueIsBounded) {
    Worker worker;
    pid_t nHookTid = 0;
    Gate release;
    worker.onStart = [&] {
        nHookTid = ::gettid();
        return true;
    };
    worker.onRun = [&] {  // takes no message until released
        release.Wait();
        return false;
    };
    ASSERT_TRUE(worker.StartThread());
    EXPECT_EQ(worker.GetThreadID(), static_cast<std::uint32_t>(nHookTid));
    EXPECT_NE(nHookTid, ::gettid());

    // As on Windows, at most 10000 messages wait; then ERROR_NOT_ENOUGH_QUOTA.
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(worker.PostThreadMessage(0x400, 0, 0), 0u) << i;
    }
    EXPECT_EQ(worker.PostThreadMessage(0x400, 0, 0), 1816u);
    release.Open();
    EXPECT_TRUE(worker.ConcludeThread(5000));
}

}  // namespace
