#include "DownloadManager.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

#include "Digest.h"
#include "FileNames.h"
#include "Md5.h"
#include "shared/WriteLog.h"

namespace dravel {

namespace {

// "开始安装更新，请稍候..."
const char kInstallingText[] =
    "\xBF\xAA\xCA\xBC\xB0\xB2\xD7\xB0\xB8\xFC\xD0\xC2\xA3\xAC\xC7\xEB\xC9\xD4\xBA\xF2...";
// "下载 %s 文件失败"
const char kDownloadFailedFormat[] = "\xCF\xC2\xD4\xD8 %s \xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC";

// Byte counts travel to the sink as the 32-bit patterns the window expects.
int AsReportValue(std::uint64_t value) {
    return static_cast<int>(static_cast<std::uint32_t>(value));
}

int AnnouncedReportValue(std::int64_t announced) {
    return announced < 0 ? 0 : AsReportValue(static_cast<std::uint64_t>(announced));
}

std::string DownloadFailedText(const std::string& name) {
    std::string text(kDownloadFailedFormat);
    text.replace(text.find("%s"), 2, name);
    return text;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The name without its last extension (a dot inside a folder name does not count).
std::string WithoutExtension(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    const std::size_t separator = name.find_last_of("/\\");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) {
        return name;
    }
    return name.substr(0, dot);
}

}  // namespace

// One attempt at one file: receives the body into the staging file and tells how it ended.
class CDownloadMgr::FileTransfer final : public IFetchSink {
public:
    FileTransfer(CDownloadMgr& manager, tagDownloadTask& task, std::size_t filesLeft)
        : m_manager(manager),
          m_task(task),
          m_filesLeft(filesLeft),
          m_stagingPath(manager.StagingPath(task)),
          m_checksDigest(IsDigestText(task.md5)) {}

    bool OnData(const char* data, std::size_t size) override {
        if (!m_begun) {
            // The first block waits until the announced length is known, so the sink hears
            // about the file before its progress.
            m_first.append(data, size);
            return !Cancelled();
        }
        if (!WriteBlock(data, size)) {
            return false;
        }
        return !Cancelled();
    }

    bool OnProgress(std::uint64_t, std::int64_t announced) override {
        if (!m_begun && !Begin(announced)) {
            return false;
        }
        m_manager.Report(AsReportValue(m_fileBytes),
                         AsReportValue(m_manager.m_receivedBytes.load()), DS_PROGRESS,
                         m_task.name.c_str(), true);
        return !Cancelled();
    }

    bool Cancelled() const override {
        return m_manager.m_abort.load() || m_manager.m_shutdown.load();
    }

    // After the transfer returned: kDone when the staging file holds the whole file, ready
    // to be moved into place. A failed or aborted attempt leaves no staging file behind.
    AttemptEnd Finish(const FetchResult& result, AttemptFailure& failure) {
        const AttemptEnd end = Judge(result, failure);
        if (end != AttemptEnd::kDone) {
            Discard();
        }
        return end;
    }

private:
    AttemptEnd Judge(const FetchResult& result, AttemptFailure& failure) {
        if (m_fileFailure.kind != AttemptFailure::kNone) {
            failure = m_fileFailure;
            return AttemptEnd::kFailed;
        }
        if (m_manager.m_shutdown.load()) {
            return AttemptEnd::kAborted;
        }
        switch (result.outcome) {
            case FetchOutcome::kCompleted:
                break;
            case FetchOutcome::kAborted:
                if (m_manager.m_abort.load()) {
                    return AttemptEnd::kAborted;  // cut short: never installed
                }
                failure = {AttemptFailure::kOther, {}};
                return AttemptEnd::kFailed;
            case FetchOutcome::kStalled:
            case FetchOutcome::kConnectionError:
                failure = {result.error.empty() ? AttemptFailure::kOther : AttemptFailure::kNetwork,
                           result.error};
                return AttemptEnd::kFailed;
            case FetchOutcome::kHttpStatus:
            case FetchOutcome::kShort:
                failure = {AttemptFailure::kOther, {}};
                return AttemptEnd::kFailed;
        }
        if (!m_begun) {
            // An empty body (or a transfer that reports no progress) still begins the file.
            if (!Begin(result.announced)) {
                failure = m_fileFailure;
                return AttemptEnd::kFailed;
            }
            m_manager.Report(AsReportValue(m_fileBytes),
                             AsReportValue(m_manager.m_receivedBytes.load()), DS_PROGRESS,
                             m_task.name.c_str(), true);
        }
        // Whatever the transfer says, a body that does not match its announced length is no
        // file to install.
        if (result.announced >= 0 && m_fileBytes != static_cast<std::uint64_t>(result.announced)) {
            failure = {AttemptFailure::kOther, {}};
            return AttemptEnd::kFailed;
        }
        std::string error;
        const bool committed = m_staging->Commit(error);
        m_staging.reset();
        if (!committed) {
            failure = {AttemptFailure::kFile, error};
            return AttemptEnd::kFailed;
        }
        // The digest of the bytes as they were written, so the file is not read a second time.
        if (m_checksDigest && !SameDigest(harbex::Md5::ToHex(m_digest.Final()), m_task.md5)) {
            failure = {AttemptFailure::kOther, {}};
            return AttemptEnd::kFailed;
        }
        return AttemptEnd::kDone;
    }

    // Announces the file, creates its folders and staging file and writes the first block.
    bool Begin(std::int64_t announced) {
        m_begun = true;
        m_manager.Report(static_cast<int>(m_filesLeft), AnnouncedReportValue(announced),
                         DS_FILE_BEGIN, m_task.name.c_str(), true);
        m_manager.CreateFoldersOf(m_task.localName);
        std::string error;
        m_staging = m_manager.m_services.files->CreateStagingFile(m_stagingPath, error);
        if (!m_staging) {
            m_fileFailure = {AttemptFailure::kFile, error};
            return false;
        }
        m_created = true;
        const std::string first = std::move(m_first);
        m_first.clear();
        return WriteBlock(first.data(), first.size());
    }

    bool WriteBlock(const char* data, std::size_t size) {
        std::string error;
        if (!m_staging || !m_staging->Write(data, size, error)) {
            m_fileFailure = {AttemptFailure::kFile, error};
            return false;
        }
        if (m_checksDigest) {
            m_digest.Update(data, size);
        }
        m_fileBytes += size;
        m_manager.m_receivedBytes.fetch_add(size);
        return true;
    }

    void Discard() {
        m_staging.reset();
        if (m_created) {
            m_manager.m_services.files->RemoveFile(m_stagingPath);
        }
    }

    CDownloadMgr& m_manager;
    tagDownloadTask& m_task;
    const std::size_t m_filesLeft;
    const std::string m_stagingPath;
    const bool m_checksDigest;
    harbex::Md5 m_digest;
    std::unique_ptr<IStagingFile> m_staging;
    std::string m_first;
    std::uint64_t m_fileBytes = 0;
    bool m_begun = false;
    bool m_created = false;
    AttemptFailure m_fileFailure;
};

CDownloadMgr::CDownloadMgr(DownloadServices services) : m_services(std::move(services)) {}

CDownloadMgr::~CDownloadMgr() {
    Shutdown();
    RemoveAllTasks();
}

int CDownloadMgr::Init(IDownloadSink* sink, const std::string& baseUrl,
                       const std::string& stagingFolder, const std::string& targetFolder) {
    if (sink == nullptr || m_services.fetcher == nullptr || m_services.files == nullptr) {
        return 0;
    }
    m_pSink = sink;
    m_baseUrl = baseUrl;
    if (m_baseUrl.empty() || m_baseUrl.back() != '/') {
        m_baseUrl += '/';
    }
    m_stagingFolder = stagingFolder;
    m_targetFolder = targetFolder;
    if (!m_services.files->IsFolder(m_stagingFolder)) {
        m_services.files->CreateFolder(m_stagingFolder);
    }
    return 1;
}

int CDownloadMgr::AddTask(const std::string& name, const std::string& md5) {
    if (!IsSafeFileName(name)) {
        return 0;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_started) {
        return 0;  // the passes walk the list as it was when they started
    }
    auto task = std::make_unique<tagDownloadTask>();
    task->id = ++m_lastId;
    task->name = name;
    task->localName = name;
    task->md5 = md5;
    m_tasks.push_back(std::move(task));
    return 1;
}

void CDownloadMgr::RemoveAllTasks() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_tasks.clear();
}

std::size_t CDownloadMgr::TaskCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_tasks.size();
}

tagDownloadTask* CDownloadMgr::TaskAt(std::size_t index) {
    std::lock_guard<std::mutex> guard(m_lock);
    return index < m_tasks.size() ? m_tasks[index].get() : nullptr;
}

bool CDownloadMgr::Start() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_pSink == nullptr || m_started || m_shutdown.load()) {
        return false;
    }
    m_receivedBytes.store(0);
    try {
        m_worker = std::thread(&CDownloadMgr::DownloadThreadProc, this);
    } catch (const std::exception&) {
        return false;
    }
    m_started = true;
    m_startSignalled = true;
    m_wake.notify_all();
    return true;
}

bool CDownloadMgr::SetAbort() {
    std::lock_guard<std::mutex> guard(m_lock);
    const int status = m_status.load();
    if (status == DS_ALL_DOWNLOADED || status == DS_FAILED) {
        return false;  // the pass ended first: its own report tells how
    }
    m_abort.store(true);
    m_wake.notify_all();  // ends a pause between attempts at once
    return true;
}

int CDownloadMgr::EndPass(int code, const char* text, int result) {
    {
        // One decision with SetAbort: a close press lands either before the end, which then
        // is the abort it asked for, or after it, and is refused.
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_abort.load()) {
            code = DS_ABORTED;
            text = nullptr;
            result = 2;
        }
        m_status.store(code);
    }
    Report(0, 0, code, text, false);
    return result;
}

void CDownloadMgr::Shutdown() {
    m_shutdown.store(true);
    m_abort.store(true);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_wake.notify_all();
    }
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CDownloadMgr::DownloadThreadProc(CDownloadMgr* manager) {
    // Nothing may leave the thread; a failure that escapes the passes just ends the worker.
    try {
        manager->RunWorker();
    } catch (...) {
    }
}

void CDownloadMgr::RunWorker() {
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_wake.wait(lock, [this] { return m_startSignalled || m_shutdown.load(); });
    }
    if (m_shutdown.load() || OnDownloadProc() != 0) {
        return;  // the tasks stay listed
    }
    OnInstallProc();
    RemoveAllTasks();
}

int CDownloadMgr::OnDownloadProc() {
    int attempts = 0;
    std::size_t index = 0;
    for (;;) {
        ++attempts;  // counted over the whole pass, not per file
        const std::size_t count = TaskCount();
        AttemptFailure failure;
        bool failed = false;
        while (index < count) {
            tagDownloadTask* task = TaskAt(index);
            if (m_abort.load()) {
                Report(0, 0, DS_ABORTED, nullptr, true);
                return 2;
            }
            Report(0, 0, DS_CONNECTING, nullptr, true);
            AttemptEnd end = AttemptEnd::kFailed;
            try {
                end = RunAttempt(*task, index, count, failure);
            } catch (...) {
                failure = {AttemptFailure::kOther, {}};
                end = AttemptEnd::kFailed;
            }
            if (end == AttemptEnd::kAborted) {
                Report(0, 0, DS_ABORTED, nullptr, true);
                return 2;
            }
            if (end == AttemptEnd::kFailed) {
                failed = true;
                break;
            }
            MoveIntoPlace(*task, false, "CDownloadMgr::OnDownloadProc", 295);
            if (m_abort.load()) {
                Report(0, 0, DS_ABORTED, nullptr, true);
                return 2;
            }
            task->done = 1;
            Report(0, 0, DS_FILE_DONE, task->name.c_str(), true);
            ++index;
        }
        if (!failed) {
            return EndPass(DS_ALL_DOWNLOADED, nullptr, 0);
        }
        if (attempts < kMaxAttempts) {
            PauseBeforeRetry();
            continue;
        }
        std::string reason = failure.text;
        if (failure.kind == AttemptFailure::kOther || reason.empty()) {
            reason = DownloadFailedText(TaskAt(index)->name);
        }
        if (reason.size() > 511) {
            reason.resize(511);
        }
        return EndPass(DS_FAILED, reason.c_str(), 1);
    }
}

CDownloadMgr::AttemptEnd CDownloadMgr::RunAttempt(tagDownloadTask& task, std::size_t index,
                                                  std::size_t count, AttemptFailure& failure) {
    const std::string url = m_baseUrl + UrlPathOfFileName(task.name) + QuerySuffix();
    FileTransfer transfer(*this, task, count - index);
    FetchResult result;
    try {
        result = m_services.fetcher->Fetch(url, transfer);
    } catch (...) {
        result.outcome = FetchOutcome::kConnectionError;
        result.error.clear();
    }
    return transfer.Finish(result, failure);
}

int CDownloadMgr::OnInstallProc() {
    Report(0, 0, DS_INSTALLING, kInstallingText, false);
    bool all = true;
    const std::size_t count = TaskCount();
    for (std::size_t i = 0; i < count; ++i) {
        tagDownloadTask* task = TaskAt(i);
        // A file already in place has no staging file left; only failed moves get a second try.
        if (!task->installed && !MoveIntoPlace(*task, true, "CDownloadMgr::OnInstallProc", 340)) {
            all = false;
        }
    }
    // Here, on the worker, the window stays responsive while the disk catches up. A file that
    // cannot be forced to the disk counts as not installed: the version is not recorded, and
    // the next run checks every file again.
    m_allInstalled.store(all && MakeNewFilesDurable());
    Report(0, 0, DS_FINISHED, nullptr, false);
    return 0;
}

bool CDownloadMgr::MoveIntoPlace(tagDownloadTask& task, bool installPass, const char* source,
                                 int line) {
    const std::string staging = StagingPath(task);
    const std::string installed = InstalledPath(task, installPass);
    // A file that replaces another is forced to the disk by the move itself; new ones wait to
    // be forced together at the end.
    const bool replacing = m_services.files->Exists(installed);
    int code = 0;
    std::string error;
    if (m_services.files->PutInPlace(staging, installed, replacing, code, error)) {
        task.installed = true;
        if (!replacing) {
            m_newFiles.push_back(installed);
        }
        return true;
    }
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "[%d]", code);
    Log(source, line, std::string(prefix) + "[" + staging + "][" + installed + "]");
    return false;
}

bool CDownloadMgr::MakeNewFilesDurable() {
    return m_newFiles.empty() || m_services.files->MakeDurable(m_newFiles);
}

std::string CDownloadMgr::StagingPath(const tagDownloadTask& task) const {
    return m_services.files->ExistingSpelling(
        JoinFolder(m_stagingFolder, NativeFileName(task.localName) + ".dtm"));
}

std::string CDownloadMgr::InstalledPath(const tagDownloadTask& task, bool installPass) const {
    std::string local = NativeFileName(task.localName);
    if (!m_services.programFileName.empty() &&
        EqualsIgnoreAsciiCase(task.localName, m_services.programFileName)) {
        // The running program cannot be replaced; its new copy waits beside it.
        local = WithoutExtension(local) + ".EX_";
    } else if (installPass && EndsWith(local, ".qv")) {
        local = WithoutExtension(local);
    }
    return m_services.files->ExistingSpelling(JoinFolder(m_targetFolder, local));
}

void CDownloadMgr::CreateFoldersOf(const std::string& localName) {
    std::vector<std::string> parts = SplitFileName(localName);
    parts.pop_back();  // the file itself
    for (const std::string* root : {&m_stagingFolder, &m_targetFolder}) {
        if (root == &m_targetFolder && m_targetFolder == m_stagingFolder) {
            break;
        }
        std::string folder = *root;
        for (const std::string& part : parts) {
            folder = m_services.files->ExistingSpelling(JoinFolder(folder, part));
            m_services.files->CreateFolder(folder);  // an existing folder is fine
        }
    }
}

void CDownloadMgr::PauseBeforeRetry() {
    if (m_services.pause != nullptr) {
        m_services.pause->Pause(kRetryPause);
        return;
    }
    std::unique_lock<std::mutex> lock(m_lock);
    m_wake.wait_for(lock, kRetryPause, [this] { return m_abort.load() || m_shutdown.load(); });
}

void CDownloadMgr::Report(int value1, int value2, int code, const char* text, bool store) {
    if (store) {
        m_status.store(code);
    }
    if (m_shutdown.load() || m_pSink == nullptr) {
        return;  // the sink's owner is going away
    }
    m_pSink->OnStatusCallback(value1, value2, code, text);
}

void CDownloadMgr::Log(const char* source, int line, const std::string& message) {
    if (m_services.log != nullptr) {
        m_services.log->Write(source, line, message);
        return;
    }
    WriteLog("Dravel", source, line, "%s", message.c_str());
}

std::string CDownloadMgr::QuerySuffix() {
    if (m_services.querySuffix) {
        return m_services.querySuffix();
    }
    const int first = std::rand();
    const int second = std::rand();
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "?%d.%d", first, second);
    return suffix;
}

}  // namespace dravel
