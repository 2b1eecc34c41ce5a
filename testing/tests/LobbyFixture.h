// A test with a private folder, the stand-in lobby program and its record.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "KestruneOptions.h"

namespace lobbytest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LobbyFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("lobby-" + std::to_string(random() % 1000000) + std::to_string(random() % 1000));
        fs::create_directories(folder_);
        lobbytest::UsePrivateLobbyFolder(folder_.string());
        record_ = (folder_ / "record.log").string();
    }
    void TearDown() override {
        lobby_.Kill();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Starts the stand-in and waits until it has recorded that it is ready.
    ::testing::AssertionResult StartLobby(std::vector<std::string> args = {}) {
        const std::size_t before = kestrune::ReadRecord(record_).size();
        args.insert(args.begin(), {"--record", record_});
        if (!lobby_.Start(lobbytest::KestruneProgram(), args)) {
            return ::testing::AssertionFailure() << "cannot start " << lobbytest::KestruneProgram();
        }
        if (!WaitForRecord(before + 1)) {
            return ::testing::AssertionFailure() << "the lobby did not get ready";
        }
        return ::testing::AssertionSuccess();
    }

    // Waits until the record holds at least `count` lines; the record as it is then.
    std::vector<std::string> WaitForRecordLines(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        std::vector<std::string> lines = kestrune::ReadRecord(record_);
        while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
            lines = kestrune::ReadRecord(record_);
        }
        return lines;
    }
    bool WaitForRecord(std::size_t count) { return WaitForRecordLines(count).size() >= count; }

    fs::path folder_;
    std::string record_;
    lobbytest::ChildProcess lobby_;
};

}  // namespace lobbytest
