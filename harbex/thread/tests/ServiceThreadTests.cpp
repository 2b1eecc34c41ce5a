#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ThreadTestSupport.h"

using namespace thread_test;

namespace {

constexpr std::uint32_t kMessageBase = 0x400;  // the first number free for applications

// A start hook that says no, or throws, fails the start: nothing else runs, nothing is kept.
class RefusedStart : public testing::TestWithParam<bool> {};

TEST_P(RefusedStart, FailsWithoutRunningTheOtherHooks) {
    const bool bThrows = GetParam();
    Worker worker;
    worker.onStart = [bThrows]() -> bool {
        if (bThrows) {
            throw std::runtime_error("start failed");
        }
        return false;
    };
    EXPECT_FALSE(worker.StartThread());
    EXPECT_EQ(worker.starts, 1);
    EXPECT_EQ(worker.runs, 0);
    EXPECT_EQ(worker.concludes, 0);
    EXPECT_FALSE(worker.IsRuning());
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(worker.GetThreadID(), 0u);
    EXPECT_EQ(worker.PostThreadMessage(kMessageBase, 1, 2), 0u);  // no worker: nothing posted
}

INSTANTIATE_TEST_SUITE_P(ServiceThread, RefusedStart, testing::Values(false, true),
                         [](const auto& param) { return param.param ? "Throws" : "SaysNo"; });

TEST(ServiceThreadLifecycle, StartsOnceStopsAndRestartsAfterEndingByItself) {
    Worker worker;
    std::uint32_t dwIdInHook = 0;
    void* hHandleInHook = nullptr;
    std::thread::id hookThread;
    worker.onStart = [&] {
        dwIdInHook = worker.GetThreadID();
        hHandleInHook = worker.GetThreadHandle();
        hookThread = std::this_thread::get_id();
        return true;
    };
    ASSERT_TRUE(worker.StartThread());
    EXPECT_TRUE(worker.IsRuning());
    const std::uint32_t dwId = worker.GetThreadID();
    void* const hHandle = worker.GetThreadHandle();
    EXPECT_NE(dwId, 0u);
    EXPECT_NE(hHandle, nullptr);
    // The hooks run on the worker, which already knows its own id and handle.
    EXPECT_EQ(dwIdInHook, dwId);
    EXPECT_EQ(hHandleInHook, hHandle);
    EXPECT_NE(hookThread, std::this_thread::get_id());

    // A second start while running changes nothing.
    EXPECT_FALSE(worker.StartThread());
    EXPECT_EQ(worker.starts, 1);
    EXPECT_EQ(worker.GetThreadID(), dwId);
    EXPECT_EQ(worker.GetThreadHandle(), hHandle);

    // The default run hook waits for messages; stopping wakes it.
    EXPECT_TRUE(worker.ConcludeThread(5000));
    EXPECT_FALSE(worker.IsRuning());
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(worker.GetThreadID(), 0u);
    EXPECT_EQ(worker.concludes, 1);
    EXPECT_TRUE(worker.ConcludeThread(0));  // nothing left to stop

    // A run hook that says no at once ends the thread, which still concludes once; its handle
    // and id are kept until collected, and a new start works.
    const int nRunsBefore = worker.runs;  // the first worker may have been stopped before a turn
    worker.onRun = [] { return false; };
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(WaitUntilEnded(worker));
    EXPECT_NE(worker.GetThreadHandle(), nullptr);
    EXPECT_NE(worker.GetThreadID(), 0u);
    EXPECT_EQ(worker.PostThreadMessage(kMessageBase, 0, 0), 1444u);  // the thread is gone
    EXPECT_EQ(worker.concludes, 2);
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(WaitUntilEnded(worker));
    EXPECT_TRUE(worker.ConcludeThread(5000));
    EXPECT_EQ(worker.starts, 3);
    EXPECT_EQ(worker.runs, nRunsBefore + 2);
    EXPECT_EQ(worker.concludes, 3);
}

TEST(ServiceThreadLifecycle, ThrowingRunHookIsCalledAgain) {
    Worker worker;
    int nTurn = 0;  // worker thread only
    worker.onRun = [&]() -> bool {
        if (++nTurn == 1) {
            throw std::runtime_error("one bad turn");
        }
        return false;
    };
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(worker.concluded.Wait());
    EXPECT_TRUE(worker.ConcludeThread(5000));
    EXPECT_EQ(worker.runs, 2);
    EXPECT_EQ(worker.concludes, 1);
}

TEST(ServiceThreadLifecycle, ThrowingConcludeHookIsSwallowed) {
    Worker worker;
    worker.onConclude = [] { throw std::runtime_error("conclude failed"); };
    ASSERT_TRUE(worker.StartThread());
    EXPECT_TRUE(worker.ConcludeThread(5000));
    EXPECT_EQ(worker.concludes, 1);
    EXPECT_TRUE(worker.StartThread());  // the object is still usable
}

TEST(ServiceThreadConclude, TimedOutWaitKeepsTheThreadForALaterWait) {
    Worker worker;
    Gate entered;
    Gate release;
    worker.onRun = [&] {
        entered.Open();
        release.Wait();
        return true;
    };
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(entered.Wait());
    const std::uint32_t dwId = worker.GetThreadID();
    void* const hHandle = worker.GetThreadHandle();

    EXPECT_FALSE(worker.ConcludeThread(0));
    EXPECT_FALSE(worker.ConcludeThread(20));
    EXPECT_TRUE(worker.IsRuning());
    EXPECT_EQ(worker.GetThreadID(), dwId);
    EXPECT_EQ(worker.GetThreadHandle(), hHandle);

    release.Open();
    EXPECT_TRUE(worker.ConcludeThread(CServiceThread::kWaitForever));
    EXPECT_FALSE(worker.IsRuning());
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(worker.GetThreadID(), 0u);
    // The worker saw the cleared flag after the blocked turn and went no further.
    EXPECT_EQ(worker.runs, 1);
    EXPECT_EQ(worker.concludes, 1);
}

TEST(ServiceThreadConclude, WorkerStoppingItselfDoesNotWaitForItself) {
    Worker worker;
    std::atomic<int> nAnswer{-1};
    worker.onRun = [&] {
        nAnswer = worker.ConcludeThread(CServiceThread::kWaitForever) ? 1 : 0;
        return true;
    };
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(worker.concluded.Wait());
    EXPECT_EQ(nAnswer, 0);
    EXPECT_TRUE(worker.ConcludeThread(5000));
    EXPECT_EQ(worker.runs, 1);
}

TEST(ServiceThreadMessages, ArriveInOrderWithTheirFullValues) {
    constexpr int kCount = 200;
    Worker worker;
    std::vector<tagThreadMessage> received;  // worker thread only until it has ended
    Gate all;
    bool bSawEarlyMessage = true;
    worker.onStart = [&] {
        tagThreadMessage message;
        bSawEarlyMessage = worker.TakeMessage(message, 0);
        return true;
    };
    worker.onRun = [&] {
        tagThreadMessage message;
        if (worker.TakeMessage(message, CServiceThread::kWaitForever)) {
            received.push_back(message);
            if (received.size() == kCount) {
                all.Open();
            }
        }
        return true;
    };
    EXPECT_EQ(worker.PostThreadMessage(kMessageBase, 9, 9), 0u);  // before start: dropped
    ASSERT_TRUE(worker.StartThread());

    std::vector<tagThreadMessage> sent;
    for (int i = 0; i < kCount; ++i) {
        tagThreadMessage message{kMessageBase + static_cast<std::uint32_t>(i),
                                 static_cast<std::uintptr_t>(i) * 0x10001u,
                                 -static_cast<std::intptr_t>(i)};
        if (i == 1) {
            message.wParam = std::numeric_limits<std::uintptr_t>::max();
            message.lParam = std::numeric_limits<std::intptr_t>::min();
        }
        sent.push_back(message);
        ASSERT_EQ(worker.PostThreadMessage(message.uMessage, message.wParam, message.lParam), 0u);
    }
    ASSERT_TRUE(all.Wait());
    ASSERT_TRUE(worker.ConcludeThread(5000));

    EXPECT_FALSE(bSawEarlyMessage);
    ASSERT_EQ(received.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(received[i].uMessage, sent[i].uMessage) << i;
        EXPECT_EQ(received[i].wParam, sent[i].wParam) << i;
        EXPECT_EQ(received[i].lParam, sent[i].lParam) << i;
    }
}

TEST(ServiceThreadMessages, WaitsAreBoundedAndMessagesOutliveTheStopRequest) {
    Worker worker;
    Gate entered;
    Gate release;
    bool bTimedOut = false;
    long long nWaitedMs = 0;
    std::vector<std::uintptr_t> drained;
    worker.onStart = [&] {
        tagThreadMessage message;
        const auto before = std::chrono::steady_clock::now();
        bTimedOut = !worker.TakeMessage(message, 60);
        nWaitedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - before)
                        .count();
        return true;
    };
    worker.onRun = [&] {
        entered.Open();
        release.Wait();
        return true;
    };
    // What is still queued at the stop can be taken without waiting.
    worker.onConclude = [&] {
        tagThreadMessage message;
        while (worker.TakeMessage(message, 0)) {
            drained.push_back(message.wParam);
        }
    };
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(entered.Wait());
    for (std::uintptr_t i = 1; i <= 3; ++i) {
        ASSERT_EQ(worker.PostThreadMessage(kMessageBase, i, 0), 0u);
    }
    // Only the worker takes its messages.
    tagThreadMessage stolen;
    EXPECT_FALSE(worker.TakeMessage(stolen, 0));
    EXPECT_FALSE(worker.ConcludeThread(0));
    release.Open();
    ASSERT_TRUE(worker.ConcludeThread(5000));

    EXPECT_TRUE(bTimedOut);
    EXPECT_GE(nWaitedMs, 40);  // the wait was not skipped (allowing for a coarse tick)
    EXPECT_LT(nWaitedMs, 4000);
    EXPECT_EQ(drained, (std::vector<std::uintptr_t>{1, 2, 3}));
}

}  // namespace
