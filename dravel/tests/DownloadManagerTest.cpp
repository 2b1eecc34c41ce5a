#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "Digest.h"
#include "DownloadManager.h"
#include "FileNames.h"
#include "Md5.h"
#include "TestSupport.h"
#include "platform/Paths.h"

namespace dravel::test {
namespace {

using namespace std::chrono_literals;

std::string Md5Of(const std::string& content) {
    return harbex::Md5::ToHex(harbex::Md5::Of(content));
}

class DownloadTest : public ::testing::Test {
protected:
    DownloadServices Services() {
        DownloadServices services;
        services.fetcher = &fetcher;
        services.files = &files;
        services.pause = &pause;
        services.log = &log;
        services.querySuffix = [] { return std::string("?1.2"); };
        services.programFileName = "Dravel.exe";
        return services;
    }

    // A manager over the scratch folder, with `names` served and queued.
    std::unique_ptr<CDownloadMgr> Manager(const std::vector<std::string>& names) {
        auto manager = std::make_unique<CDownloadMgr>(Services());
        EXPECT_EQ(manager->Init(&sink, "http://dl.test/Vorsel", folder.Path(), folder.Path()), 1);
        for (const std::string& name : names) {
            EXPECT_EQ(manager->AddTask(name, Md5Of(fetcher.files[name])), 1) << name;
        }
        return manager;
    }

    TempFolder folder;
    FakeFetcher fetcher;
    MoveFailingFiles files;
    RecordingPause pause;
    RecordingLog log;
    RecordingSink sink;
};

TEST_F(DownloadTest, FilesArriveInPlaceWithEveryReportInOrder) {
    fetcher.files["a.bin"] = Bytes(10000, 'a');
    fetcher.files["b.txt"] = "hello";
    WriteFile(folder / "a.bin", "old content");
    auto manager = Manager({"a.bin", "b.txt"});

    EXPECT_EQ(manager->OnDownloadProc(), 0);
    EXPECT_EQ(sink.Codes(), (std::vector<int>{1, 3, 4, 4, 5, 1, 3, 4, 5, 6}));
    const std::vector<Report> begins = sink.WithCode(DS_FILE_BEGIN);
    EXPECT_EQ(begins[0].value1, 2);  // files left, this one included
    EXPECT_EQ(begins[0].value2, 10000);
    EXPECT_EQ(begins[1].value1, 1);
    EXPECT_EQ(begins[1].value2, 5);
    const std::vector<Report> progress = sink.WithCode(DS_PROGRESS);
    EXPECT_EQ(progress[0].value1, 8192);
    EXPECT_EQ(progress[1].value1, 10000);
    EXPECT_EQ(progress[2].value1, 5);
    EXPECT_EQ(progress[2].value2, 10005);  // received bytes of the whole run
    EXPECT_EQ(sink.WithCode(DS_FILE_DONE)[1].text, "b.txt");
    EXPECT_FALSE(sink.WithCode(DS_ALL_DOWNLOADED)[0].text.has_value());
    EXPECT_EQ(manager->GetReceivedBytes(), 10005u);
    EXPECT_EQ(ReadFile(folder / "a.bin"), fetcher.files["a.bin"]);
    EXPECT_EQ(ReadFile(folder / "b.txt"), "hello");
    EXPECT_FALSE(ReadFile(folder / "a.bin.dtm").has_value());
    EXPECT_EQ(fetcher.Urls()[0], "http://dl.test/Vorsel/a.bin?1.2");

    EXPECT_EQ(manager->OnInstallProc(), 0);
    const std::vector<Report> all = sink.Reports();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[all.size() - 2].code, DS_INSTALLING);
    EXPECT_EQ(
        all[all.size() - 2].text,
        "\xBF\xAA\xCA\xBC\xB0\xB2\xD7\xB0\xB8\xFC\xD0\xC2\xA3\xAC\xC7\xEB\xC9\xD4\xBA\xF2...");
    EXPECT_EQ(all.back().code, DS_FINISHED);
    EXPECT_EQ(manager->GetStatus(), DS_ALL_DOWNLOADED);  // 8 and 9 are not stored
    EXPECT_TRUE(manager->AllInstalled());
}

TEST_F(DownloadTest, AnEmptyFileIsAnnouncedAndInstalled) {
    fetcher.files["empty.dat"] = "";
    auto manager = Manager({"empty.dat"});
    EXPECT_EQ(manager->OnDownloadProc(), 0);
    EXPECT_EQ(sink.Codes(), (std::vector<int>{1, 3, 4, 5, 6}));
    EXPECT_EQ(ReadFile(folder / "empty.dat"), "");
}

TEST_F(DownloadTest, FailedAttemptsPauseASecondAndTheCountSpansThePass) {
    fetcher.files["a.txt"] = "first";
    fetcher.files["b.txt"] = "second";
    fetcher.faults["b.txt"] = {FakeFetcher::Fault::kConnectionError, FakeFetcher::Fault::kHttp404};
    auto manager = Manager({"a.txt", "b.txt"});

    EXPECT_EQ(manager->OnDownloadProc(), 0);
    EXPECT_EQ(pause.Pauses(), (std::vector<std::chrono::milliseconds>{1000ms, 1000ms}));
    EXPECT_EQ(fetcher.RequestedNames(),
              (std::vector<std::string>{"a.txt", "b.txt", "b.txt", "b.txt"}));
    EXPECT_EQ(ReadFile(folder / "b.txt"), "second");
    EXPECT_EQ(sink.Codes().back(), DS_ALL_DOWNLOADED);
}

TEST_F(DownloadTest, ThirtyFailedAttemptsOverSeveralFilesEndTheRun) {
    using Fault = FakeFetcher::Fault;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        fetcher.files[name] = std::string("content of ") + name;
        fetcher.faults[name] = std::deque<Fault>(12, Fault::kConnectionError);
    }
    WriteFile(folder / "c.txt", "installed");
    auto manager = Manager({"a.txt", "b.txt", "c.txt"});

    EXPECT_EQ(manager->OnDownloadProc(), 1);
    // 12 + 12 failures, then 6 more on the third file: no file failed thirty times itself.
    EXPECT_EQ(fetcher.Urls().size(), 12u + 1 + 12 + 1 + 6);
    EXPECT_EQ(pause.Pauses().size(), 29u);
    const Report last = sink.Reports().back();
    EXPECT_EQ(last.code, DS_FAILED);
    EXPECT_EQ(last.text, "host unreachable");
    EXPECT_EQ(manager->GetStatus(), DS_FAILED);
    EXPECT_EQ(ReadFile(folder / "c.txt"), "installed");
    EXPECT_EQ(manager->TaskCount(), 3u);  // the list stays for the window to look at
}

TEST_F(DownloadTest, BadResponsesAreFailedAttemptsAndNeverInstalled) {
    using Fault = FakeFetcher::Fault;
    const std::vector<std::pair<Fault, const char*>> cases = {
        {Fault::kHttp404, "a 404 page"},
        {Fault::kShort, "a body cut short"},
        {Fault::kLyingComplete, "a body shorter than announced, reported as complete"},
        {Fault::kStall, "a stall"},
        {Fault::kWrongBody, "a body that does not match the listed digest"},
    };
    for (const auto& [fault, what] : cases) {
        SCOPED_TRACE(what);
        TempFolder scratch;
        FakeFetcher server;
        RecordingSink reports;
        server.files["game.dat"] = Bytes(20000, 'g');
        server.faults["game.dat"] = std::deque<Fault>(30, fault);
        WriteFile(scratch / "game.dat", "installed");
        DownloadServices services = Services();
        services.fetcher = &server;
        CDownloadMgr manager(services);
        manager.Init(&reports, FakeFetcher::kBase, scratch.Path(), scratch.Path());
        manager.AddTask("game.dat", Md5Of(server.files["game.dat"]));

        EXPECT_EQ(manager.OnDownloadProc(), 1);
        EXPECT_EQ(ReadFile(scratch / "game.dat"), "installed");
        EXPECT_FALSE(ReadFile(scratch / "game.dat.dtm").has_value());
        const std::string expected =
            fault == Fault::kStall ? "host unreachable"
                                   : "\xCF\xC2\xD4\xD8 game.dat \xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC";
        EXPECT_EQ(reports.Reports().back().text, expected);
    }
}

TEST_F(DownloadTest, SubFoldersAreCreatedForNestedNames) {
    fetcher.files["data/sub/file.bin"] = "nested";
    fetcher.files["data/other/x.bin"] = "backslashed";
    auto manager = Manager({"data/sub/file.bin"});
    EXPECT_EQ(manager->AddTask("data\\other\\x.bin"), 1);
    EXPECT_EQ(manager->OnDownloadProc(), 0);
    EXPECT_EQ(ReadFile(folder / "data/sub/file.bin"), "nested");
    EXPECT_EQ(ReadFile(JoinFolder(folder.Path(), NativeFileName("data\\other\\x.bin"))),
              "backslashed");
    EXPECT_EQ(fetcher.Urls()[1], "http://dl.test/Vorsel/data/other/x.bin?1.2");
}

TEST_F(DownloadTest, TheUpdatersOwnFileArrivesBesideTheRunningProgram) {
    fetcher.files["DRAVEL.EXE"] = "new updater";
    fetcher.files["sub/Dravel.exe"] = "not the running program";
    WriteFile(folder / "Dravel.exe", "running updater");
    auto manager = Manager({"DRAVEL.EXE", "sub/Dravel.exe"});
    EXPECT_EQ(manager->OnDownloadProc(), 0);
    manager->OnInstallProc();
    EXPECT_EQ(ReadFile(folder / "DRAVEL.EX_"), "new updater");
    EXPECT_EQ(ReadFile(folder / "Dravel.exe"), "running updater");
    EXPECT_EQ(ReadFile(folder / "sub/Dravel.exe"), "not the running program");
    EXPECT_TRUE(manager->AllInstalled());
}

TEST_F(DownloadTest, AMoveThatFailsTwiceKeepsTheOldFileAndIsReported) {
    fetcher.files["a.txt"] = "new a";
    fetcher.files["b.txt"] = "new b";
    WriteFile(folder / "a.txt", "old a");
    files.failingMoves[folder / "a.txt"] = 2;
    auto manager = Manager({"a.txt", "b.txt"});

    EXPECT_EQ(manager->OnDownloadProc(), 0);  // the pass goes on past the failed move
    manager->OnInstallProc();
    EXPECT_EQ(ReadFile(folder / "a.txt"), "old a");
    EXPECT_EQ(ReadFile(folder / "b.txt"), "new b");
    EXPECT_FALSE(manager->AllInstalled());
    const std::vector<RecordingLog::Entry> entries = log.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].source, "CDownloadMgr::OnDownloadProc");
    EXPECT_EQ(entries[0].line, 295);
    EXPECT_EQ(entries[0].message,
              "[32][" + (folder / "a.txt.dtm") + "][" + (folder / "a.txt") + "]");
    EXPECT_EQ(entries[1].source, "CDownloadMgr::OnInstallProc");
    EXPECT_EQ(sink.Codes().back(), DS_FINISHED);
}

TEST_F(DownloadTest, TheInstallPassRetriesAFailedMoveAndDropsTheQvSuffix) {
    fetcher.files["a.txt"] = "new a";
    fetcher.files["pack.qv"] = "packed";
    WriteFile(folder / "a.txt", "old a");
    files.failingMoves[folder / "a.txt"] = 1;
    files.failingMoves[folder / "pack.qv"] = 1;
    auto manager = Manager({"a.txt", "pack.qv"});
    EXPECT_EQ(manager->OnDownloadProc(), 0);
    manager->OnInstallProc();
    EXPECT_EQ(ReadFile(folder / "a.txt"), "new a");
    EXPECT_EQ(ReadFile(folder / "pack"), "packed");
    EXPECT_TRUE(manager->AllInstalled());
    // The replaced file is forced to the disk by its moves (the failed one and the retry); the
    // new file at the end, under its final name.
    EXPECT_EQ(files.replacedTargets,
              (std::vector<std::string>{folder / "a.txt", folder / "a.txt"}));
    EXPECT_EQ(files.madeDurable, std::vector<std::string>{folder / "pack"});
}

TEST_F(DownloadTest, NewFilesThatCannotReachTheDiskAreNotInstalled) {
    fetcher.files["a.txt"] = "new a";
    files.durableFails = true;
    auto manager = Manager({"a.txt"});
    EXPECT_EQ(manager->OnDownloadProc(), 0);
    manager->OnInstallProc();
    EXPECT_EQ(ReadFile(folder / "a.txt"), "new a");
    EXPECT_FALSE(manager->AllInstalled());  // so the version is not recorded
    EXPECT_EQ(sink.Codes().back(), DS_FINISHED);
}

TEST_F(DownloadTest, ForcingFilesToTheDiskFailsForAFileThatIsNotThere) {
    const std::unique_ptr<IUpdateFileSystem> local = CreateLocalFileSystem();
    WriteFile(folder / "a.txt", "a");
    WriteFile(folder / "sub/b.txt", "b");
    EXPECT_TRUE(local->MakeDurable({folder / "a.txt", folder / "sub/b.txt"}));
    EXPECT_FALSE(local->MakeDurable({folder / "a.txt", folder / "gone.txt"}));
}

TEST_F(DownloadTest, InitAndAddTaskRefuseWhatTheyCannotServe) {
    CDownloadMgr manager(Services());
    EXPECT_EQ(manager.Init(nullptr, "http://x/", folder.Path(), folder.Path()), 0);
    EXPECT_FALSE(manager.Start());
    EXPECT_EQ(manager.Init(&sink, "http://x", folder / "staging", folder.Path()), 1);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "staging"));
    EXPECT_EQ(manager.AddTask("../outside.txt"), 0);
    EXPECT_EQ(manager.AddTask("C:\\Windows\\x.dll"), 0);
    EXPECT_EQ(manager.AddTask(std::string(100, 'n')), 0);
    EXPECT_EQ(manager.TaskCount(), 0u);
}

// The worker thread: abort, and teardown in every state.

TEST_F(DownloadTest, CloseDuringTheThirdFileStopsEverything) {
    for (const char* name : {"a.bin", "b.bin", "c.bin", "d.bin"}) {
        fetcher.files[name] = Bytes(3 * 8192, name[0]);
    }
    WriteFile(folder / "c.bin", "old c");
    std::unique_ptr<CDownloadMgr> manager = Manager({"a.bin", "b.bin", "c.bin", "d.bin"});
    CDownloadMgr* raw = manager.get();
    fetcher.onBlock = [raw](const std::string& name, std::size_t block) {
        if (name == "c.bin" && block == 0) {
            raw->SetAbort();
        }
    };
    ASSERT_TRUE(manager->Start());
    ASSERT_TRUE(sink.WaitFor(DS_ABORTED));
    manager->Shutdown();

    EXPECT_EQ(fetcher.RequestedNames(), (std::vector<std::string>{"a.bin", "b.bin", "c.bin"}));
    const std::vector<int> codes = sink.Codes();
    EXPECT_EQ(std::vector<int>(codes.end() - 4, codes.end()),
              (std::vector<int>{1, 3, 4, DS_ABORTED}));
    EXPECT_EQ(manager->GetStatus(), DS_ABORTED);
    EXPECT_EQ(ReadFile(folder / "b.bin"), fetcher.files["b.bin"]);
    EXPECT_EQ(ReadFile(folder / "c.bin"), "old c");  // a partial file is never installed
    EXPECT_FALSE(ReadFile(folder / "c.bin.dtm").has_value());
    EXPECT_TRUE(sink.WithCode(DS_INSTALLING).empty());
    EXPECT_TRUE(sink.WithCode(DS_FINISHED).empty());
}

// Presses close from inside one report, as a player does while the window thread has not
// yet handled the reports before it.
class ClosingSink : public RecordingSink {
public:
    CDownloadMgr* manager = nullptr;
    int closeAt = 0;
    std::optional<bool> taken;

    void OnStatusCallback(int value1, int value2, int code, const char* text) override {
        RecordingSink::OnStatusCallback(value1, value2, code, text);
        if (code == closeAt && !taken) {
            taken = manager->SetAbort();
        }
    }
};

// A close press and the end of the downloads are one decision: pressed before the end, the run
// ends aborted and installs nothing more; pressed after it, the press is refused and the
// install pass runs to its end.
TEST_F(DownloadTest, ACloseRightAtTheEndEitherAbortsOrIsRefused) {
    for (const int closeAt :
         {static_cast<int>(DS_FILE_DONE), static_cast<int>(DS_ALL_DOWNLOADED)}) {
        SCOPED_TRACE(closeAt);
        fetcher.files["a.txt"] = "a";
        CDownloadMgr manager(Services());
        ClosingSink closing;
        closing.manager = &manager;
        closing.closeAt = closeAt;
        ASSERT_EQ(manager.Init(&closing, "http://dl.test/Vorsel", folder.Path(), folder.Path()), 1);
        ASSERT_EQ(manager.AddTask("a.txt", Md5Of("a")), 1);
        ASSERT_TRUE(manager.Start());
        const int last = closeAt == DS_FILE_DONE ? DS_ABORTED : DS_FINISHED;
        ASSERT_TRUE(closing.WaitFor(last));
        manager.Shutdown();
        ASSERT_TRUE(closing.taken.has_value());
        if (closeAt == DS_FILE_DONE) {
            EXPECT_TRUE(*closing.taken);
            EXPECT_EQ(closing.Codes(), (std::vector<int>{1, 3, 4, 5, DS_ABORTED}));
            EXPECT_EQ(manager.GetStatus(), DS_ABORTED);
        } else {
            EXPECT_FALSE(*closing.taken);
            EXPECT_EQ(closing.Codes(), (std::vector<int>{1, 3, 4, 5, 6, 8, 9}));
            EXPECT_TRUE(manager.AllInstalled());
        }
    }
}

TEST_F(DownloadTest, AFullRunOnTheWorkerEndsWithTheInstallPass) {
    fetcher.files["a.txt"] = "a";
    auto manager = Manager({"a.txt"});
    manager->SetReceivedBytes(77);
    ASSERT_TRUE(manager->Start());
    EXPECT_FALSE(manager->Start());
    ASSERT_TRUE(sink.WaitFor(DS_FINISHED));
    manager->Shutdown();
    EXPECT_EQ(sink.Codes(), (std::vector<int>{1, 3, 4, 5, 6, 8, 9}));
    EXPECT_EQ(manager->GetReceivedBytes(), 1u);  // Start counts from zero
    EXPECT_EQ(manager->TaskCount(), 0u);
}

// A transfer that hangs after its first block until it is cancelled.
class HangingFetcher : public IFileFetcher {
public:
    FetchResult Fetch(const std::string&, IFetchSink& sink) override {
        const std::string block(100, 'x');
        sink.OnData(block.data(), block.size());
        sink.OnProgress(block.size(), 1000);
        started.store(true);
        while (!sink.Cancelled()) {
            std::this_thread::sleep_for(1ms);
        }
        cancelled.store(true);
        FetchResult result;
        result.outcome = FetchOutcome::kAborted;
        return result;
    }
    std::atomic<bool> started{false};
    std::atomic<bool> cancelled{false};
};

TEST_F(DownloadTest, TeardownMidDownloadJoinsTheWorker) {
    HangingFetcher hanging;
    DownloadServices services = Services();
    services.fetcher = &hanging;
    auto manager = std::make_unique<CDownloadMgr>(services);
    manager->Init(&sink, FakeFetcher::kBase, folder.Path(), folder.Path());
    manager->AddTask("big.bin");
    ASSERT_TRUE(manager->Start());
    while (!hanging.started.load()) {
        std::this_thread::sleep_for(1ms);
    }
    const std::size_t before = sink.Reports().size();
    manager.reset();
    EXPECT_TRUE(hanging.cancelled.load());
    EXPECT_EQ(sink.Reports().size(), before);  // nothing reported while tearing down
    EXPECT_FALSE(ReadFile(folder / "big.bin").has_value());
}

TEST_F(DownloadTest, TeardownBeforeStartAndDuringAPauseIsPrompt) {
    {
        CDownloadMgr idle(Services());
        idle.Init(&sink, FakeFetcher::kBase, folder.Path(), folder.Path());
        idle.AddTask("a.txt");
    }
    fetcher.faults["a.txt"] =
        std::deque<FakeFetcher::Fault>(30, FakeFetcher::Fault::kConnectionError);
    fetcher.files["a.txt"] = "a";
    DownloadServices services = Services();
    services.pause = nullptr;  // the manager's own one-second wait
    auto manager = std::make_unique<CDownloadMgr>(services);
    manager->Init(&sink, FakeFetcher::kBase, folder.Path(), folder.Path());
    manager->AddTask("a.txt");
    ASSERT_TRUE(manager->Start());
    while (fetcher.Urls().empty()) {
        std::this_thread::sleep_for(1ms);
    }
    const auto start = std::chrono::steady_clock::now();
    manager->SetAbort();
    ASSERT_TRUE(sink.WaitFor(DS_ABORTED));
    manager.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_EQ(fetcher.Urls().size(), 1u);
}

}  // namespace
}  // namespace dravel::test
