#include <gtest/gtest.h>

#include <utility>

#include "Manifest.h"
#include "Md5.h"
#include "TestSupport.h"

namespace dravel::test {
namespace {

class FakeManifestSource : public IManifestSource {
public:
    ManifestResponse response;
    std::vector<std::string> urls;

    ManifestResponse FetchManifest(const std::string& url) override {
        urls.push_back(url);
        return response;
    }
};

ManifestAttribute Present(std::string value) {
    return {true, std::move(value)};
}

ManifestFileEntry Entry(const std::string& name, const std::string& content) {
    return {Present(name), Present(std::to_string(content.size())), Present("1.0.0.1"),
            Present(harbex::Md5::ToHex(harbex::Md5::Of(content)))};
}

class ManifestTest : public ::testing::Test {
protected:
    ManifestTest() {
        source.response.status = 200;
        source.response.hasRoot = true;
        source.response.version = Present("1.0.3");
        manager.Init(&sink, FakeFetcher::kBase, folder.Path(), folder.Path());
    }

    ManifestCheck Check(const std::string& installed, int mode = 12) {
        return CheckManifest(source, *files, manager, "http://dl.test/Vorsel/Update.xml?1.2",
                             installed, mode, folder.Path() + "/");
    }

    TempFolder folder;
    FakeManifestSource source;
    std::unique_ptr<IUpdateFileSystem> files = CreateLocalFileSystem();
    FakeFetcher fetcher;
    RecordingSink sink;
    CDownloadMgr manager{DownloadServices{&fetcher, files.get()}};
};

TEST_F(ManifestTest, EqualVersionsLookAtNoFileUnlessVerifying) {
    WriteFile(folder / "a.txt", "damaged");
    source.response.files = {Entry("a.txt", "good")};
    ManifestCheck check = Check("1.0.3");
    EXPECT_EQ(check.outcome, CheckOutcome::kCurrent);
    EXPECT_EQ(check.Result(), 0);
    EXPECT_EQ(manager.TaskCount(), 0u);
    EXPECT_EQ(VersionToRecord(check, false), "1.0.3");

    check = Check("1.0.3", UPDATE_MODE_VERIFY);
    EXPECT_EQ(check.outcome, CheckOutcome::kQueued);
    EXPECT_EQ(manager.TaskCount(), 1u);
}

TEST_F(ManifestTest, VersionsCompareAsWholeTexts) {
    source.response.version = Present("1.0.0");
    source.response.files = {Entry("a.txt", "content")};
    EXPECT_EQ(Check("1.0").outcome, CheckOutcome::kQueued);
    EXPECT_EQ(source.urls[0], "http://dl.test/Vorsel/Update.xml?1.2");
}

TEST_F(ManifestTest, OnlyMissingAndChangedFilesAreQueued) {
    const std::string big = Bytes(5000, 'b');
    WriteFile(folder / "same.txt", "same");
    WriteFile(folder / "data/changed.bin", big);
    std::string oneByteOff = big;
    oneByteOff[4000] = 'X';
    WriteFile(folder / "upper.txt", "upper");
    ManifestFileEntry upper = Entry("upper.txt", "upper");
    for (char& c : upper.Md5.value) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    source.response.files = {Entry("same.txt", "same"), Entry("data/changed.bin", oneByteOff),
                             Entry("missing.txt", "0123456789"), upper};

    const ManifestCheck check = Check("1.0.2");
    EXPECT_EQ(check.outcome, CheckOutcome::kQueued);
    EXPECT_EQ(check.Result(), 1);
    EXPECT_EQ(check.queued, 2u);
    EXPECT_EQ(check.totalBytes, 5000u + 10u);
    EXPECT_EQ(check.manifestVersion, "1.0.3");
    EXPECT_EQ(manager.TaskCount(), 2u);
    EXPECT_EQ(VersionToRecord(check, true), "1.0.3");
    EXPECT_EQ(VersionToRecord(check, false), "");
}

TEST_F(ManifestTest, AnEmptyFileListIsCurrent) {
    const ManifestCheck check = Check("0.9");
    EXPECT_EQ(check.outcome, CheckOutcome::kCurrent);
    EXPECT_EQ(VersionToRecord(check, false), "1.0.3");
}

TEST_F(ManifestTest, BadResponsesFailTheCheck) {
    ManifestResponse good = source.response;
    good.files = {Entry("a.txt", "a")};
    std::vector<std::pair<const char*, ManifestResponse>> cases;
    ManifestResponse bad = good;
    bad.status = 404;
    cases.emplace_back("404", bad);
    bad = good;
    bad.status = 0;
    cases.emplace_back("no response", bad);
    bad = good;
    bad.parseFailed = true;
    cases.emplace_back("no document", bad);
    bad = good;
    bad.hasRoot = false;
    cases.emplace_back("no root", bad);
    bad = good;
    bad.version.present = false;
    cases.emplace_back("no version", bad);
    for (auto member : {&ManifestFileEntry::FileName, &ManifestFileEntry::FileSize,
                        &ManifestFileEntry::FileVersion, &ManifestFileEntry::Md5}) {
        bad = good;
        bad.files.push_back(Entry("b.txt", "b"));
        (bad.files.back().*member).present = false;
        cases.emplace_back("missing attribute", bad);
    }
    for (const char* size : {"4294967296", "-1", "12a", "", " 5", "99999999999"}) {
        bad = good;
        bad.files.back().FileSize = Present(size);
        cases.emplace_back("bad FileSize", bad);
    }
    for (const auto& [what, response] : cases) {
        SCOPED_TRACE(what);
        source.response = response;
        const ManifestCheck check = Check("1.0.2");
        EXPECT_EQ(check.outcome, CheckOutcome::kFailed);
        EXPECT_EQ(check.Result(), 0);
        EXPECT_FALSE(check.failure.empty());
        EXPECT_EQ(VersionToRecord(check, true), "");
        EXPECT_EQ(manager.TaskCount(), 0u);  // not even the good entry before it
    }
}

TEST_F(ManifestTest, TheLargestFileSizeFits) {
    ManifestFileEntry entry = Entry("a.txt", "a");
    entry.FileSize = Present("4294967295");
    source.response.files = {entry};
    EXPECT_EQ(Check("0").totalBytes, 4294967295u);
}

TEST_F(ManifestTest, UnsafeNamesFailLikeAMalformedManifest) {
    for (const char* name :
         {"", "/etc/passwd", "\\x.dll", "C:\\Windows\\x.dll", "C:x", "a/../b", "..", "CON",
          "nul.txt", "Com1.log", "lpt9", "aux .txt", "file.", "file ", "a//b"}) {
        SCOPED_TRACE(name);
        source.response.files = {Entry("fine.txt", "fine"), Entry(name, "x")};
        EXPECT_EQ(Check("0").outcome, CheckOutcome::kFailed);
        EXPECT_EQ(manager.TaskCount(), 0u);
    }
    source.response.files = {Entry(std::string(100, 'n'), "x")};
    EXPECT_EQ(Check("0").outcome, CheckOutcome::kFailed);
}

// "a" is fetched into "a.dtm": a manifest that also lists "a.dtm" would lose that file to the
// download of "a", whichever comes first.
TEST_F(ManifestTest, ANameThatIsAnothersStagingFileFailsTheCheck) {
    for (const auto& [first, second] :
         {std::pair{"a.dtm", "a"}, std::pair{"sub\\a", "SUB/A.DTM"}}) {
        SCOPED_TRACE(second);
        source.response.files = {Entry(first, "1"), Entry(second, "2")};
        const ManifestCheck check = Check("0");
        EXPECT_EQ(check.outcome, CheckOutcome::kFailed);
        EXPECT_NE(check.failure.find(".dtm"), std::string::npos) << check.failure;
        EXPECT_EQ(manager.TaskCount(), 0u);
    }
    source.response.files = {Entry("a.dtm.txt", "1"), Entry("a", "2")};
    EXPECT_EQ(Check("0").outcome, CheckOutcome::kQueued);
}

TEST_F(ManifestTest, AListedPathThatCannotBeReadFailsTheCheck) {
    std::filesystem::create_directories(folder / "folder.dat");
    source.response.files = {Entry("folder.dat", "x")};
    EXPECT_EQ(Check("0").outcome, CheckOutcome::kFailed);
}

TEST_F(ManifestTest, TheDownloadAddressComesFromTheIniFiles) {
    std::string address;
    EXPECT_FALSE(ReadDownloadAddress(*files, folder.Path(), address));

    WriteFile(folder / "LobbyUrl.ini", "[URL]\nOther=1\n");
    WriteFile(folder / "LobbyUrlEx.ini", "[URL]\nDownLoadsAddress=http://ex/\n");
    EXPECT_FALSE(ReadDownloadAddress(*files, folder.Path(), address));  // Ex is never read then

    WriteFile(folder / "LobbyUrl.ini", "[URL]\nDownLoadsAddress=http://main/\n");
    EXPECT_TRUE(ReadDownloadAddress(*files, folder.Path(), address));
    EXPECT_EQ(address, "http://ex/Vorsel/");

    WriteFile(folder / "LobbyUrlEx.ini", "[URL]\nOther=2\n");
    EXPECT_TRUE(ReadDownloadAddress(*files, folder.Path(), address));
    EXPECT_EQ(address, "Vorsel/");

    std::filesystem::remove(folder / "LobbyUrlEx.ini");
    EXPECT_TRUE(ReadDownloadAddress(*files, folder.Path(), address));
    EXPECT_EQ(address, "http://main/Vorsel/");
}

}  // namespace
}  // namespace dravel::test
