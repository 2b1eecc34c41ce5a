// The progress window's arithmetic and names, without a window.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <utility>

#include "DownloadManager.h"
#include "DravelDlg.h"
#include "Progress.h"
#include "WebBrowser2.h"
#include "platform/Paths.h"

namespace dravel::app {
namespace {

// "单个文件进度：已完成50%，正在更新文件b.bin " in GBK.
const std::string kHalfFileLine =
    "\xb5\xa5\xb8\xf6\xce\xc4\xbc\xfe\xbd\xf8\xb6\xc8\xa3\xba\xd2\xd1\xcd\xea\xb3\xc9"
    "50%\xa3\xac\xd5\xfd\xd4\xda\xb8\xfc\xd0\xc2\xce\xc4\xbc\xfe"
    "b.bin ";
// "总进度：已完成30%，您共有4个文件需要更新" in GBK.
const std::string kTotalLine30Of4 =
    "\xd7\xdc\xbd\xf8\xb6\xc8\xa3\xba\xd2\xd1\xcd\xea\xb3\xc9"
    "30%\xa3\xac\xc4\xfa\xb9\xb2\xd3\xd0"
    "4\xb8\xf6\xce\xc4\xbc\xfe\xd0\xe8\xd2\xaa\xb8\xfc\xd0\xc2";

TEST(ProgressLayout, StatusLinesSitAtTheTemplatePlacesInPixels) {
    // 9 point SimSun: 1.5 pixels per unit both ways, halves rounded up.
    EXPECT_EQ(FileLineBounds(), (platform::Rect{36, 248, 546, 12}));
    EXPECT_EQ(TotalLineBounds(), (platform::Rect{36, 293, 555, 12}));
    // Other fonts scale the same way; negative places round away from zero.
    EXPECT_EQ(DialogUnitsToPixels({-3, 5, 8, 16}, {7, 13}), (platform::Rect{-5, 8, 14, 26}));
    // Grown to the platform font's height, both lines still end above the bar under them
    // and keep their converted bottom edge.
    for (const auto& [line, bar] :
         {std::pair{FileLineBounds(), kFileBar}, std::pair{TotalLineBounds(), kTotalBar}}) {
        const platform::Rect place = TextLinePlace(line);
        EXPECT_EQ(place.height, kTextLineHeight);
        EXPECT_EQ(place.y + place.height, line.y + line.height);
        EXPECT_EQ(place.x, line.x);
        EXPECT_LE(place.y + place.height, bar.y);
    }
    EXPECT_EQ(TextLinePlace({1, 2, 3, 40}), (platform::Rect{1, 2, 3, 40}));
}

TEST(ProgressShare, TruncatesAndNeverDividesByZero) {
    EXPECT_EQ(ShareOf(500, 1000, kBarWidth), 277);  // 277.5
    EXPECT_EQ(ShareOf(1, 3, 100), 33);
    EXPECT_EQ(ShareOf(1000, 1000, kBarWidth), kBarWidth);
    EXPECT_EQ(ShareOf(0, 1000, 100), 0);
    EXPECT_EQ(ShareOf(123, 0, 100), 0);
    EXPECT_EQ(ShareOf(0, 0, kBarWidth), 0);
    // More than announced passes 100 percent; far more saturates instead of overflowing.
    EXPECT_EQ(ShareOf(1500, 1000, 100), 150);
    EXPECT_EQ(ShareOf(UINT32_MAX, 1, kBarWidth), INT32_MAX);
}

TEST(ProgressReports, SecondOfFiveFilesAtHalfItsLength) {
    ProgressFields fields;
    fields.totalBytes = 5000;
    EXPECT_EQ(fields.fileLine, kFileLineInitial);
    EXPECT_EQ(fields.totalLine, kTotalLineInitial);

    EXPECT_EQ(ApplyReport(fields, 4, 1000, DS_FILE_BEGIN, "b.bin"), ReportEffect::kRepaint);
    EXPECT_EQ(fields.currentName, "b.bin");
    EXPECT_EQ(fields.currentLength, 1000u);
    EXPECT_EQ(fields.filesLeft, 4);
    EXPECT_EQ(fields.fileBarWidth, 0);
    EXPECT_EQ(fields.fileLine, kFileLineInitial);  // the lines wait for the first block

    EXPECT_EQ(ApplyReport(fields, 500, 1500, DS_PROGRESS, "b.bin"), ReportEffect::kRepaintTexts);
    EXPECT_EQ(fields.fileBarWidth, 277);
    EXPECT_EQ(fields.totalBarWidth, 166);  // 1500 / 5000 * 555 = 166.5
    EXPECT_EQ(fields.fileLine, kHalfFileLine);
    EXPECT_EQ(fields.totalLine, kTotalLine30Of4);

    // The file is in place: the upper bar empties, the lines and the lower bar stay.
    EXPECT_EQ(ApplyReport(fields, 0, 0, DS_FILE_DONE, "b.bin"), ReportEffect::kRepaint);
    EXPECT_EQ(fields.fileBarWidth, 0);
    EXPECT_EQ(fields.currentLength, 0u);
    EXPECT_EQ(fields.totalBarWidth, 166);
    EXPECT_EQ(fields.fileLine, kHalfFileLine);
    EXPECT_EQ(fields.totalLine, kTotalLine30Of4);

    // A progress report after it (a late block) finds no length: nothing is drawn for it.
    ApplyReport(fields, 700, 1700, DS_PROGRESS, "b.bin");
    EXPECT_EQ(fields.fileBarWidth, 0);
}

// A fast download reports every 8 KiB; the window is painted again only when a line or a bar
// looks different.
TEST(ProgressReports, BlocksThatChangeNothingVisibleAreNotPaintedAgain) {
    ProgressFields fields;
    fields.totalBytes = 10'000'000;
    ApplyReport(fields, 1, 10'000'000, DS_FILE_BEGIN, "big.bin");
    EXPECT_EQ(ApplyReport(fields, 8192, 8192, DS_PROGRESS, "big.bin"), ReportEffect::kRepaintTexts);
    // 16 KiB of 10 MB: still 0 %, still no pixel of either bar.
    EXPECT_EQ(ApplyReport(fields, 16384, 16384, DS_PROGRESS, "big.bin"), ReportEffect::kNone);
    // A bar moves a pixel (18019 bytes per pixel) while the percentages stay.
    EXPECT_EQ(ApplyReport(fields, 20000, 20000, DS_PROGRESS, "big.bin"), ReportEffect::kRepaint);
    EXPECT_EQ(fields.fileBarWidth, 1);
    EXPECT_EQ(ApplyReport(fields, 100'000, 100'000, DS_PROGRESS, "big.bin"),
              ReportEffect::kRepaintTexts);
    EXPECT_NE(fields.fileLine.find("1%"), std::string::npos);
    // Another file's name at the same share is a changed line.
    EXPECT_EQ(ApplyReport(fields, 100'000, 100'000, DS_PROGRESS, "other.bin"),
              ReportEffect::kRepaintTexts);
}

TEST(ProgressReports, ZeroLengthsAndUnsignedValues) {
    ProgressFields fields;  // no total: every queued file had size 0
    ApplyReport(fields, 1, 0, DS_FILE_BEGIN, "empty.bin");
    ApplyReport(fields, 4096, 4096, DS_PROGRESS, nullptr);
    EXPECT_EQ(fields.fileBarWidth, 0);
    EXPECT_EQ(fields.totalBarWidth, 0);
    EXPECT_NE(fields.fileLine.find("0%"), std::string::npos);
    EXPECT_NE(fields.totalLine.find("0%"), std::string::npos);

    // Values past 2^31 arrive as negative ints and count as the unsigned numbers they are.
    fields.totalBytes = 0xF0000000u;
    ApplyReport(fields, 3, static_cast<int>(0xE0000000u), DS_FILE_BEGIN, "big.bin");
    EXPECT_EQ(fields.currentLength, 0xE0000000u);
    ApplyReport(fields, static_cast<int>(0x70000000u), static_cast<int>(0x78000000u), DS_PROGRESS,
                "big.bin");
    EXPECT_EQ(fields.fileBarWidth, 277);
    EXPECT_EQ(fields.totalBarWidth, 277);
}

TEST(ProgressReports, OtherCodesChangeNothing) {
    ProgressFields fields;
    fields.totalBytes = 10;
    ApplyReport(fields, 2, 10, DS_FILE_BEGIN, "a");
    ApplyReport(fields, 5, 5, DS_PROGRESS, "a");
    const ProgressFields before = fields;
    for (int code : std::initializer_list<int>{DS_CONNECTING, DS_ALL_DOWNLOADED, DS_ABORTED,
                                               DS_INSTALLING, DS_FINISHED, DS_FAILED, 0, 99}) {
        EXPECT_EQ(ApplyReport(fields, 1, 1, code, "x"), ReportEffect::kNone) << code;
    }
    EXPECT_EQ(fields.fileBarWidth, before.fileBarWidth);
    EXPECT_EQ(fields.totalBarWidth, before.totalBarWidth);
    EXPECT_EQ(fields.fileLine, before.fileLine);
    EXPECT_EQ(fields.currentName, before.currentName);
}

TEST(ProgressReports, DrawnBarStaysInsideItsPicture) {
    EXPECT_EQ(DrawnBarWidth(277, kBarWidth), 277);
    EXPECT_EQ(DrawnBarWidth(900, kBarWidth), kBarWidth);  // more bytes than announced
    EXPECT_EQ(DrawnBarWidth(INT32_MAX, kBarWidth), kBarWidth);
    EXPECT_EQ(DrawnBarWidth(-5, kBarWidth), 0);
    EXPECT_EQ(DrawnBarWidth(100, 0), 0);  // no picture
}

TEST(UpdaterNames, TipPagePerManifest) {
    const char sep = platform::kPathSeparator;
    const std::string folder = std::string("/opt/lobby") + sep;
    EXPECT_EQ(TipPageAddress(folder, "Update.xml"), folder + "tip" + sep + "tip.html?id=0");
    EXPECT_EQ(TipPageAddress(folder, "37_Update.xml"), folder + "tip" + sep + "tip.html?id=37");
    EXPECT_EQ(TipPageId("update.xml"), 0);
    EXPECT_EQ(TipPageId("12_Update.xml"), 12);
    EXPECT_EQ(TipPageId("99999999999_Update.xml"), 0);  // no number fits: the lobby's page
    EXPECT_EQ(SplashPageAddress(folder), folder + "help" + sep + "logo.html");
    // Only the part below the program folder changes its separators.
    EXPECT_EQ(LocalPage("C:\\a/", "x\\y.html"), std::string("C:\\a/x") + sep + "y.html");
}

TEST(UpdaterNames, LockNamePerManifest) {
    EXPECT_EQ(InstanceLockName("Update.xml"), "Update.xml");
    EXPECT_EQ(InstanceLockName("12_Update.xml"), "12_Update.xml");
    EXPECT_NE(InstanceLockName("update.xml"), InstanceLockName("Update.xml"));
    // Separators cannot stand in a lock's name; escaping keeps different names apart.
    EXPECT_EQ(InstanceLockName("a/b\\c:d%e"), "a%2Fb%5Cc%3Ad%25e");
    EXPECT_NE(InstanceLockName("a/b"), InstanceLockName("a%2Fb"));
}

TEST(UpdaterNames, LobbyCommandLineForThisPlatform) {
    const std::string line =
        LobbyCommandLine(std::string("/opt/my lobby") + platform::kPathSeparator);
#if defined(_WIN32)
    EXPECT_EQ(NativeCommandLine(line), line);
#else
    EXPECT_EQ(NativeCommandLine(line), "\"/opt/my lobby/Kestrune\" 1");
    EXPECT_EQ(NativeCommandLine("prog.exe arg.exe"), "prog arg.exe");
    EXPECT_EQ(NativeCommandLine("\"x\""), "\"x\"");
#endif
}

}  // namespace
}  // namespace dravel::app
