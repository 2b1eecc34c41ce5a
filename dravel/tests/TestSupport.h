// Fakes and helpers shared by the updater's tests: a scratch folder, a scripted HTTP client,
// a sink that records reports, a pause that records pauses and a file system whose moves fail.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "DownloadManager.h"
#include "UpdateFiles.h"

namespace dravel::test {

class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_path = std::filesystem::temp_directory_path() /
                 ("dravel-test-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path() const { return m_path.string(); }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline std::string Bytes(std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(seed + static_cast<char>(i % 7));
    }
    return bytes;
}

struct Report {
    int value1;
    int value2;
    int code;
    std::optional<std::string> text;
};

class RecordingSink : public IDownloadSink {
public:
    void OnStatusCallback(int value1, int value2, int code, const char* text) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_reports.push_back(
            {value1, value2, code, text ? std::optional<std::string>(text) : std::nullopt});
        m_changed.notify_all();
    }

    std::vector<Report> Reports() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_reports;
    }

    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const Report& report : Reports()) {
            codes.push_back(report.code);
        }
        return codes;
    }

    // The reports with one code, in order.
    std::vector<Report> WithCode(int code) const {
        std::vector<Report> selected;
        for (const Report& report : Reports()) {
            if (report.code == code) {
                selected.push_back(report);
            }
        }
        return selected;
    }

    bool WaitFor(int code, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            for (const Report& report : m_reports) {
                if (report.code == code) {
                    return true;
                }
            }
            return false;
        });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Report> m_reports;
};

// Serves files by name; a script per name lists how the next requests fail before it serves.
class FakeFetcher : public IFileFetcher {
public:
    enum class Fault { kConnectionError, kHttp404, kShort, kLyingComplete, kStall, kWrongBody };

    std::map<std::string, std::string> files;
    std::map<std::string, std::deque<Fault>> faults;
    std::size_t blockSize = CDownloadMgr::kBlockSize;
    // Called after every block handed over, with the name and the block's number.
    std::function<void(const std::string&, std::size_t)> onBlock;

    FetchResult Fetch(const std::string& url, IFetchSink& sink) override {
        const std::string name = NameOf(url);
        std::optional<Fault> fault;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_urls.push_back(url);
            auto script = faults.find(name);
            if (script != faults.end() && !script->second.empty()) {
                fault = script->second.front();
                script->second.pop_front();
            }
        }
        FetchResult result;
        const auto found = files.find(name);
        if (found == files.end() || fault == Fault::kHttp404) {
            result.outcome = FetchOutcome::kHttpStatus;
            result.status = 404;
            return result;
        }
        if (fault == Fault::kConnectionError || fault == Fault::kStall) {
            result.outcome =
                fault == Fault::kStall ? FetchOutcome::kStalled : FetchOutcome::kConnectionError;
            result.error = "host unreachable";
            return result;
        }
        std::string body = found->second;
        result.status = 200;
        result.announced = static_cast<std::int64_t>(body.size());
        if (fault == Fault::kShort || fault == Fault::kLyingComplete) {
            body.resize(body.size() / 2);
        }
        if (fault == Fault::kWrongBody && !body.empty()) {
            body[0] = static_cast<char>(body[0] ^ 0x55);
        }
        std::size_t sent = 0;
        std::size_t block = 0;
        while (sent < body.size()) {
            const std::size_t size = std::min(blockSize, body.size() - sent);
            const bool more = sink.OnData(body.data() + sent, size) &&
                              sink.OnProgress(sent + size, result.announced);
            sent += size;
            if (onBlock) {
                onBlock(name, block++);
            }
            if (!more) {
                result.outcome = FetchOutcome::kAborted;
                return result;
            }
        }
        result.outcome = fault == Fault::kShort ? FetchOutcome::kShort : FetchOutcome::kCompleted;
        return result;
    }

    std::vector<std::string> Urls() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_urls;
    }

    std::vector<std::string> RequestedNames() const {
        std::vector<std::string> names;
        for (const std::string& url : Urls()) {
            names.push_back(NameOf(url));
        }
        return names;
    }

    static constexpr const char* kBase = "http://dl.test/Vorsel/";

private:
    static std::string NameOf(const std::string& url) {
        std::string name = url.substr(std::string(kBase).size());
        return name.substr(0, name.find('?'));
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_urls;
};

class RecordingPause : public IRetryPause {
public:
    void Pause(std::chrono::milliseconds duration) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_pauses.push_back(duration);
    }
    std::vector<std::chrono::milliseconds> Pauses() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_pauses;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::chrono::milliseconds> m_pauses;
};

class RecordingLog : public IDownloadLog {
public:
    struct Entry {
        std::string source;
        int line;
        std::string message;
    };
    void Write(const char* source, int line, const std::string& message) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_entries.push_back({source, line, message});
    }
    std::vector<Entry> Entries() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_entries;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

// The real file system, except that moves onto chosen targets fail a given number of times.
class MoveFailingFiles : public IUpdateFileSystem {
public:
    std::map<std::string, int> failingMoves;   // target path -> failures left
    std::vector<std::string> madeDurable;      // every path MakeDurable was given, in order
    std::vector<std::string> replacedTargets;  // targets of the moves told they replace a file
    bool durableFails = false;

    bool Exists(const std::string& path) override { return m_real->Exists(path); }
    bool IsFolder(const std::string& path) override { return m_real->IsFolder(path); }
    bool CreateFolder(const std::string& path) override { return m_real->CreateFolder(path); }
    std::unique_ptr<IStagingFile> CreateStagingFile(const std::string& path,
                                                    std::string& error) override {
        return m_real->CreateStagingFile(path, error);
    }
    bool PutInPlace(const std::string& from, const std::string& to, bool replacing, int& errorCode,
                    std::string& error) override {
        if (replacing) {
            replacedTargets.push_back(to);
        }
        auto failing = failingMoves.find(to);
        if (failing != failingMoves.end() && failing->second > 0) {
            --failing->second;
            errorCode = 32;
            error = "in use";
            return false;
        }
        return m_real->PutInPlace(from, to, replacing, errorCode, error);
    }
    bool MakeDurable(const std::vector<std::string>& paths) override {
        madeDurable.insert(madeDurable.end(), paths.begin(), paths.end());
        return !durableFails && m_real->MakeDurable(paths);
    }
    bool RemoveFile(const std::string& path) override { return m_real->RemoveFile(path); }

private:
    std::unique_ptr<IUpdateFileSystem> m_real = CreateLocalFileSystem();
};

}  // namespace dravel::test
