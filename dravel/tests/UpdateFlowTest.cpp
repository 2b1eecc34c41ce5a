#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "UpdateFlow.h"

namespace dravel::test {
namespace {

// GBK texts the tests expect (UTF-8 originals in the comments).
const std::string kCaption = "\xcc\xe1\xca\xbe";  // 提示
// 网络连接出错！
const std::string kNetworkError = "\xcd\xf8\xc2\xe7\xc1\xac\xbd\xd3\xb3\xf6\xb4\xed\xa3\xa1";
// 更新失败，请到官网重新下载安装大厅或联系在线客服！
const std::string kLobbyUpdateFailed =
    "\xb8\xfc\xd0\xc2\xca\xa7\xb0\xdc\xa3\xac\xc7\xeb\xb5\xbd\xb9\xd9\xcd\xf8\xd6\xd8\xd0\xc2"
    "\xcf\xc2\xd4\xd8\xb0\xb2\xd7\xb0\xb4\xf3\xcc\xfc\xbb\xf2\xc1\xaa\xcf\xb5\xd4\xda\xcf\xdf"
    "\xbf\xcd\xb7\xfe\xa3\xa1";
const std::string kFileUpdateFailed =
    "\xce\xc4\xbc\xfe\xb8\xfc\xd0\xc2\xca\xa7\xb0\xdc";  // 文件更新失败
// " 最后一个下载的文件"
const std::string kLastFileLabel =
    " \xd7\xee\xba\xf3\xd2\xbb\xb8\xf6\xcf\xc2\xd4\xd8\xb5\xc4\xce\xc4\xbc\xfe";

const std::string kFolder = "C:\\Games\\My Lobby\\";
const std::string kLobbyStart = "start \"C:\\Games\\My Lobby\\Kestrune.exe\" 1";
const std::string kAddress = "http://dl.example/Vorsel/";

// Records every call that carries out a decision, in order, as one line each.
class RecordingHost : public IUpdateHost {
public:
    std::vector<std::string> calls;
    // Answers of the lobby look-ups in turn; once used up, `lobbyPresent` answers.
    std::deque<bool> lobbyAnswers;
    bool lobbyPresent = true;
    bool hasAddress = true;
    ManifestCheck check;
    bool startOk = true;
    bool checkThrows = false;
    bool abortTaken = true;
    bool allInstalled = true;

    bool LobbyWindowExists() override {
        calls.push_back("exists?");
        return Lobby();
    }
    bool NotifyLobby(const std::vector<LobbyNotification>& notifications) override {
        if (!Lobby()) {
            return false;  // no window: nothing arrives
        }
        for (const LobbyNotification& n : notifications) {
            calls.push_back("post " + std::to_string(n.code) + " " + std::to_string(n.value));
        }
        return true;
    }
    void StartProgram(const std::string& commandLine) override {
        calls.push_back("start " + commandLine);
    }
    void WaitMilliseconds(int milliseconds) override {
        calls.push_back("wait " + std::to_string(milliseconds));
    }
    std::string ProgramFolder() override { return kFolder; }
    void ShowSplash() override { calls.push_back("splash show"); }
    void HideSplash() override { calls.push_back("splash hide"); }
    void ShowWindow() override { calls.push_back("window show"); }
    void Minimise() override { calls.push_back("minimise"); }
    void EnableButtons(bool enable) override {
        calls.push_back(enable ? "buttons on" : "buttons off");
    }
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        calls.push_back("message " + text + "|" + caption + "|" +
                        (icon == MessageIcon::kInformation ? "info" : "warning"));
    }
    void StartTimer(int id, int periodMs) override {
        calls.push_back("timer " + std::to_string(id) + " " + std::to_string(periodMs));
    }
    void StopTimer(int id) override { calls.push_back("kill timer " + std::to_string(id)); }
    void CloseWindow() override { calls.push_back("close"); }
    void DestroyWindow() override { calls.push_back("destroy"); }
    void OpenTipPage(const std::string& manifestName) override {
        calls.push_back("tip " + manifestName);
    }
    std::string ReadInstalledVersion(const std::string& manifestName) override {
        calls.push_back("read " + manifestName);
        return "1.0.2";
    }
    void WriteInstalledVersion(const std::string& manifestName,
                               const std::string& version) override {
        calls.push_back("write " + manifestName + "=" + version);
    }
    bool ReadDownloadAddress(std::string& address) override {
        calls.push_back("address?");
        address = hasAddress ? kAddress : "";
        return hasAddress;
    }
    std::string QuerySuffix() override { return "?41.18467"; }
    void InitDownloads(const std::string& address, const std::string& programFolder) override {
        calls.push_back("init " + address + " " + programFolder);
    }
    ManifestCheck CheckManifest(const std::string& manifestUrl, const std::string& installed,
                                int mode) override {
        calls.push_back("check " + manifestUrl + " " + installed + " " + std::to_string(mode));
        if (checkThrows) {
            throw std::bad_alloc();
        }
        return check;
    }
    bool StartDownloads() override {
        calls.push_back("download start");
        return startOk;
    }
    bool AbortDownloads() override {
        calls.push_back("abort");
        return abortTaken;
    }
    bool AllInstalled() override { return allInstalled; }

private:
    bool Lobby() {
        if (lobbyAnswers.empty()) {
            return lobbyPresent;
        }
        const bool answer = lobbyAnswers.front();
        lobbyAnswers.pop_front();
        return answer;
    }
};

class RecordingLog : public IDownloadLog {
public:
    std::vector<std::string> records;
    void Write(const char* source, int line, const std::string& message) override {
        records.push_back(std::string(source) + ":" + std::to_string(line) + " " + message);
    }
};

ManifestCheck Current(const std::string& version) {
    ManifestCheck check;
    check.outcome = CheckOutcome::kCurrent;
    check.manifestVersion = version;
    return check;
}

ManifestCheck Queued(const std::string& version) {
    ManifestCheck check;
    check.outcome = CheckOutcome::kQueued;
    check.manifestVersion = version;
    check.queued = 2;
    check.totalBytes = 300;
    return check;
}

ManifestCheck FailedBeforeVersion() {
    ManifestCheck check;
    check.outcome = CheckOutcome::kFailed;
    check.failure = "HTTP 404";
    return check;
}

std::vector<std::string> Calls(std::initializer_list<std::string> calls) {
    return calls;
}

// The calls from the timer up to the manifest check, for a run that has an address.
std::vector<std::string> CheckPrefix(const std::string& name, int mode) {
    return {"kill timer 1000",
            "exists?",
            "address?",
            "init " + kAddress + " " + kFolder,
            "tip " + name,
            "read " + name,
            "check " + kAddress + name + "?41.18467 1.0.2 " + std::to_string(mode)};
}

std::vector<std::string> Joined(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class UpdateFlowTest : public ::testing::Test {
protected:
    RecordingHost host;
    RecordingLog log;

    UpdateFlow Flow(const std::string& name, int mode) {
        return UpdateFlow(host, UpdateCommandLine{name, mode}, &log);
    }

    // Starts the flow and fires the timer; the calls recorded so far are dropped.
    void RunToDownload(UpdateFlow& flow) {
        flow.OnInitDialog();
        flow.OnTimer(kCheckTimerId);
        ASSERT_EQ(flow.State(), FlowState::kDownloading);
        host.calls.clear();
    }
};

TEST(UpdateCommandLineTest, SplitsAtTheFirstBlankAndReadsTheModeAsTheRuntimeDoes) {
    auto parsed = ParseUpdateCommandLine("12_Update.xml 12");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->manifestName, "12_Update.xml");
    EXPECT_EQ(parsed->mode, 12);

    struct Case {
        const char* text;
        int mode;
    };
    const Case cases[] = {
        {"Update.xml", 0},
        {"Update.xml abc", 0},
        {"Update.xml 999", 999},
        {"Update.xml  999", 999},   // further blanks belong to the mode text
        {"Update.xml 998 7", 998},  // read from its start
        {"Update.xml -5", -5},
        {"Update.xml 12abc", 12},
        {"Update.xml 1234567890123456789", INT_MAX},  // saturates
        {"Update.xml -1234567890123456789", INT_MIN},
        {"Update.xml 00000000000000000012", 1},  // only 19 characters count
    };
    for (const Case& c : cases) {
        parsed = ParseUpdateCommandLine(c.text);
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(parsed->manifestName, "Update.xml") << c.text;
        EXPECT_EQ(parsed->mode, c.mode) << c.text;
    }
}

TEST(UpdateCommandLineTest, NamesNothingWhenEmptyOrStartingWithABlank) {
    EXPECT_FALSE(ParseUpdateCommandLine(""));
    EXPECT_FALSE(ParseUpdateCommandLine(" 12"));
}

TEST(UpdateCommandLineTest, CutsTheManifestNameWithoutSplittingACharacter) {
    auto parsed = ParseUpdateCommandLine(std::string(300, 'a') + " 3");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->manifestName, std::string(259, 'a'));
    EXPECT_EQ(parsed->mode, 3);

    // A double-byte character across the limit goes as a whole.
    parsed = ParseUpdateCommandLine(std::string(258, 'a') + "\xd6\xd0" + " 3");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->manifestName, std::string(258, 'a'));
}

TEST(UpdateStartupTest, OneUpdaterPerManifest) {
    std::set<std::string> held;
    std::vector<std::string> asked;
    auto takeLock = [&](const std::string& name) {
        asked.push_back(name);
        return held.insert(name).second;
    };
    auto first = DecideStartup("12_Update.xml 12", takeLock);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->manifestName, "12_Update.xml");
    EXPECT_EQ(first->mode, 12);
    // A second updater on the same manifest ends at once; another manifest runs beside it.
    EXPECT_FALSE(DecideStartup("12_Update.xml 998", takeLock));
    EXPECT_TRUE(DecideStartup("Update.xml", takeLock));
    // An empty command line ends before any lock is taken.
    EXPECT_FALSE(DecideStartup("", takeLock));
    EXPECT_EQ(asked, Calls({"12_Update.xml", "12_Update.xml", "Update.xml"}));
}

TEST(UpdateStartupTest, QuotesTheLobbyPath) {
    EXPECT_EQ(LobbyCommandLine(kFolder), "\"C:\\Games\\My Lobby\\Kestrune.exe\" 1");
    EXPECT_EQ(LobbyCommandLine("/opt/lobby/"), "\"/opt/lobby/Kestrune.exe\" 1");
}

TEST_F(UpdateFlowTest, RestartWaitsForTheLobbyToGoAwayThenStartsIt) {
    host.lobbyAnswers = {true, true, true, false};
    UpdateFlow flow = Flow("Update.xml", 999);
    flow.OnInitDialog();
    EXPECT_EQ(host.calls, Calls({"splash show", "exists?", "wait 50", "exists?", "wait 50",
                                 "exists?", "wait 50", "exists?", kLobbyStart, "close"}));
    EXPECT_EQ(flow.State(), FlowState::kClosing);
    // No timer was started, so the server is never contacted.
    flow.OnTimer(kCheckTimerId);
    ASSERT_EQ(host.calls.size(), 11u);
    EXPECT_EQ(host.calls.back(), "kill timer 1000");
}

TEST_F(UpdateFlowTest, RestartStartsTheLobbyAfterOneHundredPollsWhenItNeverGoesAway) {
    UpdateFlow flow = Flow("Update.xml", 999);
    flow.OnInitDialog();
    std::vector<std::string> expected = {"splash show"};
    for (int i = 0; i < 100; ++i) {
        expected.push_back("exists?");
        expected.push_back("wait 50");
    }
    expected.push_back(kLobbyStart);
    expected.push_back("close");
    EXPECT_EQ(host.calls, expected);
}

TEST_F(UpdateFlowTest, LowerCaseManifestNameIsAGameManifest) {
    host.check = Current("3.1");
    UpdateFlow flow = Flow("update.xml", 999);
    EXPECT_FALSE(flow.IsLobbyManifest());
    flow.OnInitDialog();
    flow.OnTimer(kCheckTimerId);
    // No splash, no restart, no lobby start: 999 is a game number here.
    EXPECT_EQ(host.calls, Joined(Joined({"timer 1000 500"}, CheckPrefix("update.xml", 999)),
                                 {"write update.xml=3.1", "post 4 0", "post 2 999", "close"}));
}

TEST_F(UpdateFlowTest, NoAddressNotifiesWithoutRecordingAVersion) {
    host.hasAddress = false;
    UpdateFlow flow = Flow("Update.xml", 0);
    flow.OnInitDialog();
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls, Calls({"splash show", "timer 1000 500", "kill timer 1000", "exists?",
                                 "address?", "post 4 0", "post 2 0", kLobbyStart, "close"}));

    // A game run without an address in mode 998, with no lobby window.
    host.calls.clear();
    host.lobbyPresent = false;
    UpdateFlow game = Flow("7_Update.xml", 998);
    game.OnInitDialog();
    game.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls, Calls({"window show", "timer 1000 500", "kill timer 1000", "exists?",
                                 "address?", "close"}));
}

TEST_F(UpdateFlowTest, NothingToFetchRecordsTheVersionAndNotifies) {
    host.check = Current("1.0.3");
    UpdateFlow flow = Flow("12_Update.xml", 12);
    flow.OnInitDialog();
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls, Joined(Joined({"timer 1000 500"}, CheckPrefix("12_Update.xml", 12)),
                                 {"write 12_Update.xml=1.0.3", "post 4 0", "post 2 12", "close"}));
    EXPECT_EQ(flow.State(), FlowState::kClosing);
    // A firing that was already queued checks nothing more.
    const std::size_t seen = host.calls.size();
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls.size(), seen + 1);  // only the timer is killed again
    EXPECT_TRUE(log.records.empty());
}

TEST_F(UpdateFlowTest, VerifyModeShowsAGameWindowAtOnceAndSendsCodeThree) {
    host.check = Current("1.0.3");
    UpdateFlow flow = Flow("12_Update.xml", 998);
    flow.OnInitDialog();
    EXPECT_EQ(host.calls, Calls({"window show", "timer 1000 500"}));
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls,
              Joined(Joined({"window show", "timer 1000 500"}, CheckPrefix("12_Update.xml", 998)),
                     {"write 12_Update.xml=1.0.3", "post 4 0", "post 3 0", "close"}));

    // The lobby's own manifest in mode 998 keeps the splash and starts the lobby afterwards.
    host.calls.clear();
    UpdateFlow lobby = Flow("Update.xml", 998);
    lobby.OnInitDialog();
    lobby.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls,
              Joined(Joined({"splash show", "timer 1000 500"}, CheckPrefix("Update.xml", 998)),
                     {"write Update.xml=1.0.3", "post 4 0", "post 3 0", kLobbyStart, "close"}));
}

TEST_F(UpdateFlowTest, FailedCheckShowsTheNetworkErrorAndRecordsTheEmptyVersion) {
    host.check = FailedBeforeVersion();
    UpdateFlow flow = Flow("Update.xml", 0);
    flow.OnInitDialog();
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls,
              Joined(Joined({"splash show", "timer 1000 500"}, CheckPrefix("Update.xml", 0)),
                     {"message " + kNetworkError + "|" + kCaption + "|warning",
                      "write Update.xml=", "post 4 0", "post 2 0", kLobbyStart, "close"}));
    EXPECT_EQ(log.records, Calls({"CDravelDlg::OnTimer:262 HTTP 404"}));

    // A check that failed after the version was read still leaves the next run to check all.
    host.calls.clear();
    host.check.manifestVersion = "2.0";
    UpdateFlow game = Flow("12_Update.xml", 12);
    game.OnInitDialog();
    game.OnTimer(kCheckTimerId);
    EXPECT_EQ(std::vector<std::string>(host.calls.end() - 5, host.calls.end()),
              Calls({"message " + kNetworkError + "|" + kCaption + "|warning",
                     "write 12_Update.xml=", "post 4 0", "post 2 12", "close"}));

    // A check that ran out of memory (a hostile manifest) ends the same way, never in a window
    // that waits for good.
    host.calls.clear();
    host.checkThrows = true;
    UpdateFlow failing = Flow("12_Update.xml", 12);
    failing.OnInitDialog();
    failing.OnTimer(kCheckTimerId);
    EXPECT_EQ(std::vector<std::string>(host.calls.end() - 5, host.calls.end()),
              Calls({"message " + kNetworkError + "|" + kCaption + "|warning",
                     "write 12_Update.xml=", "post 4 0", "post 2 12", "close"}));
}

TEST_F(UpdateFlowTest, OnlyTheLobbyWindowFoundBeforeTheCheckIsNotified) {
    host.check = Current("1.0.3");
    host.lobbyAnswers = {false};  // gone when the check starts, back by its end
    UpdateFlow flow = Flow("12_Update.xml", 12);
    flow.OnInitDialog();
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(std::vector<std::string>(host.calls.end() - 2, host.calls.end()),
              Calls({"write 12_Update.xml=1.0.3", "close"}));
}

TEST_F(UpdateFlowTest, FinishedGameDownloadNotifiesThenRecordsTheVersion) {
    host.check = Queued("2.0");
    UpdateFlow flow = Flow("12_Update.xml", 12);
    flow.OnInitDialog();
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls, Joined(Joined({"timer 1000 500"}, CheckPrefix("12_Update.xml", 12)),
                                 {"window show", "download start"}));
    host.calls.clear();
    flow.OnStatusCallback(0, 0, DS_CONNECTING, nullptr);
    flow.OnStatusCallback(2, 100, DS_FILE_BEGIN, "a.dll");
    flow.OnStatusCallback(100, 100, DS_PROGRESS, nullptr);
    flow.OnStatusCallback(0, 0, DS_FILE_DONE, "a.dll");
    EXPECT_TRUE(host.calls.empty());
    flow.OnStatusCallback(0, 0, DS_ALL_DOWNLOADED, nullptr);
    EXPECT_EQ(flow.State(), FlowState::kInstalling);
    flow.OnStatusCallback(0, 0, DS_INSTALLING, "installing");
    flow.OnStatusCallback(0, 0, DS_FINISHED, nullptr);
    EXPECT_EQ(host.calls,
              Calls({"buttons off", "post 4 0", "post 2 12", "write 12_Update.xml=2.0", "close"}));
    EXPECT_EQ(flow.State(), FlowState::kClosing);
}

TEST_F(UpdateFlowTest, FinishedDownloadWithAFileLeftOutIsNotCurrent) {
    host.check = Queued("2.0");
    host.allInstalled = false;
    UpdateFlow flow = Flow("12_Update.xml", 998);
    RunToDownload(flow);
    flow.OnStatusCallback(0, 0, DS_ALL_DOWNLOADED, nullptr);
    flow.OnStatusCallback(0, 0, DS_FINISHED, nullptr);
    // Mode 998: a finished game download tells the lobby nothing.
    EXPECT_EQ(host.calls, Calls({"buttons off", "write 12_Update.xml=", "close"}));

    // Any other mode: the lobby hears the game code without "current".
    host.calls.clear();
    UpdateFlow game = Flow("12_Update.xml", 12);
    RunToDownload(game);
    game.OnStatusCallback(0, 0, DS_ALL_DOWNLOADED, nullptr);
    game.OnStatusCallback(0, 0, DS_FINISHED, nullptr);
    EXPECT_EQ(host.calls, Calls({"buttons off", "post 2 12", "write 12_Update.xml=", "close"}));
}

TEST_F(UpdateFlowTest, FinishedLobbyDownloadStartsTheLobbyFirst) {
    host.check = Queued("2.0");
    UpdateFlow flow = Flow("Update.xml", 0);
    flow.OnInitDialog();
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(std::vector<std::string>(host.calls.end() - 3, host.calls.end()),
              Calls({"splash hide", "window show", "download start"}));
    host.calls.clear();
    flow.OnStatusCallback(0, 0, DS_ALL_DOWNLOADED, nullptr);
    flow.OnStatusCallback(0, 0, DS_FINISHED, nullptr);
    EXPECT_EQ(host.calls, Calls({"buttons off", kLobbyStart, "write Update.xml=2.0", "close"}));
}

TEST_F(UpdateFlowTest, FailedGameDownloadLogsTheLastFileAndSendsOnlyTheGameCode) {
    host.check = Queued("2.0");
    UpdateFlow flow = Flow("12_Update.xml", 12);
    RunToDownload(flow);
    flow.OnStatusCallback(2, 10, DS_FILE_BEGIN, "a.dll");
    flow.OnStatusCallback(1, 10, DS_FILE_BEGIN, "data/b.pak");
    flow.OnStatusCallback(0, 0, DS_FAILED, "timeout");
    EXPECT_EQ(log.records,
              Calls({"CDravelDlg::OnStatusCallback:339 timeout" + kLastFileLabel + "data/b.pak"}));
    EXPECT_EQ(host.calls, Calls({"message timeout\n" + kFileUpdateFailed + "|" + kCaption + "|info",
                                 "post 2 12", "close"}));

    // Mode 998: only code 3; without a lobby window nothing is posted at all.
    host.calls.clear();
    log.records.clear();
    UpdateFlow verify = Flow("12_Update.xml", 998);
    RunToDownload(verify);
    verify.OnStatusCallback(0, 0, DS_FAILED, nullptr);  // no reason, no announced file
    EXPECT_EQ(log.records, Calls({"CDravelDlg::OnStatusCallback:339 " + kLastFileLabel}));
    EXPECT_EQ(host.calls, Calls({"message \n" + kFileUpdateFailed + "|" + kCaption + "|info",
                                 "post 3 0", "close"}));

    host.calls.clear();
    host.lobbyPresent = false;
    UpdateFlow alone = Flow("12_Update.xml", 12);
    RunToDownload(alone);
    alone.OnStatusCallback(0, 0, DS_FAILED, "timeout");
    EXPECT_EQ(host.calls,
              Calls({"message timeout\n" + kFileUpdateFailed + "|" + kCaption + "|info", "close"}));
}

TEST_F(UpdateFlowTest, FailedLobbyDownloadShowsItsMessageThenStartsTheLobby) {
    host.check = Queued("2.0");
    UpdateFlow flow = Flow("Update.xml", 0);
    RunToDownload(flow);
    flow.OnStatusCallback(0, 0, DS_FAILED, "disk full");
    EXPECT_EQ(host.calls, Calls({"message " + kLobbyUpdateFailed + "|" + kCaption + "|info",
                                 kLobbyStart, "close"}));
    EXPECT_EQ(flow.State(), FlowState::kClosing);
}

TEST_F(UpdateFlowTest, WorkerThatCannotStartEndsAsAFailedDownload) {
    host.check = Queued("2.0");
    host.startOk = false;
    UpdateFlow flow = Flow("12_Update.xml", 12);
    flow.OnInitDialog();
    flow.OnTimer(kCheckTimerId);
    // "无法开始下载"
    const std::string reason = "\xce\xde\xb7\xa8\xbf\xaa\xca\xbc\xcf\xc2\xd4\xd8";
    EXPECT_EQ(std::vector<std::string>(host.calls.end() - 4, host.calls.end()),
              Calls({"download start",
                     "message " + reason + "\n" + kFileUpdateFailed + "|" + kCaption + "|info",
                     "post 2 12", "close"}));
}

TEST_F(UpdateFlowTest, CloseDuringTheDownloadAbortsAndWaitsForTheWorker) {
    host.check = Queued("2.0");
    UpdateFlow flow = Flow("12_Update.xml", 12);
    RunToDownload(flow);
    flow.OnCloseButton();
    EXPECT_EQ(host.calls, Calls({"abort", "buttons off", "post 5 0"}));
    EXPECT_EQ(flow.State(), FlowState::kAborting);
    flow.OnCloseButton();  // Esc again while stopping
    EXPECT_EQ(host.calls.size(), 3u);
    flow.OnStatusCallback(0, 0, DS_ABORTED, nullptr);
    EXPECT_EQ(host.calls, Calls({"abort", "buttons off", "post 5 0", "close"}));
}

// The downloads ended just before the press (the window has not yet handled their report):
// the lobby must hear how the run ended, never "cancelled" followed by "current", nor nothing.
TEST_F(UpdateFlowTest, CloseAfterTheDownloadsEndedLeavesTheEndToCloseAndTell) {
    const std::vector<std::string> installed{"buttons off", "post 4 0", "post 2 12",
                                             "write 12_Update.xml=2.0", "close"};
    for (int status : {DS_ALL_DOWNLOADED, DS_FAILED}) {
        SCOPED_TRACE(status);
        host.check = Queued("2.0");
        UpdateFlow flow = Flow("12_Update.xml", 12);
        RunToDownload(flow);
        host.abortTaken = false;  // the worker's end came first
        flow.OnCloseButton();
        EXPECT_EQ(host.calls, Calls({"abort"}));
        EXPECT_EQ(flow.State(), FlowState::kDownloading);
        host.calls.clear();
        if (status == DS_FAILED) {
            flow.OnStatusCallback(0, 0, DS_FAILED, "reason");
            EXPECT_EQ(std::vector<std::string>(host.calls.end() - 2, host.calls.end()),
                      Calls({"post 2 12", "close"}));
        } else {
            flow.OnStatusCallback(0, 0, DS_ALL_DOWNLOADED, nullptr);
            flow.OnStatusCallback(0, 0, DS_FINISHED, nullptr);
            EXPECT_EQ(host.calls, installed);
        }
        host.calls.clear();
        host.abortTaken = true;
    }
}

TEST_F(UpdateFlowTest, CloseBeforeTheCheckEndsTheRunWithoutWaitingForAWorker) {
    UpdateFlow flow = Flow("12_Update.xml", 998);
    flow.OnInitDialog();
    host.calls.clear();
    flow.OnCloseButton();
    EXPECT_EQ(host.calls, Calls({"kill timer 1000", "post 5 0", "destroy"}));
    // A timer message already queued does not start the check any more.
    flow.OnTimer(kCheckTimerId);
    EXPECT_EQ(host.calls, Calls({"kill timer 1000", "post 5 0", "destroy", "kill timer 1000"}));
}

}  // namespace
}  // namespace dravel::test
