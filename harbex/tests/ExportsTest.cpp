// Programs use the library through its exports: this program links the shared library itself
// (Harbex.dll / libHarbex.so), not the static twin the component tests use.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "harbex/DataQueue.h"
#include "harbex/DirectSound.h"
#include "harbex/HtmlView.h"
#include "harbex/MD5Encrypt.h"
#include "harbex/ServiceThread.h"
#include "harbex/ThreadLock.h"
#include "harbex/WinFileInfo.h"
#include "harbex/XOREncrypt.h"

namespace {

TEST(Exports, QueueAndCodecs) {
    CDataQueue queue;
    const char payload[] = "packet";
    ASSERT_TRUE(queue.InsertData(7, payload, sizeof payload));
    tagDataHead head{};
    char out[16] = {};
    ASSERT_TRUE(queue.DistillData(head, out, sizeof out));
    EXPECT_EQ(head.wPacketId, 7);
    EXPECT_STREQ(out, payload);

    char digest[33];
    CMD5Encrypt::EncryptData("abc", digest);
    EXPECT_STREQ(digest, "900150983cd24fb0d6963f7d28e17f72");

    char encoded[64];
    char decoded[16];
    ASSERT_EQ(CXOREncrypt::EncryptData("abc", encoded, sizeof encoded), 20);
    ASSERT_EQ(CXOREncrypt::CrevasseData(encoded, decoded, sizeof decoded), 3);
    EXPECT_STREQ(decoded, "abc");
}

class CountingThread : public CServiceThread {
public:
    ~CountingThread() override { ConcludeThread(kWaitForever); }
    std::atomic<int> turns{0};

protected:
    bool OnEventThreadRun() override {
        tagThreadMessage message{};
        if (GetThreadMessage(message, 1000) && message.uMessage == 0x401) {
            turns += static_cast<int>(message.wParam);
        }
        return true;
    }
};

TEST(Exports, ThreadsAndLocks) {
    CountingThread thread;
    ASSERT_TRUE(thread.StartThread());
    EXPECT_TRUE(thread.IsRuning());
    EXPECT_EQ(thread.PostThreadMessage(0x401, 5, 0), 0u);
    for (int i = 0; i < 2000 && thread.turns == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(thread.ConcludeThread(CServiceThread::kWaitForever));
    EXPECT_EQ(thread.turns, 5);
    EXPECT_FALSE(thread.IsRuning());

    CCriticalSection section;
    {
        CThreadLock guard(section, true);
        guard.Lock();
        EXPECT_EQ(guard.GetLockCount(), 2);
    }
    EXPECT_TRUE(section.TryLock());
    section.Unlock();
}

TEST(Exports, FileInfoAndSound) {
    CWinFileInfo info;
    EXPECT_FALSE(info.OpenWinFile("no-such-file.dll"));
    EXPECT_EQ(info.GetFileVersion(), nullptr);

    // Creating a player opens the sound device, which a test machine may lack; the switch and
    // the validity check reach the exports without it.
    CDirectSound sound;
    EXPECT_TRUE(sound.IsEnabled());
    EXPECT_FALSE(sound.EnableSound(0).IsEnabled());
    EXPECT_FALSE(sound.IsValid());
    sound.Play();  // a player that is not valid does nothing
}

TEST(Exports, HtmlView) {
    // A view whose browser never came keeps what it is given and shows nothing.
    CHtmlBrower view;
    EXPECT_EQ(view.Create(nullptr), 0);
    view.Navigate("http://lobby.example/");
    EXPECT_TRUE(view.EnableBrowser(true));
    EXPECT_FALSE(view.HasWindow());
    EXPECT_FALSE(view.EnableBrowser(false));
}

}  // namespace
