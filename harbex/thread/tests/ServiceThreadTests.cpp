#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "ThreadTestSupport.h"

using namespace thread_test;

namespace {

constexpr std::uint32_t kMessage = 0x400;  // the first message number free for applications

// A start hook that says no, or throws, fails the start: nothing else runs, nothing is kept.
class RefusedStart : public testing::TestWithParam<bool> {};

TEST_P(RefusedStart, FailsWithoutRunningTheOtherHooks) {
    Worker worker;
    worker.onStart = [bThrows = GetParam()]() -> bool {
        return bThrows ? throw std::runtime_error("start failed") : false;
    };
    EXPECT_FALSE(worker.StartThread());
    EXPECT_EQ(worker.starts, 1);
    EXPECT_EQ(worker.runs + worker.concludes, 0);
    EXPECT_FALSE(worker.IsRuning());
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(worker.GetThreadID(), 0u);
    EXPECT_EQ(worker.PostThreadMessage(kMessage, 1, 2), 0u);  // no worker: nothing posted
}

INSTANTIATE_TEST_SUITE_P(ServiceThread, RefusedStart, testing::Values(false, true),
                         [](const auto& param) { return param.param ? "Throws" : "SaysNo"; });

TEST(ServiceThreadLifecycle, StartsOnceStopsAndRestartsAfterEndingByItself) {
    Worker worker;
    std::uint32_t dwIdInHook = 0;
    void* hHandleInHook = nullptr;
    worker.onStart = [&] {
        dwIdInHook = worker.GetThreadID();
        hHandleInHook = worker.GetThreadHandle();
        return true;
    };
    ASSERT_TRUE(worker.StartThread());
    EXPECT_TRUE(worker.IsRuning());
    const std::uint32_t dwId = worker.GetThreadID();
    void* const hHandle = worker.GetThreadHandle();
    EXPECT_NE(dwId, 0u);
    EXPECT_NE(hHandle, nullptr);
    EXPECT_EQ(dwIdInHook, dwId);  // the worker knows itself from its first hook on
    EXPECT_EQ(hHandleInHook, hHandle);

    EXPECT_FALSE(worker.StartThread());  // already running: nothing changes
    EXPECT_EQ(worker.starts, 1);
    EXPECT_EQ(worker.GetThreadID(), dwId);
    EXPECT_EQ(worker.GetThreadHandle(), hHandle);

    // The default run hook waits for a message; stopping wakes it.
    EXPECT_TRUE(worker.ConcludeThread(5000));
    EXPECT_FALSE(worker.IsRuning());
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(worker.GetThreadID(), 0u);
    EXPECT_EQ(worker.concludes, 1);
    EXPECT_TRUE(worker.ConcludeThread(0));

    // A run hook that says no at once ends the thread, which still concludes once; handle and
    // id are kept until collected, and the object starts again.
    const int nRunsBefore = worker.runs;  // the first worker may have stopped before a turn
    worker.onRun = [] { return false; };
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(WaitUntilEnded(worker));
    EXPECT_NE(worker.GetThreadHandle(), nullptr);
    EXPECT_NE(worker.GetThreadID(), 0u);
    EXPECT_EQ(worker.PostThreadMessage(kMessage, 0, 0), 1444u);  // the thread is gone
    EXPECT_EQ(worker.concludes, 2);
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(WaitUntilEnded(worker));
    EXPECT_TRUE(worker.ConcludeThread(5000));
    EXPECT_EQ(worker.starts, 3);
    EXPECT_EQ(worker.runs, nRunsBefore + 2);
    EXPECT_EQ(worker.concludes, 3);
}

TEST(ServiceThreadLifecycle, HookExceptionsStayOnTheWorker) {
    Worker worker;
    int nTurn = 0;  // worker thread only
    worker.onRun = [&nTurn]() -> bool {
        return ++nTurn == 1 ? throw std::runtime_error("one bad turn") : false;
    };
    worker.onConclude = [] { throw std::runtime_error("conclude failed"); };
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(WaitUntilEnded(worker));
    EXPECT_TRUE(worker.ConcludeThread(5000));
    EXPECT_EQ(worker.runs, 2);  // called again after the throwing turn
    EXPECT_EQ(worker.concludes, 1);
}

TEST(ServiceThreadConclude, TimedOutWaitKeepsTheThreadForALaterWait) {
    Worker worker;
    Gate entered, release;
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
    EXPECT_EQ(worker.runs, 1);  // the cleared flag was seen right after the blocked turn
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
    ASSERT_TRUE(WaitUntilEnded(worker));
    EXPECT_EQ(nAnswer, 0);
    EXPECT_EQ(worker.runs, 1);
    EXPECT_TRUE(worker.ConcludeThread(5000));
}

TEST(ServiceThreadMessages, ArriveInOrderWithTheirFullValues) {
    constexpr std::size_t kCount = 200;
    Worker worker;
    std::vector<tagThreadMessage> sent, received;  // `received`: worker only until it ends
    Gate all;
    bool bEarlyMessage = true;
    worker.onStart = [&] {
        tagThreadMessage message;
        bEarlyMessage = worker.TakeMessage(message, 0);
        return true;
    };
    worker.onRun = [&] {
        tagThreadMessage message;
        if (worker.TakeMessage(message, CServiceThread::kWaitForever)) {
            received.push_back(message);
        }
        if (received.size() == kCount) {
            all.Open();
        }
        return true;
    };
    EXPECT_EQ(worker.PostThreadMessage(kMessage, 9, 9), 0u);  // before the start: dropped
    ASSERT_TRUE(worker.StartThread());
    sent.push_back({kMessage, std::numeric_limits<std::uintptr_t>::max(),
                    std::numeric_limits<std::intptr_t>::min()});
    for (std::size_t i = 1; i < kCount; ++i) {
        sent.push_back({kMessage + static_cast<std::uint32_t>(i), i * 0x10001u,
                        -static_cast<std::intptr_t>(i)});
    }
    for (const tagThreadMessage& message : sent) {
        ASSERT_EQ(worker.PostThreadMessage(message.uMessage, message.wParam, message.lParam), 0u);
    }
    ASSERT_TRUE(all.Wait());
    ASSERT_TRUE(worker.ConcludeThread(5000));

    EXPECT_FALSE(bEarlyMessage);
    ASSERT_EQ(received.size(), kCount);
    for (std::size_t i = 0; i < kCount; ++i) {
        EXPECT_EQ(received[i].uMessage, sent[i].uMessage) << i;
        EXPECT_EQ(received[i].wParam, sent[i].wParam) << i;
        EXPECT_EQ(received[i].lParam, sent[i].lParam) << i;
    }
}

TEST(ServiceThreadMessages, OtherThreadsMayPostWhileTheWorkerStartsAndStops) {
    Worker worker;  // each turn waits for a message
    std::atomic<bool> bDone{false};
    std::atomic<int> posted{0}, unexpected{0};
    std::atomic<std::uint32_t> lastUnexpected{0};
    std::thread poster([&] {
        while (!bDone) {
            const std::uint32_t result = worker.PostThreadMessage(kMessage, 1, 2);
            switch (result) {
                case 0:
                    ++posted;
                    break;
                case 87:    // Windows: no such thread (any more)
                case 1444:  // the worker has ended
                case 1816:  // its queue is full
                    break;
                default:
                    ++unexpected;
                    lastUnexpected = result;
            }
        }
    });
    int cycles = 0;
    for (; cycles < 40; ++cycles) {
        if (!worker.StartThread() || !worker.ConcludeThread(5000)) {
            break;
        }
    }
    bDone = true;
    poster.join();
    EXPECT_EQ(cycles, 40);
    EXPECT_GT(posted, 0);
    EXPECT_EQ(unexpected, 0) << "last code " << lastUnexpected;
}

TEST(ServiceThreadMessages, WaitsAreBoundedAndQueuedMessagesOutliveTheStop) {
    Worker worker;
    Gate entered, release;
    bool bTimedOut = false;
    std::chrono::steady_clock::duration waited{};
    std::vector<std::uintptr_t> drained;
    worker.onStart = [&] {
        tagThreadMessage message;
        const auto before = std::chrono::steady_clock::now();
        bTimedOut = !worker.TakeMessage(message, 60);
        waited = std::chrono::steady_clock::now() - before;
        return true;
    };
    worker.onRun = [&] {
        entered.Open();
        release.Wait();
        return true;
    };
    worker.onConclude = [&] {  // what is queued at the stop is taken without waiting
        tagThreadMessage message;
        while (worker.TakeMessage(message, 0)) {
            drained.push_back(message.wParam);
        }
    };
    ASSERT_TRUE(worker.StartThread());
    ASSERT_TRUE(entered.Wait());
    for (std::uintptr_t i = 1; i <= 3; ++i) {
        ASSERT_EQ(worker.PostThreadMessage(kMessage, i, 0), 0u);
    }
    tagThreadMessage stolen;
    EXPECT_FALSE(worker.TakeMessage(stolen, 0));  // only the worker takes its messages
    EXPECT_FALSE(worker.ConcludeThread(0));
    release.Open();
    ASSERT_TRUE(worker.ConcludeThread(5000));

    EXPECT_TRUE(bTimedOut);
    EXPECT_GE(waited, 40ms);  // not skipped, allowing for a coarse system tick
    EXPECT_LT(waited, kPatience);
    EXPECT_EQ(drained, (std::vector<std::uintptr_t>{1, 2, 3}));
}

}  // namespace
