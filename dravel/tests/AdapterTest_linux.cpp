// The HTTP and XML adapters against the test server: each platform outcome as the download
// manager sees it, the manifest as the check reads it, and whole update runs end to end.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "HttpFetcher.h"
#include "HttpTestServer.h"
#include "Manifest.h"
#include "Md5.h"
#include "TestSupport.h"
#include "XmlManifestSource.h"

namespace dravel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Collects a body; asks to stop once `cancelAfter` bytes were reported, and notes any block
// that still came after that.
class BodySink : public IFetchSink {
public:
    std::string body;
    std::size_t cancelAfter = SIZE_MAX;
    int blocksAfterCancel = 0;
    std::uint64_t lastReceived = 0;
    std::int64_t lastAnnounced = -2;

    bool OnData(const char* data, std::size_t size) override {
        if (m_cancelled) {
            ++blocksAfterCancel;
        }
        body.append(data, size);
        return true;
    }
    // Keeps answering true: the stop must come from polling Cancelled().
    bool OnProgress(std::uint64_t received, std::int64_t announced) override {
        lastReceived = received;
        lastAnnounced = announced;
        if (body.size() >= cancelAfter) {
            m_cancelled = true;
        }
        return true;
    }
    bool Cancelled() const override { return m_cancelled; }
    void Cancel() { m_cancelled = true; }

private:
    std::atomic<bool> m_cancelled{false};
};

std::string Md5Of(const std::string& content) {
    return harbex::Md5::ToHex(harbex::Md5::Of(content));
}

std::string FileElement(const std::string& name, const std::string& content) {
    return "<File FileName=\"" + name + "\" FileSize=\"" + std::to_string(content.size()) +
           "\" FileVersion=\"1.0.0.1\" Md5=\"" + Md5Of(content) + "\"/>";
}

std::string ManifestXml(const std::string& version, const std::string& fileElements) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Manifest version=\"" + version +
           "\"><FileList>" + fileElements + "</FileList></Manifest>";
}

class AdapterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.ok()) << server.why(); }

    platform_test::HttpTestServer server;
};

// ---- HttpFetcher ----

TEST_F(AdapterTest, FetcherDeliversWholeBodiesWithOrWithoutAnnouncedLength) {
    const std::string content = Bytes(50000, 'a');
    server.Put("f.bin", content);
    HttpFetcher fetcher;

    BodySink sized;
    const FetchResult whole = fetcher.Fetch(server.Url("/f.bin?1.2"), sized);
    EXPECT_EQ(whole.outcome, FetchOutcome::kCompleted);
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.announced, 50000);
    EXPECT_EQ(sized.body, content);
    EXPECT_EQ(sized.lastReceived, 50000u);
    EXPECT_EQ(sized.lastAnnounced, 50000);

    BodySink chunked;
    const FetchResult unsized = fetcher.Fetch(server.Url("/f.bin?chunked=1"), chunked);
    EXPECT_EQ(unsized.outcome, FetchOutcome::kCompleted);
    EXPECT_EQ(unsized.announced, -1);
    EXPECT_EQ(chunked.body, content);
}

TEST_F(AdapterTest, FetcherTellsEveryFailureApart) {
    server.Put("f.bin", Bytes(40000, 'b'));
    HttpFetcher fetcher(300ms);

    BodySink missing;
    const FetchResult notFound = fetcher.Fetch(server.Url("/none.bin"), missing);
    EXPECT_EQ(notFound.outcome, FetchOutcome::kHttpStatus);
    EXPECT_EQ(notFound.status, 404);
    EXPECT_TRUE(missing.body.empty());  // an error page is never taken for the file

    BodySink failing;
    const FetchResult serverError = fetcher.Fetch(server.Url("/f.bin?status=503"), failing);
    EXPECT_EQ(serverError.outcome, FetchOutcome::kHttpStatus);
    EXPECT_EQ(serverError.status, 503);
    EXPECT_TRUE(failing.body.empty());

    BodySink cut;
    const FetchResult shortBody = fetcher.Fetch(server.Url("/f.bin?cut=1000"), cut);
    EXPECT_EQ(shortBody.outcome, FetchOutcome::kShort);
    EXPECT_EQ(shortBody.announced, 40000);
    EXPECT_LT(cut.body.size(), 40000u);

    BodySink stalled;
    const auto before = Clock::now();
    const FetchResult stall = fetcher.Fetch(server.Url("/f.bin?stall=5000"), stalled);
    EXPECT_EQ(stall.outcome, FetchOutcome::kStalled);
    EXPECT_FALSE(stall.error.empty());     // the failure report needs a reason to show
    EXPECT_LT(Clock::now() - before, 4s);  // the fetcher's stall time, not the server's pause

    BodySink refused;
    const FetchResult noServer = fetcher.Fetch("http://127.0.0.1:1/f.bin", refused);
    EXPECT_EQ(noServer.outcome, FetchOutcome::kConnectionError);
    EXPECT_EQ(noServer.status, 0);
    EXPECT_FALSE(noServer.error.empty());
}

TEST_F(AdapterTest, FetcherStopsAsSoonAsTheManagerCancels) {
    // 400 kB at 100 kB/s: the whole body would take four seconds.
    server.Put("slow.bin", Bytes(400000, 'c'));
    HttpFetcher fetcher;

    BodySink sink;
    sink.cancelAfter = 1;
    const auto before = Clock::now();
    const FetchResult result = fetcher.Fetch(server.Url("/slow.bin?rate=100000"), sink);
    EXPECT_EQ(result.outcome, FetchOutcome::kAborted);
    EXPECT_LT(Clock::now() - before, 2s);
    EXPECT_EQ(sink.blocksAfterCancel, 0);
    EXPECT_LT(sink.body.size(), 400000u);

    // The server pauses after the first 100 bytes: the stop must not wait for the next block.
    BodySink paused;
    paused.cancelAfter = 1;
    const auto start = Clock::now();
    const FetchResult held = fetcher.Fetch(server.Url("/slow.bin?stall=3000&stallat=100"), paused);
    EXPECT_EQ(held.outcome, FetchOutcome::kAborted);
    EXPECT_LT(Clock::now() - start, 2s);

    BodySink already;
    already.Cancel();  // before the transfer begins
    const FetchResult none = fetcher.Fetch(server.Url("/slow.bin"), already);
    EXPECT_EQ(none.outcome, FetchOutcome::kAborted);
    EXPECT_TRUE(already.body.empty());
}

// ---- XmlManifestSource ----

TEST_F(AdapterTest, ManifestSourceReadsEveryAttributeAndFlagsMissingOnes) {
    // "数据\b.bin" in a UTF-8 document reaches the check as GBK text.
    server.Put("Update.xml",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<Manifest version=\"1.0.3\"><FileList>"
               "<File FileName=\"\xE6\x95\xB0\xE6\x8D\xAE\\b.bin\" FileSize=\"12\" "
               "FileVersion=\"2\" Md5=\"0123456789abcdef0123456789abcdef\"/>"
               "<File FileName=\"c.bin\" FileSize=\"7\"/>"
               "<Other FileName=\"skipped\"/>"
               "</FileList></Manifest>");
    XmlManifestSource source;
    const ManifestResponse response = source.FetchManifest(server.Url("/Update.xml?3.4"));
    EXPECT_EQ(response.status, 200);
    EXPECT_FALSE(response.parseFailed);
    ASSERT_TRUE(response.hasRoot);
    EXPECT_TRUE(response.version.present);
    EXPECT_EQ(response.version.value, "1.0.3");
    ASSERT_EQ(response.files.size(), 2u);

    const ManifestFileEntry& first = response.files[0];
    EXPECT_EQ(first.FileName.value, "\xCA\xFD\xBE\xDD\\b.bin");
    EXPECT_EQ(first.FileSize.value, "12");
    EXPECT_EQ(first.FileVersion.value, "2");
    EXPECT_EQ(first.Md5.value, "0123456789abcdef0123456789abcdef");
    EXPECT_TRUE(first.FileName.present && first.FileSize.present && first.FileVersion.present &&
                first.Md5.present);

    const ManifestFileEntry& second = response.files[1];
    EXPECT_TRUE(second.FileName.present);
    EXPECT_TRUE(second.FileSize.present);
    EXPECT_FALSE(second.FileVersion.present);
    EXPECT_FALSE(second.Md5.present);
}

TEST_F(AdapterTest, ManifestSourceReportsWhatWentWrong) {
    server.Put("broken.xml", "<Manifest version=\"1\"><FileList></Manifest>");
    server.Put("other.xml", "<Catalog version=\"1\"/>");
    server.Put("bare.xml", "<Manifest><FileList/></Manifest>");
    XmlManifestSource source;

    const ManifestResponse missing = source.FetchManifest(server.Url("/none.xml"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_FALSE(missing.hasRoot);

    const ManifestResponse broken = source.FetchManifest(server.Url("/broken.xml"));
    EXPECT_EQ(broken.status, 200);
    EXPECT_TRUE(broken.parseFailed);
    EXPECT_FALSE(broken.hasRoot);

    const ManifestResponse other = source.FetchManifest(server.Url("/other.xml"));
    EXPECT_FALSE(other.parseFailed);
    EXPECT_FALSE(other.hasRoot);

    const ManifestResponse bare = source.FetchManifest(server.Url("/bare.xml"));
    EXPECT_TRUE(bare.hasRoot);
    EXPECT_FALSE(bare.version.present);
    EXPECT_TRUE(bare.files.empty());

    const ManifestResponse unreachable = source.FetchManifest("http://127.0.0.1:1/Update.xml");
    EXPECT_EQ(unreachable.status, 0);
    EXPECT_FALSE(unreachable.error.empty());
}

// ---- The local file system ----

class LocalFilesTest : public ::testing::Test {
protected:
    // Stages `content` for `path` as a download does.
    std::string Stage(const std::string& path, const std::string& content) {
        std::string error;
        std::unique_ptr<IStagingFile> staging = files->CreateStagingFile(path + ".dtm", error);
        EXPECT_TRUE(staging) << error;
        if (staging) {
            EXPECT_TRUE(staging->Write(content.data(), content.size(), error)) << error;
            EXPECT_TRUE(staging->Commit(error)) << error;
        }
        return path + ".dtm";
    }
    bool Put(const std::string& path, const std::string& content) {
        const std::string staged = Stage(path, content);
        int code = 0;
        std::string error;
        return files->PutInPlace(staged, path, files->Exists(path), code, error);
    }
    static mode_t ModeOf(const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    TempFolder folder;
    std::unique_ptr<IUpdateFileSystem> files = CreateLocalFileSystem();
};

// Two updaters whose manifests list the same file run side by side; they must not write one
// staging file together, nor may the second empty it under the first.
TEST_F(LocalFilesTest, AStagingFileInUseCannotBeOpenedAgain) {
    const std::string path = folder / "a.bin.dtm";
    std::string error;
    std::unique_ptr<IStagingFile> first = files->CreateStagingFile(path, error);
    ASSERT_TRUE(first) << error;
    ASSERT_TRUE(first->Write("first half", 10, error));
    std::string busy;
    EXPECT_FALSE(files->CreateStagingFile(path, busy));
    EXPECT_FALSE(busy.empty());
    ASSERT_TRUE(first->Write(" and more", 9, error));
    ASSERT_TRUE(first->Commit(error));
    EXPECT_EQ(ReadFile(path), "first half and more");

    // Closed, it is free again and starts empty.
    std::unique_ptr<IStagingFile> again = files->CreateStagingFile(path, error);
    ASSERT_TRUE(again) << error;
    ASSERT_TRUE(again->Commit(error));
    EXPECT_EQ(ReadFile(path), "");
}

// An update that replaces a program must leave it able to start; the manifest has no
// permissions, so a new program is recognised by its start.
TEST_F(LocalFilesTest, FilesInPlaceKeepOrGetThePermissionsTheyNeed) {
    const std::string program = folder / "Kestrune";
    const std::string script = folder / "run.sh";
    const std::string privateData = folder / "login.dat";
    WriteFile(program, "old program");
    WriteFile(script, "#!/bin/sh\nold\n");
    WriteFile(privateData, "old data");
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    ASSERT_EQ(chmod(script.c_str(), 0750), 0);
    ASSERT_EQ(chmod(privateData.c_str(), 0600), 0);
    ASSERT_TRUE(Put(program, "new program"));
    ASSERT_TRUE(Put(script, "#!/bin/sh\nnew\n"));
    ASSERT_TRUE(Put(privateData, "new data"));
    EXPECT_EQ(ModeOf(program), 0755u);
    EXPECT_EQ(ModeOf(script), 0750u);
    EXPECT_EQ(ModeOf(privateData), 0600u);
    EXPECT_EQ(ReadFile(program), "new program");

    const std::string newProgram = folder / "helper";
    const std::string newScript = folder / "start.sh";
    const std::string newData = folder / "new.dat";
    ASSERT_TRUE(Put(newProgram, std::string("\x7F"
                                            "ELF\x02\x01",
                                            6)));
    ASSERT_TRUE(Put(newScript, "#!/bin/sh\n"));
    ASSERT_TRUE(Put(newData, "ELF, not a program"));
    const mode_t readable = ModeOf(newData);
    EXPECT_EQ(readable & 0111, 0u);
    EXPECT_EQ(ModeOf(newProgram), readable | ((readable & 0444) >> 2));
    EXPECT_EQ(ModeOf(newScript), readable | ((readable & 0444) >> 2));
}

// ---- Whole runs: the check, then the manager with both adapters ----

class UpdateRunTest : public AdapterTest {
protected:
    void SetUp() override {
        AdapterTest::SetUp();
        services.fetcher = &fetcher;
        services.files = files.get();
        services.programFileName = "Dravel";
    }

    // Publishes the files under Vorsel/ with a manifest listing them.
    void Publish(const std::vector<std::pair<std::string, std::string>>& published) {
        std::string elements;
        for (const auto& [name, content] : published) {
            std::string served = name;
            for (char& c : served) {
                c = c == '\\' ? '/' : c;
            }
            server.Put("Vorsel/" + served, content);
            elements += FileElement(name, content);
        }
        server.Put("Vorsel/Update.xml", ManifestXml("2.0", elements));
    }

    ManifestCheck Check(CDownloadMgr& manager, const std::string& manifest = "Update.xml") {
        EXPECT_EQ(manager.Init(&sink, server.Url("/Vorsel"), folder.Path(), folder.Path()), 1);
        return CheckManifest(source, *files, manager, server.Url("/Vorsel/" + manifest + "?5.6"),
                             "1.0", 0, folder.Path());
    }

    TempFolder folder;
    std::unique_ptr<IUpdateFileSystem> files = CreateLocalFileSystem();
    HttpFetcher fetcher;
    XmlManifestSource source;
    RecordingSink sink;
    DownloadServices services;
};

TEST_F(UpdateRunTest, FetchesAndInstallsListedFilesIntoTheirFolders) {
    const std::string a = Bytes(20000, 'd');
    const std::string b = Bytes(9000, 'e');
    Publish({{"a.bin", a}, {"data\\sub\\b.bin", b}});
    WriteFile(folder / "a.bin", "old a");

    CDownloadMgr manager(services);
    const ManifestCheck check = Check(manager);
    ASSERT_EQ(check.outcome, CheckOutcome::kQueued) << check.failure;
    EXPECT_EQ(check.manifestVersion, "2.0");
    EXPECT_EQ(check.queued, 2u);
    EXPECT_EQ(check.totalBytes, a.size() + b.size());

    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(sink.WaitFor(DS_FINISHED));
    manager.Shutdown();
    EXPECT_EQ(ReadFile(folder / "a.bin"), a);
    EXPECT_EQ(ReadFile(folder / "data/sub/b.bin"), b);
    EXPECT_FALSE(files->Exists(folder / "a.bin.dtm"));
    EXPECT_FALSE(files->Exists(folder / "data/sub/b.bin.dtm"));
    EXPECT_TRUE(manager.AllInstalled());
    EXPECT_EQ(manager.GetReceivedBytes(), a.size() + b.size());
    EXPECT_EQ(VersionToRecord(check, manager.AllInstalled()), "2.0");

    // Both now match their digests: the next check has nothing to fetch.
    CDownloadMgr again(services);
    EXPECT_EQ(Check(again).outcome, CheckOutcome::kCurrent);
    EXPECT_EQ(again.TaskCount(), 0u);
}

// The manifest may spell a shipped folder otherwise than it is on disk ("Res" for res); the
// programs read the shipped folder, so that is where the new file must go.
TEST_F(UpdateRunTest, ANameSpelledInAnotherCaseReplacesTheInstalledFile) {
    const std::string skin = Bytes(3000, 's');
    Publish({{"Res\\Skin.bmp", skin}, {"res\\kept.bmp", "kept"}});
    WriteFile(folder / "res/skin.bmp", "old skin");
    WriteFile(folder / "res/kept.bmp", "kept");

    CDownloadMgr manager(services);
    const ManifestCheck check = Check(manager);
    ASSERT_EQ(check.outcome, CheckOutcome::kQueued) << check.failure;
    EXPECT_EQ(check.queued, 1u);
    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(sink.WaitFor(DS_FINISHED));
    manager.Shutdown();
    EXPECT_EQ(ReadFile(folder / "res/skin.bmp"), skin);
    EXPECT_FALSE(std::filesystem::exists(folder / "Res"));
    EXPECT_FALSE(std::filesystem::exists(folder / "res/skin.bmp.dtm"));
    EXPECT_TRUE(manager.AllInstalled());

    CDownloadMgr again(services);
    EXPECT_EQ(Check(again).outcome, CheckOutcome::kCurrent);
}

TEST_F(UpdateRunTest, RetriesAFileThatFailsTwiceAfterTwoPauses) {
    const std::string a = Bytes(3000, 'f');
    const std::string b = Bytes(5000, 'g');
    Publish({{"a.bin", a}, {"b.bin", b}});
    server.SetFaults("/Vorsel/b.bin fail=2\n");

    CDownloadMgr manager(services);  // the manager's own one-second pause
    ASSERT_EQ(Check(manager).outcome, CheckOutcome::kQueued);
    const auto before = Clock::now();
    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(sink.WaitFor(DS_FINISHED));
    const auto took = Clock::now() - before;
    manager.Shutdown();
    EXPECT_GE(took, 2s);
    EXPECT_LT(took, 10s);
    // a once, b three times.
    EXPECT_EQ(sink.WithCode(DS_CONNECTING).size(), 4u);
    EXPECT_TRUE(sink.WithCode(DS_FAILED).empty());
    EXPECT_EQ(ReadFile(folder / "b.bin"), b);
    EXPECT_TRUE(manager.AllInstalled());
}

TEST_F(UpdateRunTest, MissingManifestFailsTheCheck) {
    Publish({{"a.bin", "content"}});
    CDownloadMgr manager(services);
    const ManifestCheck check = Check(manager, "7_Update.xml");
    EXPECT_EQ(check.outcome, CheckOutcome::kFailed);
    EXPECT_EQ(check.Result(), 0);
    EXPECT_NE(check.failure.find("404"), std::string::npos) << check.failure;
    EXPECT_EQ(manager.TaskCount(), 0u);
    EXPECT_EQ(VersionToRecord(check, false), "");
}

TEST_F(UpdateRunTest, CutBodyIsAFailedAttemptAndLeavesTheOldFile) {
    Publish({{"a.bin", Bytes(30000, 'h')}});
    server.SetFaults("/Vorsel/a.bin cut=1000\n");
    WriteFile(folder / "a.bin", "old a");
    RecordingPause pause;
    services.pause = &pause;

    CDownloadMgr manager(services);
    ASSERT_EQ(Check(manager).outcome, CheckOutcome::kQueued);
    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(sink.WaitFor(DS_FAILED, 60s));
    manager.Shutdown();
    EXPECT_EQ(pause.Pauses().size(), static_cast<std::size_t>(CDownloadMgr::kMaxAttempts - 1));
    EXPECT_EQ(sink.WithCode(DS_CONNECTING).size(),
              static_cast<std::size_t>(CDownloadMgr::kMaxAttempts));
    EXPECT_TRUE(sink.WithCode(DS_FILE_DONE).empty());
    EXPECT_EQ(ReadFile(folder / "a.bin"), "old a");
    EXPECT_FALSE(files->Exists(folder / "a.bin.dtm"));
    EXPECT_FALSE(manager.AllInstalled());
}

TEST_F(UpdateRunTest, ClosePressStopsARunningDownloadPromptly) {
    Publish({{"a.bin", Bytes(1000000, 'i')}, {"b.bin", "b"}});
    server.SetFaults("/Vorsel/a.bin rate=100000\n");  // ten seconds for the whole file
    WriteFile(folder / "a.bin", "old a");

    CDownloadMgr manager(services);
    ASSERT_EQ(Check(manager).outcome, CheckOutcome::kQueued);
    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(sink.WaitFor(DS_PROGRESS));
    const auto pressed = Clock::now();
    manager.SetAbort();
    ASSERT_TRUE(sink.WaitFor(DS_ABORTED, 5s));
    EXPECT_LT(Clock::now() - pressed, 2s);
    manager.Shutdown();
    EXPECT_EQ(ReadFile(folder / "a.bin"), "old a");
    EXPECT_FALSE(files->Exists(folder / "a.bin.dtm"));
    EXPECT_FALSE(files->Exists(folder / "b.bin"));
    EXPECT_TRUE(sink.WithCode(DS_FINISHED).empty());
}

}  // namespace
}  // namespace dravel::test
