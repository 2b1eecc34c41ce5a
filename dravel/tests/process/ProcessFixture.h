// A test of the updater as a process: a fresh program folder holding the updater and the lobby
// stand-in, a test HTTP server with the download root, and the stand-in's record of what
// reached the lobby.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Desktop.h"
#include "HttpTestServer.h"

namespace dravel::proc {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The updater's window and message box captions (UTF-8).
extern const char* const kDravelTitle;
extern const char* const kMessageCaption;
// Where the close button sits in the window, plus a point inside it.
inline constexpr int kCloseX = 589 + 12;
inline constexpr int kCloseY = 7 + 10;

using FileList = std::vector<std::pair<std::string, std::string>>;

// Reproducible bytes that differ from file to file.
std::string Content(std::size_t size, unsigned seed);
std::string Md5Hex(const std::string& content);
// The manifest document listing `files` (names as the manifest writes them).
std::string ManifestXml(const std::string& version, const FileList& files);

class DravelProcessTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path in the program folder; `/` separates folders.
    std::string Prog(const std::string& relative) const;
    void WriteFile(const std::string& relative, const std::string& content) const;
    // The file's bytes; nullopt when it does not exist.
    std::optional<std::string> ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

    // LobbyUrl.ini naming the test server as the download server.
    void WriteLobbyUrl() const;
    // Serves `files` under Vorsel/ and the manifest `manifestName` listing them.
    void Publish(const std::string& manifestName, const std::string& version,
                 const FileList& files) const;
    // Fault lines for the server ("/Vorsel/b.bin fail=2").
    void SetFaults(const std::string& lines) const { server.SetFaults(lines); }

    // The installed version recorded for `manifestName`; nullopt when no key is there.
    std::optional<std::string> InstalledVersion(const std::string& manifestName) const;
    void SetInstalledVersion(const std::string& manifestName, const std::string& version) const;

    // Starts the lobby stand-in with its record in the program folder, where a lobby that the
    // updater restarts writes its record too; waits until it is ready.
    ::testing::AssertionResult StartLobby(std::vector<std::string> args = {});
    // The stand-in's record, and only its message lines.
    std::vector<std::string> Record() const;
    std::vector<std::string> Posts() const;
    // The message lines once `expected` have arrived (or five seconds have passed) and a little
    // longer, for any that should not be there: the lobby handles a posted message after the
    // updater that posted it may have ended.
    std::vector<std::string> Posts(std::size_t expected) const;
    // Waits until the record holds `count` lines that start with `prefix`.
    bool WaitForRecordLines(const std::string& prefix, std::size_t count,
                            std::chrono::milliseconds limit) const;

    // Starts the updater with the text after its program name.
    ::testing::AssertionResult StartDravel(Process& process, const std::string& manifest,
                                           const std::string& mode) const;
    // Runs the updater to its end; its exit code, nullopt when it did not end in `limit`.
    std::optional<int> RunDravel(const std::string& manifest, const std::string& mode,
                                 std::chrono::milliseconds limit = 30s);

    // The updater's diagnostic log (GBK text); empty when there is none.
    std::string DravelLog() const;

    platform_test::HttpTestServer server;
    fs::path folder_;   // everything of this test
    fs::path program_;  // the program folder
    Process dravel_;
    Process lobby_;
};

}  // namespace dravel::proc
