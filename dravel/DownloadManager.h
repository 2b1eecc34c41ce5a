// The download manager: fetches the queued files one after another on a worker thread,
// stages each one and puts it in place, and reports every step to a download sink.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "UpdateFiles.h"

namespace dravel {

// Status codes reported to the sink.
enum : int {
    DS_CONNECTING = 1,
    DS_FILE_BEGIN = 3,
    DS_PROGRESS = 4,
    DS_FILE_DONE = 5,
    DS_ALL_DOWNLOADED = 6,
    DS_ABORTED = 7,
    DS_INSTALLING = 8,
    DS_FINISHED = 9,
    DS_FAILED = 32,
};

// Receives the manager's reports, on the worker thread. `text` may be null.
class IDownloadSink {
public:
    virtual ~IDownloadSink() = default;
    virtual void OnStatusCallback(int value1, int value2, int code, const char* text) = 0;
};

// Where a transfer delivers the body while it arrives.
class IFetchSink {
public:
    virtual ~IFetchSink() = default;
    // One block of the body, in order. False stops the transfer.
    virtual bool OnData(const char* data, std::size_t size) = 0;
    // After every block: body bytes so far and the announced length (-1 when none). False stops.
    virtual bool OnProgress(std::uint64_t received, std::int64_t announced) = 0;
    // Polled by a transfer that waits for data, so a stop need not wait for the next block.
    virtual bool Cancelled() const = 0;
};

enum class FetchOutcome {
    kCompleted,        // the body ended (the manager checks it against the announced length)
    kHttpStatus,       // a status outside 200-299; no body delivered
    kShort,            // the connection ended before the announced length
    kStalled,          // nothing arrived for the stall time (30 s)
    kConnectionError,  // no connection, host not found, connection broken off
    kAborted,          // the sink asked to stop
};

struct FetchResult {
    FetchOutcome outcome = FetchOutcome::kConnectionError;
    int status = 0;               // the response's HTTP status; 0 when none arrived
    std::int64_t announced = -1;  // Content-Length, -1 when absent
    std::string error;            // the system's text for a connection error or stall (ANSI)
};

// The HTTP client the manager downloads with.
class IFileFetcher {
public:
    virtual ~IFileFetcher() = default;
    virtual FetchResult Fetch(const std::string& url, IFetchSink& sink) = 0;
};

// The pause between failed attempts. The manager's own waits on its abort flag, so closing
// the window never waits out a pause; tests substitute one that records the pauses.
class IRetryPause {
public:
    virtual ~IRetryPause() = default;
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

// Where the manager logs what it cannot report otherwise (a move that failed).
class IDownloadLog {
public:
    virtual ~IDownloadLog() = default;
    virtual void Write(const char* source, int line, const std::string& message) = 0;
};

struct tagDownloadTask {
    int id = 0;
    int done = 0;            // 1 once downloaded (and, unless its move failed, in place)
    std::string name;        // the manifest's FileName: the download address and status texts
    std::string localName;   // the name below the staging and target folders
    std::string md5;         // the listed digest; a well-formed one is checked before the move
    bool installed = false;  // the staged file was moved into place
};

// What the manager works with besides the sink; all pointers are borrowed and must outlive it.
struct DownloadServices {
    IFileFetcher* fetcher = nullptr;
    IUpdateFileSystem* files = nullptr;
    IRetryPause* pause = nullptr;  // null: one second on the manager's abortable wait
    IDownloadLog* log = nullptr;   // null: the "Dravel" diagnostic log
    // Makes the query suffix that keeps caches out ("?%d.%d"); empty: from std::rand.
    std::function<std::string()> querySuffix;
    // The running program's file name; the manifest's copy of it arrives beside it as ".EX_".
    std::string programFileName;
};

class CDownloadMgr {
public:
    static constexpr int kMaxAttempts = 30;
    static constexpr std::size_t kBlockSize = 8192;
    static constexpr std::chrono::milliseconds kRetryPause{1000};

    explicit CDownloadMgr(DownloadServices services);
    // Joins the worker (see Shutdown).
    virtual ~CDownloadMgr();
    CDownloadMgr(const CDownloadMgr&) = delete;
    CDownloadMgr& operator=(const CDownloadMgr&) = delete;

    // 1 on success; 0 without a sink, fetcher or file system. Ends the base URL with "/" and
    // creates the staging folder (one level) when it is missing.
    int Init(IDownloadSink* sink, const std::string& baseUrl, const std::string& stagingFolder,
             const std::string& targetFolder);

    // Queues a file; 0 for a name that is not safe to write or once the worker has started.
    int AddTask(const std::string& name, const std::string& md5 = {});
    void RemoveAllTasks();
    std::size_t TaskCount() const;

    // Resets the received bytes and starts the worker, which runs the download pass and, when
    // it fetched everything, the install pass. False when not initialised or already started.
    bool Start();

    // The close button: the worker stops after its current block and reports DS_ABORTED.
    // False, and nothing changes, once the download pass has ended (DS_ALL_DOWNLOADED or
    // DS_FAILED stored): that end's own reports follow.
    bool SetAbort();
    bool IsAborting() const { return m_abort.load(); }

    // Stops the worker and waits for it; afterwards the sink is never called again. The sink's
    // owner calls this before the sink goes away (the destructor calls it too).
    void Shutdown();

    int GetStatus() const { return m_status.load(); }
    std::uint64_t GetReceivedBytes() const { return m_receivedBytes.load(); }
    void SetReceivedBytes(std::uint64_t bytes) { m_receivedBytes.store(bytes); }
    // True once the install pass has put every queued file in place and on the disk; only then
    // may the manifest's version be recorded as installed.
    bool AllInstalled() const { return m_allInstalled.load(); }

    // Stores and reports the download pass's end, `code` with `text`, and returns `result`; an
    // abort asked before it turns the end into DS_ABORTED with result 2.
    int EndPass(int code, const char* text, int result);
    // The passes, run by the worker: download pass 0 (all fetched), 1 (failed, DS_FAILED) or
    // 2 (aborted, DS_ABORTED); install pass 0.
    virtual int OnDownloadProc();
    virtual int OnInstallProc();

private:
    class FileTransfer;
    enum class AttemptEnd { kDone, kFailed, kAborted };
    struct AttemptFailure {
        enum Kind { kNone, kNetwork, kFile, kOther } kind = kNone;
        std::string text;
    };

    static void DownloadThreadProc(CDownloadMgr* manager);
    void RunWorker();

    AttemptEnd RunAttempt(tagDownloadTask& task, std::size_t index, std::size_t count,
                          AttemptFailure& failure);
    bool MoveIntoPlace(tagDownloadTask& task, bool installPass, const char* source, int line);
    // Forces the files that were new to the installation to the disk, together.
    bool MakeNewFilesDurable();
    std::string InstalledPath(const tagDownloadTask& task, bool installPass) const;
    std::string StagingPath(const tagDownloadTask& task) const;
    void CreateFoldersOf(const std::string& localName);
    void PauseBeforeRetry();
    void Report(int value1, int value2, int code, const char* text, bool store);
    void Log(const char* source, int line, const std::string& message);
    std::string QuerySuffix();
    tagDownloadTask* TaskAt(std::size_t index);

    DownloadServices m_services;
    IDownloadSink* m_pSink = nullptr;
    std::string m_baseUrl;
    std::string m_stagingFolder;
    std::string m_targetFolder;

    mutable std::mutex m_lock;  // guards the list, the start signal and the pause
    std::condition_variable m_wake;
    std::vector<std::unique_ptr<tagDownloadTask>> m_tasks;
    std::vector<std::string> m_newFiles;  // put in place where no file was; the passes only
    int m_lastId = 0;
    bool m_startSignalled = false;
    bool m_started = false;

    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_shutdown{false};
    std::atomic<int> m_status{0};
    std::atomic<std::uint64_t> m_receivedBytes{0};
    std::atomic<bool> m_allInstalled{false};
    std::thread m_worker;
};

}  // namespace dravel
