// Processes started for real: what they receive, what they inherit, and that none is left to
// reap.
#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Image.h"
#include "platform/Shell.h"

namespace {

// The file's text once a line has been written to it, or "" after five seconds.
std::string WaitForLine(const std::filesystem::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        if (text.str().find('\n') != std::string::npos) {
            return text.str();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

class StartProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() / ("ui-start-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
};

TEST_F(StartProcessTest, PassesArgumentsAsSplitAndLeavesNothingToReap) {
    const auto out = folder_ / "args.txt";
    // sh is found on the PATH; the script sees its arguments one by one.
    ASSERT_TRUE(platform::StartProcess("sh -c \"printf '%s|' \\\"$@\\\" > " + out.string() +
                                       "; echo >> " + out.string() +
                                       "\" sh one \"two words\" back\\slash"));
    EXPECT_EQ(WaitForLine(out), "one|two words|back\\slash|\n");
    // GLib waited for its intermediate child; the program itself is not our child.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(StartProcessTest, TheProcessInheritsNoDescriptors) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);  // without close-on-exec, on purpose
    const auto out = folder_ / "fd.txt";
    const std::string fd = std::to_string(ends[1]);
    const bool started =
        platform::StartProcess("/bin/sh -c \"if [ -e /proc/self/fd/" + fd +
                               " ]; then echo open; else echo closed; fi > " + out.string() + "\"");
    close(ends[0]);
    close(ends[1]);
    ASSERT_TRUE(started);
    EXPECT_EQ(WaitForLine(out), "closed\n");
}

// A disk that fills up during the save, played by a limit on file sizes for this process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousSignal_ = signal(SIGXFSZ, SIG_IGN);  // writes past it fail instead of killing
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        applied_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, previousSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool applied() const { return applied_; }

private:
    rlimit previous_{};
    sighandler_t previousSignal_ = SIG_DFL;
    bool applied_ = false;
};

TEST(ShellLinuxTest, ASaveThatRunsOutOfRoomLeavesNoPictureAndKeepsTheOldOne) {
    // Noise, so the picture cannot compress below the limit.
    std::vector<platform::Argb> pixels(200 * 200);
    std::uint32_t seed = 12345;
    for (platform::Argb& pixel : pixels) {
        seed = seed * 1664525u + 1013904223u;
        pixel = platform::MakeRgb(seed >> 24, seed >> 16, seed >> 8);
    }
    platform::Image image;
    ASSERT_TRUE(image.Assign(200, 200, pixels.data()));
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("shot-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path fresh = folder / "new.png";
    const std::filesystem::path existing = folder / "old.png";
    { std::ofstream(existing) << "the old picture"; }
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.applied());
        EXPECT_FALSE(platform::SavePng(image, fresh.string()));
        EXPECT_FALSE(platform::SavePng(image, existing.string()));
    }
    std::ifstream old(existing);
    std::stringstream text;
    text << old.rdbuf();
    EXPECT_TRUE(text.str() == "the old picture")
        << "the old picture was replaced by " << text.str().size() << " bytes";
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"old.png"});
    std::filesystem::remove_all(folder);
}

}  // namespace
