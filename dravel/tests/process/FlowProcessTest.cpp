// The updater as a process: every way a run ends, as the lobby stand-in sees it and as the
// program folder and version.ini hold it afterwards.
#include <gmock/gmock.h>

#include <thread>

#include "ProcessFixture.h"

namespace dravel::proc {
namespace {

using ::testing::ElementsAre;

// The lobby's record lines for WM_UPDATE_NOTIFY (0x465) with a code and a value.
std::string Notify(int code, int value) {
    return "post 1125 " + std::to_string(code) + " " + std::to_string(value);
}

// The record line of a lobby that the updater started.
constexpr const char* kLobbyRestarted = "start 1";

using RestartTest = DravelProcessTest;

TEST_F(RestartTest, WaitsForTheLobbyToGoAwayThenStartsItWithoutChecking) {
    WriteLobbyUrl();
    Publish("Update.xml", "2.0", {{"a.bin", Content(1000, 1)}});
    ASSERT_TRUE(StartLobby({"--exit-after-ms", "2500"}));
    const auto started = Clock::now();

    EXPECT_EQ(RunDravel("Update.xml", "999", 20s), 0);
    const auto took = Clock::now() - started;
    EXPECT_GE(took, 2300ms);  // the lobby was still there for the first polls
    EXPECT_LT(took, 4800ms);  // and the wait ended once it had gone, before the polls ran out
    EXPECT_TRUE(WaitForRecordLines(kLobbyRestarted, 1, 10s));
    EXPECT_THAT(Record(), ElementsAre("start", kLobbyRestarted));
    EXPECT_FALSE(Exists("a.bin"));  // nothing checked, nothing fetched
    EXPECT_FALSE(InstalledVersion("Update.xml"));
}

TEST_F(RestartTest, StartsTheLobbyAfterOneHundredPollsWhenItNeverGoesAway) {
    ASSERT_TRUE(StartLobby());
    const auto started = Clock::now();
    EXPECT_EQ(RunDravel("Update.xml", "999", 30s), 0);
    const auto took = Clock::now() - started;
    EXPECT_GE(took, 4500ms);  // one hundred polls of 50 ms
    EXPECT_LT(took, 15s);
    EXPECT_TRUE(WaitForRecordLines(kLobbyRestarted, 1, 10s));
    EXPECT_THAT(Record(), ElementsAre("start", kLobbyRestarted));
}

using FlowTest = DravelProcessTest;

TEST_F(FlowTest, NoAddressEndsWithCodesFourAndTwoAndOnlyTheLobbyManifestRestartsTheLobby) {
    ASSERT_TRUE(StartLobby());
    EXPECT_EQ(RunDravel("12_Update.xml", "12"), 0);
    EXPECT_THAT(Posts(2), ElementsAre(Notify(4, 0), Notify(2, 12)));
    // In other letter case the lobby's manifest name is a game manifest's.
    EXPECT_EQ(RunDravel("update.xml", "5"), 0);
    EXPECT_THAT(Posts(4), ElementsAre(Notify(4, 0), Notify(2, 12), Notify(4, 0), Notify(2, 5)));

    // The lobby's own manifest also starts the lobby, after the notifications. Had an earlier
    // run started it, its line would stand before this run's notifications.
    EXPECT_EQ(RunDravel("Update.xml", "7"), 0);
    ASSERT_TRUE(WaitForRecordLines(kLobbyRestarted, 1, 10s));
    std::this_thread::sleep_for(300ms);
    EXPECT_THAT(Record(), ElementsAre("start", Notify(4, 0), Notify(2, 12), Notify(4, 0),
                                      Notify(2, 5), Notify(4, 0), Notify(2, 7), kLobbyRestarted));
    EXPECT_FALSE(Exists("version.ini"));
}

TEST_F(FlowTest, NothingToFetchRecordsTheNewVersionAndNotifies) {
    const FileList files{{"a.bin", Content(5000, 2)}, {"data/b.bin", Content(7000, 3)}};
    WriteLobbyUrl();
    Publish("12_Update.xml", "2.0", files);
    for (const auto& [name, content] : files) {
        WriteFile(name, content);
    }
    SetInstalledVersion("12_Update.xml", "1.0");
    ASSERT_TRUE(StartLobby());

    EXPECT_EQ(RunDravel("12_Update.xml", "12"), 0);
    EXPECT_THAT(Posts(2), ElementsAre(Notify(4, 0), Notify(2, 12)));
    EXPECT_EQ(InstalledVersion("12_Update.xml"), "2.0");
    EXPECT_EQ(ReadFile("a.bin"), files[0].second);
    EXPECT_EQ(ReadFile("data/b.bin"), files[1].second);
}

TEST_F(FlowTest, FailedCheckShowsTheNetworkErrorAndRecordsAnEmptyVersion) {
    WriteLobbyUrl();  // the server has no manifest: 404
    SetInstalledVersion("12_Update.xml", "1.0");
    ASSERT_TRUE(StartLobby());

    ASSERT_TRUE(StartDravel(dravel_, "12_Update.xml", "12"));
    EXPECT_TRUE(AnswerMessageBox(dravel_.Id(), kMessageCaption, 20s));
    EXPECT_EQ(dravel_.WaitForExit(10s), 0);
    EXPECT_THAT(Posts(2), ElementsAre(Notify(4, 0), Notify(2, 12)));
    // Empty, so the next run compares every file again.
    EXPECT_EQ(InstalledVersion("12_Update.xml"), "");
}

TEST_F(FlowTest, FinishedGameDownloadInstallsEveryFileThenNotifiesAndRecords) {
    // The updater's own file, listed in other letter case, as it is named on this platform.
    const std::string ownFile = ProgramFile("DRAVEL");
    const std::string ownStaged = "DRAVEL.EX_";
    const FileList files{{"a.bin", Content(30000, 4)},
                         {"data/sub/file.bin", Content(20000, 5)},
                         {ownFile, Content(12000, 6)},
                         {"c.bin", Content(0, 7)}};
    WriteLobbyUrl();
    Publish("12_Update.xml", "2.0", files);
    WriteFile("a.bin", "old a");
    SetInstalledVersion("12_Update.xml", "1.0");
    const std::optional<std::string> program = ReadFile(ProgramFile("Dravel"));
    ASSERT_TRUE(program);
    ASSERT_TRUE(StartLobby());

    EXPECT_EQ(RunDravel("12_Update.xml", "12"), 0);
    EXPECT_THAT(Posts(2), ElementsAre(Notify(4, 0), Notify(2, 12)));
    EXPECT_EQ(InstalledVersion("12_Update.xml"), "2.0");
    EXPECT_EQ(ReadFile("a.bin"), files[0].second);
    EXPECT_EQ(ReadFile("data/sub/file.bin"), files[1].second);  // its folders were made
    EXPECT_EQ(ReadFile(ownStaged), files[2].second);            // beside the running program
    EXPECT_EQ(ReadFile(ProgramFile("Dravel")), program);        // which stayed as it was
    EXPECT_EQ(ReadFile("c.bin"), "");
    for (const char* staging :
         {"a.bin.dtm", "data/sub/file.bin.dtm", "c.bin.dtm", "DRAVEL.dtm", "DRAVEL.EXE.dtm"}) {
        EXPECT_FALSE(Exists(staging)) << staging;
    }
}

TEST_F(FlowTest, VerifyModeRepairsAFileOfACurrentVersionAndSendsCodeThree) {
    const FileList files{{"a.bin", Content(8000, 8)}, {"b.bin", Content(9000, 9)}};
    WriteLobbyUrl();
    Publish("12_Update.xml", "2.0", files);
    WriteFile("a.bin", files[0].second);
    WriteFile("b.bin", "damaged");
    SetInstalledVersion("12_Update.xml", "2.0");
    ASSERT_TRUE(StartLobby());

    // The same version without verifying looks at no file.
    EXPECT_EQ(RunDravel("12_Update.xml", "12"), 0);
    EXPECT_EQ(ReadFile("b.bin"), "damaged");
    EXPECT_THAT(Posts(2), ElementsAre(Notify(4, 0), Notify(2, 12)));

    // Verifying repairs it; a finished verify download tells the lobby nothing.
    EXPECT_EQ(RunDravel("12_Update.xml", "998"), 0);
    EXPECT_EQ(ReadFile("b.bin"), files[1].second);
    EXPECT_EQ(InstalledVersion("12_Update.xml"), "2.0");
    EXPECT_THAT(Posts(2), ElementsAre(Notify(4, 0), Notify(2, 12)));

    // Verifying again finds nothing to fetch: code 3 in place of code 2.
    EXPECT_EQ(RunDravel("12_Update.xml", "998"), 0);
    EXPECT_THAT(Posts(4), ElementsAre(Notify(4, 0), Notify(2, 12), Notify(4, 0), Notify(3, 0)));
}

TEST_F(FlowTest, VerifyModeShowsAGameWindowWhileTheManifestIsChecked) {
    WriteLobbyUrl();
    Publish("12_Update.xml", "2.0", {});
    // The manifest takes three seconds to arrive: the check is still running meanwhile.
    SetFaults("/Vorsel/12_Update.xml stall=3000 stallat=0\n");
    ASSERT_TRUE(StartLobby());

    ASSERT_TRUE(StartDravel(dravel_, "12_Update.xml", "12"));
    EXPECT_FALSE(FindProgramWindow(dravel_.Id(), kDravelTitle, 2000ms));  // hidden until a download
    EXPECT_EQ(dravel_.WaitForExit(30s), 0);

    ASSERT_TRUE(StartDravel(dravel_, "12_Update.xml", "998"));
    EXPECT_TRUE(FindProgramWindow(dravel_.Id(), kDravelTitle, 2000ms));
    EXPECT_EQ(dravel_.WaitForExit(30s), 0);
    EXPECT_THAT(Posts(4), ElementsAre(Notify(4, 0), Notify(2, 12), Notify(4, 0), Notify(3, 0)));
}

TEST_F(FlowTest, SecondUpdaterOnTheSameManifestEndsAtOnce) {
    WriteLobbyUrl();
    // Ten seconds for the first updater's file: it is still downloading meanwhile.
    Publish("12_Update.xml", "2.0", {{"slow.bin", Content(1000000, 10)}});
    SetFaults("/Vorsel/slow.bin rate=100000\n");
    Publish("13_Update.xml", "3.0", {});
    ASSERT_TRUE(StartLobby());

    ASSERT_TRUE(StartDravel(dravel_, "12_Update.xml", "12"));
    ASSERT_TRUE(FindProgramWindow(dravel_.Id(), kDravelTitle, 20s)) << "the download did not start";

    Process second;
    ASSERT_TRUE(StartDravel(second, "12_Update.xml", "12"));
    const auto started = Clock::now();
    EXPECT_EQ(second.WaitForExit(10s), 0);
    EXPECT_LT(Clock::now() - started, 3s);
    EXPECT_TRUE(dravel_.Running());

    // Another manifest runs beside the first.
    Process other;
    ASSERT_TRUE(StartDravel(other, "13_Update.xml", "13"));
    EXPECT_EQ(other.WaitForExit(30s), 0);
    EXPECT_THAT(Posts(2), ElementsAre(Notify(4, 0), Notify(2, 13)));
    EXPECT_EQ(InstalledVersion("13_Update.xml"), "3.0");
    EXPECT_FALSE(InstalledVersion("12_Update.xml"));
    EXPECT_FALSE(dravel_.WaitForExit(0ms));
}

TEST_F(FlowTest, CloseDuringTheDownloadSendsCodeFiveAndKeepsTheOldFiles) {
    const FileList files{
        {"a.bin", Content(4000, 11)}, {"b.bin", Content(2000000, 12)}, {"c.bin", Content(10, 13)}};
    WriteLobbyUrl();
    Publish("12_Update.xml", "2.0", files);
    SetFaults("/Vorsel/b.bin rate=200000\n");  // ten seconds for b.bin
    WriteFile("b.bin", "old b");
    SetInstalledVersion("12_Update.xml", "1.0");
    ASSERT_TRUE(StartLobby());

    ASSERT_TRUE(StartDravel(dravel_, "12_Update.xml", "12"));
    const std::optional<WindowSpot> window = FindProgramWindow(dravel_.Id(), kDravelTitle, 20s);
    ASSERT_TRUE(window) << "the progress window did not appear";
    // Wait until b.bin arrives, then press close as the player would.
    const auto deadline = Clock::now() + 10s;
    while (!Exists("b.bin.dtm") && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(Exists("b.bin.dtm")) << "b.bin was never staged";
    ASSERT_TRUE(ClickAt(*window, kCloseX, kCloseY));
    const auto pressed = Clock::now();

    EXPECT_EQ(dravel_.WaitForExit(10s), 0);
    EXPECT_LT(Clock::now() - pressed, 3s);
    EXPECT_THAT(Posts(1), ElementsAre(Notify(5, 0)));
    EXPECT_EQ(ReadFile("a.bin"), files[0].second);
    EXPECT_EQ(ReadFile("b.bin"), "old b");
    EXPECT_FALSE(Exists("c.bin"));  // never fetched
    EXPECT_EQ(InstalledVersion("12_Update.xml"), "1.0");
}

using DownloadPassTest = DravelProcessTest;

TEST_F(DownloadPassTest, TwoFailuresThenSuccessCostTwoOneSecondPauses) {
    const FileList files{{"a.bin", Content(3000, 14)}, {"b.bin", Content(5000, 15)}};
    WriteLobbyUrl();
    Publish("12_Update.xml", "2.0", files);
    Publish("13_Update.xml", "2.0", files);
    ASSERT_TRUE(StartLobby());

    // The same run without faults, for the time a run takes here.
    auto started = Clock::now();
    EXPECT_EQ(RunDravel("13_Update.xml", "13"), 0);
    const auto plain = Clock::now() - started;
    fs::remove(Prog("a.bin"));
    fs::remove(Prog("b.bin"));

    SetFaults("/Vorsel/b.bin fail=2\n");
    started = Clock::now();
    EXPECT_EQ(RunDravel("12_Update.xml", "12"), 0);
    const auto faulted = Clock::now() - started;
    EXPECT_GE(faulted - plain, 1700ms);
    EXPECT_LT(faulted - plain, 6s);
    EXPECT_EQ(ReadFile("a.bin"), files[0].second);
    EXPECT_EQ(ReadFile("b.bin"), files[1].second);
    EXPECT_EQ(InstalledVersion("12_Update.xml"), "2.0");
    EXPECT_THAT(Posts(4), ElementsAre(Notify(4, 0), Notify(2, 13), Notify(4, 0), Notify(2, 12)));
}

TEST_F(DownloadPassTest, ThirtyFailedAttemptsOverSeveralFilesEndTheRunWithTheReason) {
    const FileList files{
        {"a.bin", Content(3000, 16)}, {"b.bin", Content(4000, 17)}, {"c.bin", Content(5000, 18)}};
    WriteLobbyUrl();
    Publish("12_Update.xml", "2.0", files);
    // Ten failures each: no file reaches thirty, the pass does.
    SetFaults("/Vorsel/a.bin fail=10\n/Vorsel/b.bin fail=10\n/Vorsel/c.bin fail=10\n");
    WriteFile("c.bin", "old c");
    SetInstalledVersion("12_Update.xml", "1.0");
    ASSERT_TRUE(StartLobby());

    const auto started = Clock::now();
    ASSERT_TRUE(StartDravel(dravel_, "12_Update.xml", "12"));
    EXPECT_TRUE(AnswerMessageBox(dravel_.Id(), kMessageCaption, 90s));
    EXPECT_GE(Clock::now() - started, 29s);  // 29 pauses of one second
    EXPECT_EQ(dravel_.WaitForExit(10s), 0);

    EXPECT_THAT(Posts(1), ElementsAre(Notify(2, 12)));  // no code 4 before a failure
    EXPECT_EQ(InstalledVersion("12_Update.xml"), "1.0");
    EXPECT_EQ(ReadFile("a.bin"), files[0].second);
    EXPECT_EQ(ReadFile("b.bin"), files[1].second);
    EXPECT_EQ(ReadFile("c.bin"), "old c");
    // The reason ("下载 c.bin 文件失败") and the file last announced, in the updater's log.
    const std::string log = DravelLog();
    EXPECT_NE(log.find("\xcf\xc2\xd4\xd8 c.bin \xce\xc4\xbc\xfe\xca\xa7\xb0\xdc"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\xce\xc4\xbc\xfe"
                       "b.bin"),
              std::string::npos)
        << log;
}

}  // namespace
}  // namespace dravel::proc
