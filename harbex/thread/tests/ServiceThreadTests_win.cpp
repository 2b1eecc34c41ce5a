// A client that includes <windows.h> before the library's header: the PostThreadMessage macro
// must not hide the member, and the worker's queue is the thread's real message queue.
#include <windows.h>
//
#include <gtest/gtest.h>

#include <vector>

#include "ThreadTestSupport.h"

using namespace thread_test;

namespace {

TEST(ServiceThreadWindows, UsesTheThreadsOwnMessageQueue) {
    Worker worker;
    std::vector<tagThreadMessage> received;
    Gate both;
    worker.onRun = [&] {
        tagThreadMessage message;
        if (worker.TakeMessage(message, CServiceThread::kWaitForever)) {
            received.push_back(message);
            if (received.size() == 2) {
                both.Open();
            }
        }
        return true;
    };
    ASSERT_TRUE(worker.StartThread());
    HANDLE hThread = static_cast<HANDLE>(worker.GetThreadHandle());
    EXPECT_EQ(GetThreadId(hThread), worker.GetThreadID());

    // Through the member (renamed by the macro to its forwarder), then straight through Windows.
    EXPECT_EQ(worker.PostThreadMessage(WM_APP + 1, 11, -11), 0u);
    EXPECT_TRUE(PostThreadMessage(worker.GetThreadID(), WM_APP + 2, 22, -22));
    ASSERT_TRUE(both.Wait());
    ASSERT_TRUE(worker.ConcludeThread(5000));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].uMessage, static_cast<std::uint32_t>(WM_APP + 1));
    EXPECT_EQ(received[0].wParam, 11u);
    EXPECT_EQ(received[0].lParam, -11);
    EXPECT_EQ(received[1].uMessage, static_cast<std::uint32_t>(WM_APP + 2));
    EXPECT_EQ(received[1].lParam, -22);
}

}  // namespace
