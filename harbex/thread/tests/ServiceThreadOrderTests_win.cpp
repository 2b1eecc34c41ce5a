// The other include order: the library's header first, <windows.h> after it.
#include "harbex/ServiceThread.h"
//
#include <windows.h>
//
#include <gtest/gtest.h>

#include "ThreadTestSupport.h"

namespace {

TEST(ServiceThreadWindows, MemberIsReachableWhenWindowsHeaderComesLater) {
    thread_test::Worker worker;
    thread_test::Gate got;
    std::uintptr_t wParam = 0;
    worker.onRun = [&] {
        tagThreadMessage message;
        if (worker.TakeMessage(message, CServiceThread::kWaitForever)) {
            wParam = message.wParam;
            got.Open();
        }
        return true;
    };
    ASSERT_TRUE(worker.StartThread());
    EXPECT_EQ(worker.PostThreadMessage(WM_APP, 5, 0), 0u);
    ASSERT_TRUE(got.Wait());
    ASSERT_TRUE(worker.ConcludeThread(5000));
    EXPECT_EQ(wParam, 5u);
}

}  // namespace
