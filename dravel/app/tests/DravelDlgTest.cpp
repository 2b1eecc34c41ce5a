// The updater's window on screen: its size and parts, and what the download reports make of
// its bars and lines. The reports go in through the window's download sink, as the worker
// sends them; nothing touches the network.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "DownloadManager.h"
#include "DravelDlg.h"
#include "MessageLoop.h"
#include "Pictures.h"
#include "Progress.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/Window.h"

namespace dravel::app {
namespace {

using namespace std::chrono_literals;

bool Near(platform::Argb a, platform::Argb b, int tolerance = 3) {
    return std::abs(platform::RedOf(a) - platform::RedOf(b)) <= tolerance &&
           std::abs(platform::GreenOf(a) - platform::GreenOf(b)) <= tolerance &&
           std::abs(platform::BlueOf(a) - platform::BlueOf(b)) <= tolerance;
}

::testing::AssertionResult PixelIs(const platform::Image& shot, int32_t x, int32_t y,
                                   platform::Argb expected) {
    const platform::Argb seen = shot.PixelAt(x, y);
    if (Near(seen, expected)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel " << x << "," << y << " is " << std::hex << seen << ", expected " << expected;
}

class DravelWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Without a display the window tests cannot run: that is a failure, not a skip.
        ASSERT_TRUE(platform::InitWindowing()) << "no display for the window tests";
        dialog = std::make_unique<CDravelDlg>(UpdateCommandLine{"12_Update.xml", 0}, &loop);
        ASSERT_TRUE(dialog->Create());
        fill = LoadPicture(IDB_BAR_FULL).PixelAt(200, 13);
        track = LoadPicture(IDB_BAR_EMPTY).PixelAt(200, 13);
    }

    // Lets the window thread handle what is queued until `done` holds or five seconds pass.
    bool RunUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            MessageLoop::RunFor(20ms);
        }
        return true;
    }

    void ShowWindow() {
        platform::Window* window = dialog->Window();
        window->Show();
        window->SetTopmost();
        ASSERT_TRUE(RunUntil([window] { return window->IsVisible(); }));
        MessageLoop::RunFor(300ms);  // the first paint
    }

    // Sends reports as the worker does and waits until the window has handled them all.
    void Report(int value1, int value2, int code, const char* text) {
        dialog->OnStatusCallback(value1, value2, code, text);
    }
    void Settle() { MessageLoop::RunFor(250ms); }

    platform::Image Shot() {
        const platform::Rect bounds = dialog->Window()->Bounds();
        platform::Image shot = platform::CaptureScreen(bounds);
        EXPECT_EQ(shot.Width(), bounds.width);
        EXPECT_EQ(shot.Height(), bounds.height);
        return shot;
    }

    // How much of a bar shows filled: the first track-coloured column along its middle row.
    int32_t FilledWidth(const platform::Image& shot, platform::Rect bar) {
        const int32_t y = bar.y + bar.height / 2;
        for (int32_t x = 0; x < bar.width; ++x) {
            if (!Near(shot.PixelAt(bar.x + x, y), fill)) {
                return x;
            }
        }
        return bar.width;
    }

    MessageLoop loop;
    std::unique_ptr<CDravelDlg> dialog;
    platform::Argb fill = 0;
    platform::Argb track = 0;
};

TEST_F(DravelWindowTest, WindowTakesTheBackgroundsSizeWithItsParts) {
    platform::Window* window = dialog->Window();
    EXPECT_EQ(window->Bounds().width, kWindowWidth);
    EXPECT_EQ(window->Bounds().height, kWindowHeight);
    EXPECT_FALSE(window->IsVisible());  // hidden until the download starts
    EXPECT_EQ(dialog->CloseButton().Control()->Bounds(), kCloseButton);
    EXPECT_EQ(dialog->MinimiseButton().Control()->Bounds(), kMinimiseButton);
    EXPECT_EQ(dialog->FileLine().Control()->Bounds(), TextLinePlace(FileLineBounds()));
    EXPECT_EQ(dialog->TotalLine().Control()->Bounds(), TextLinePlace(TotalLineBounds()));
    EXPECT_EQ(dialog->FileLine().GetWindowText(), kFileLineInitial);
    EXPECT_EQ(dialog->TotalLine().GetWindowText(), kTotalLineInitial);
    EXPECT_TRUE(dialog->CloseButton().IsWindowEnabled());

    // The tip page: a browser at the tip area showing this game's tip.
    dialog->ShowTipPage("37_Update.xml");
    ASSERT_NE(dialog->Browser().Control(), nullptr);
    EXPECT_EQ(dialog->Browser().Control()->Bounds(), kTipArea);
    const std::string address = dialog->Browser().LocationURL();
    const std::string tail = std::string("tip") + platform::kPathSeparator + "tip.html?id=37";
    ASSERT_GE(address.size(), tail.size());
    EXPECT_EQ(address.substr(address.size() - tail.size()), tail);
}

TEST_F(DravelWindowTest, ScreenShowsBackgroundLogoButtonsAndEmptyBars) {
    ShowWindow();
    const platform::Image shot = Shot();
    const platform::Image background = LoadPicture(IDB_BACKGROUND);
    const platform::Image logo = LoadPicture(IDB_LOGO);
    const platform::Image close = LoadPicture(IDB_CLOSE);
    const platform::Image minimise = LoadPicture(IDB_MINIMISE);

    EXPECT_TRUE(PixelIs(shot, 300, 20, background.PixelAt(300, 20)));
    EXPECT_TRUE(PixelIs(shot, 300, 370, background.PixelAt(300, 370)));
    EXPECT_TRUE(PixelIs(shot, kLogoX + 3, kLogoY + 8, logo.PixelAt(3, 8)));
    // The buttons show their first frame; magenta parts show the window's surface.
    for (const auto& [strip, at] :
         {std::pair{&close, kCloseButton}, std::pair{&minimise, kMinimiseButton}}) {
        EXPECT_TRUE(PixelIs(shot, at.x + 4, at.y + 10, strip->PixelAt(4, 10)));
        EXPECT_TRUE(PixelIs(shot, at.x, at.y, background.PixelAt(at.x, at.y)));
    }
    EXPECT_EQ(FilledWidth(shot, kFileBar), 0);
    EXPECT_EQ(FilledWidth(shot, kTotalBar), 0);
    EXPECT_TRUE(PixelIs(shot, kFileBar.x + 300, kFileBar.y + 13, track));
    EXPECT_TRUE(PixelIs(shot, kTotalBar.x + 554, kTotalBar.y + 13, track));
}

TEST_F(DravelWindowTest, BarsFollowTheReports) {
    ShowWindow();
    dialog->SetTotalBytes(5000);
    // The second of five files, 1000 bytes announced; half of it arrived, 1500 in the run.
    Report(4, 1000, DS_FILE_BEGIN, "b.bin");
    Report(500, 1500, DS_PROGRESS, "b.bin");
    Settle();
    platform::Image shot = Shot();
    EXPECT_EQ(FilledWidth(shot, kFileBar), 277);
    EXPECT_EQ(FilledWidth(shot, kTotalBar), 166);
    EXPECT_TRUE(PixelIs(shot, kFileBar.x + 278, kFileBar.y + 13, track));
    // "...共有4个文件..." in the lower line.
    EXPECT_NE(dialog->TotalLine().GetWindowText().find("\xb9\xb2\xd3\xd0"
                                                       "4\xb8\xf6"),
              std::string::npos);
    EXPECT_NE(dialog->FileLine().GetWindowText().find("50%"), std::string::npos);
    EXPECT_NE(dialog->FileLine().GetWindowText().find("b.bin"), std::string::npos);

    // The file is in place: the upper bar empties, the lines and the lower bar stay.
    const std::string fileLine = dialog->FileLine().GetWindowText();
    const std::string totalLine = dialog->TotalLine().GetWindowText();
    Report(0, 0, DS_FILE_DONE, "b.bin");
    Settle();
    shot = Shot();
    EXPECT_EQ(FilledWidth(shot, kFileBar), 0);
    EXPECT_EQ(FilledWidth(shot, kTotalBar), 166);
    EXPECT_EQ(dialog->FileLine().GetWindowText(), fileLine);
    EXPECT_EQ(dialog->TotalLine().GetWindowText(), totalLine);

    // More bytes than announced fill the bar but never paint past its track.
    Report(1, 100, DS_FILE_BEGIN, "c.bin");
    Report(300, 9000, DS_PROGRESS, "c.bin");
    Settle();
    shot = Shot();
    EXPECT_EQ(FilledWidth(shot, kFileBar), kBarWidth);
    EXPECT_EQ(FilledWidth(shot, kTotalBar), kBarWidth);
    const platform::Image background = LoadPicture(IDB_BACKGROUND);
    EXPECT_TRUE(PixelIs(shot, kFileBar.x + kBarWidth + 1, kFileBar.y + 13,
                        background.PixelAt(kFileBar.x + kBarWidth + 1, kFileBar.y + 13)));
}

TEST_F(DravelWindowTest, ZeroLengthsDrawNothing) {
    ShowWindow();  // no total bytes: every listed file was empty
    Report(2, 0, DS_FILE_BEGIN, "empty.bin");
    Report(8192, 8192, DS_PROGRESS, "empty.bin");
    Settle();
    const platform::Image shot = Shot();
    EXPECT_EQ(FilledWidth(shot, kFileBar), 0);
    EXPECT_EQ(FilledWidth(shot, kTotalBar), 0);
    EXPECT_NE(dialog->FileLine().GetWindowText().find("0%"), std::string::npos);
    EXPECT_EQ(dialog->Fields().fileBarWidth, 0);
    EXPECT_EQ(dialog->Fields().totalBarWidth, 0);
}

TEST_F(DravelWindowTest, ReportsFromAnotherThreadArriveWholeAndInOrder) {
    ShowWindow();
    // More reports than a window's message queue holds on Windows (10,000), all sent before
    // the window thread looks at its messages again.
    constexpr int kFiles = 2000;
    dialog->SetTotalBytes(1000u * kFiles);
    std::thread worker([this] {
        for (int file = 0; file < kFiles; ++file) {
            Report(kFiles - file, 1000, DS_FILE_BEGIN, "f.bin");
            for (int block = 1; block <= 4; ++block) {
                Report(block * 250, file * 1000 + block * 250, DS_PROGRESS, "f.bin");
            }
            Report(0, 0, DS_FILE_DONE, "f.bin");
        }
    });
    worker.join();
    ASSERT_TRUE(RunUntil([this] { return dialog->Fields().totalBarWidth == kBarWidth; }));
    Settle();
    EXPECT_EQ(dialog->Fields().fileBarWidth, 0);  // the last report was a file's end
    EXPECT_EQ(dialog->Fields().filesLeft, 1);
    EXPECT_NE(dialog->TotalLine().GetWindowText().find("100%"), std::string::npos);
}

TEST_F(DravelWindowTest, AbortReportClosesTheWindow) {
    ShowWindow();
    Report(0, 0, DS_ABORTED, nullptr);  // the worker stopped after the close button
    ASSERT_TRUE(RunUntil([this] { return dialog->Ended(); }));
    EXPECT_TRUE(loop.QuitRequested());
    EXPECT_FALSE(dialog->Window()->IsVisible());
}

TEST_F(DravelWindowTest, AllDownloadedDisablesBothButtons) {
    ShowWindow();
    Report(0, 0, DS_ALL_DOWNLOADED, nullptr);
    ASSERT_TRUE(RunUntil([this] { return !dialog->CloseButton().IsWindowEnabled(); }));
    EXPECT_FALSE(dialog->MinimiseButton().IsWindowEnabled());
    Settle();
    // The disabled frame (the fifth) shows.
    const platform::Image close = LoadPicture(IDB_CLOSE);
    EXPECT_TRUE(
        PixelIs(Shot(), kCloseButton.x + 4, kCloseButton.y + 10, close.PixelAt(4 * 25 + 4, 10)));
}

TEST_F(DravelWindowTest, MinimiseAndRestoreRepaintsTheCanvas) {
    ShowWindow();
    dialog->SetTotalBytes(1000);
    Report(1, 1000, DS_FILE_BEGIN, "a.bin");
    Report(1000, 1000, DS_PROGRESS, "a.bin");
    dialog->OnCommand(IDC_MINIMISE);
    if (RunUntil([this] { return dialog->Window()->IsMinimised(); })) {
        dialog->Window()->Restore();
        ASSERT_TRUE(RunUntil([this] { return !dialog->Window()->IsMinimised(); }));
    } else {
        // An X server without a window manager minimises nothing: tell the window it came
        // back, as the platform does after a restore.
        dialog->OnMinimisedChanged(true);
        dialog->OnMinimisedChanged(false);
    }
    dialog->Window()->SetTopmost();
    Settle();
    const platform::Image shot = Shot();
    EXPECT_EQ(FilledWidth(shot, kFileBar), kBarWidth);
    const platform::Image minimise = LoadPicture(IDB_MINIMISE);
    EXPECT_TRUE(
        PixelIs(shot, kMinimiseButton.x + 4, kMinimiseButton.y + 10, minimise.PixelAt(4, 10)));
}

TEST_F(DravelWindowTest, SizeChangesRebuildTheCanvas) {
    ShowWindow();
    platform::Window* window = dialog->Window();
    const platform::Rect full = window->Bounds();
    window->SetBounds({full.x, full.y, 300, 200});
    ASSERT_TRUE(RunUntil([window] { return window->Bounds().width == 300; }));
    // The check step gives the window its picture's size back where it stands.
    dialog->SetTotalBytes(2000);
    Report(2, 1000, DS_FILE_BEGIN, "a.bin");
    Report(1000, 1000, DS_PROGRESS, "a.bin");
    window->SetBounds(full);
    ASSERT_TRUE(RunUntil([window] { return window->Bounds().width == kWindowWidth; }));
    window->SetTopmost();
    Settle();
    const platform::Image shot = Shot();
    EXPECT_EQ(FilledWidth(shot, kFileBar), kBarWidth);
    EXPECT_EQ(FilledWidth(shot, kTotalBar), 277);
    const platform::Image background = LoadPicture(IDB_BACKGROUND);
    EXPECT_TRUE(PixelIs(shot, 600, 370, background.PixelAt(600, 370)));
}

}  // namespace
}  // namespace dravel::app

namespace dravel::app {
namespace {

TEST(SplashWindow, ShowsTheLogoPageAtItsSizeInFrontOfTheUpdater) {
    ASSERT_TRUE(platform::InitWindowing()) << "no display for the window tests";
    CDravelDlg dialog(UpdateCommandLine{"Update.xml", 0}, nullptr);
    ASSERT_TRUE(dialog.Create());
    const std::string folder = std::string("lobby") + platform::kPathSeparator;

    CSplash splash;
    ASSERT_TRUE(splash.Create(dialog.Window(), folder));
    EXPECT_FALSE(splash.IsVisible());  // made hidden; the flow shows it
    const platform::Rect bounds = splash.Window()->Bounds();
    EXPECT_EQ(bounds.width, kSplashWidth);
    EXPECT_EQ(bounds.height, kSplashHeight);
    // Centred on the screen.
    const platform::Rect screen = platform::ScreenBounds();
    EXPECT_LE(std::abs(bounds.x - (screen.width - kSplashWidth) / 2), 1);
    EXPECT_LE(std::abs(bounds.y - (screen.height - kSplashHeight) / 2), 1);
    ASSERT_NE(splash.Browser().Control(), nullptr);
    EXPECT_EQ(splash.Browser().Control()->Bounds(),
              (platform::Rect{0, 0, kSplashWidth, kSplashHeight}));
    EXPECT_EQ(splash.Browser().LocationURL(),
              folder + "help" + platform::kPathSeparator + "logo.html");

    splash.ShowWindow(true);
    MessageLoop::RunFor(200ms);
    EXPECT_TRUE(splash.IsVisible());
    splash.ShowWindow(false);
    MessageLoop::RunFor(100ms);
    EXPECT_FALSE(splash.IsVisible());
}

}  // namespace
}  // namespace dravel::app
