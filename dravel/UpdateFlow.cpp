#include "UpdateFlow.h"

#include <climits>
#include <cstdint>
#include <utility>

#include "shared/WriteLog.h"

namespace dravel {

namespace {

// The message texts, in the updater's code page (GBK).
// "提示"
constexpr const char* kCaption = "\xcc\xe1\xca\xbe";
// "网络连接出错！"
constexpr const char* kNetworkError = "\xcd\xf8\xc2\xe7\xc1\xac\xbd\xd3\xb3\xf6\xb4\xed\xa3\xa1";
// "更新失败，请到官网重新下载安装大厅或联系在线客服！"
constexpr const char* kLobbyUpdateFailed =
    "\xb8\xfc\xd0\xc2\xca\xa7\xb0\xdc\xa3\xac\xc7\xeb\xb5\xbd\xb9\xd9\xcd\xf8\xd6\xd8\xd0\xc2"
    "\xcf\xc2\xd4\xd8\xb0\xb2\xd7\xb0\xb4\xf3\xcc\xfc\xbb\xf2\xc1\xaa\xcf\xb5\xd4\xda\xcf\xdf"
    "\xbf\xcd\xb7\xfe\xa3\xa1";
// "文件更新失败", after the reason and a line break
constexpr const char* kFileUpdateFailed = "\xce\xc4\xbc\xfe\xb8\xfc\xd0\xc2\xca\xa7\xb0\xdc";
// " 最后一个下载的文件", between the reason and the file name in the log
constexpr const char* kLastFileLabel =
    " \xd7\xee\xba\xf3\xd2\xbb\xb8\xf6\xcf\xc2\xd4\xd8\xb5\xc4\xce\xc4\xbc\xfe";
// "无法开始下载": the reason when the worker cannot be started at all
constexpr const char* kCannotStart = "\xce\xde\xb7\xa8\xbf\xaa\xca\xbc\xcf\xc2\xd4\xd8";

constexpr const char* kCallbackSource = "CDravelDlg::OnStatusCallback";
constexpr int kCallbackLine = 339;
constexpr const char* kTimerSource = "CDravelDlg::OnTimer";
constexpr int kTimerLine = 262;

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// `text` cut to at most `capacity` bytes without splitting a double-byte character.
std::string CutWhole(std::string_view text, std::size_t capacity) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t width =
            IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + width > capacity) {
            break;
        }
        end += width;
    }
    return std::string(text.substr(0, end));
}

// A number as the C runtime's atoi reads one: leading white space, one sign, decimal digits up
// to the first other character; out-of-range values saturate.
int ReadMode(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) {
            value =
                static_cast<std::int64_t>(INT_MAX) + 1;  // saturated; more digits change nothing
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace

std::optional<UpdateCommandLine> ParseUpdateCommandLine(std::string_view text) {
    const std::size_t blank = text.find(' ');
    const std::string_view name = text.substr(0, blank);
    if (name.empty()) {
        return std::nullopt;
    }
    UpdateCommandLine result;
    result.manifestName = CutWhole(name, kMaxManifestName);
    if (blank != std::string_view::npos) {
        result.mode = ReadMode(text.substr(blank + 1, kModeTextLength));
    }
    return result;
}

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty()) {
            text += ' ';
        }
        text += argument;
    }
    return text;
}

std::optional<UpdateCommandLine> DecideStartup(
    std::string_view commandLine, const std::function<bool(const std::string&)>& takeLock) {
    std::optional<UpdateCommandLine> parsed = ParseUpdateCommandLine(commandLine);
    if (!parsed || !takeLock || !takeLock(parsed->manifestName)) {
        return std::nullopt;  // nothing to do, or another updater works on this manifest
    }
    return parsed;
}

std::string LobbyCommandLine(const std::string& programFolder) {
    return "\"" + programFolder + "Kestrune.exe\" 1";
}

UpdateFlow::UpdateFlow(IUpdateHost& host, UpdateCommandLine commandLine, IDownloadLog* log)
    : m_host(host), m_commandLine(std::move(commandLine)), m_log(log) {}

FlowState UpdateFlow::State() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state;
}

void UpdateFlow::SetState(FlowState state) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_state = state;
}

void UpdateFlow::OnInitDialog() {
    if (IsLobbyManifest()) {
        m_host.ShowSplash();
    } else if (Mode() == UPDATE_MODE_VERIFY) {
        m_host.ShowWindow();
    }
    if (IsLobbyManifest() && Mode() == UPDATE_MODE_RESTART) {
        RunRestart();
        return;
    }
    SetState(FlowState::kWaiting);
    m_host.StartTimer(kCheckTimerId, kCheckTimerPeriodMs);
}

void UpdateFlow::RunRestart() {
    SetState(FlowState::kRestarting);
    // Wait while the lobby is still there, but start it anyway once the polls are used up.
    for (int poll = 0; poll < kRestartPolls; ++poll) {
        if (!m_host.LobbyWindowExists()) {
            break;
        }
        m_host.WaitMilliseconds(kRestartPollWaitMs);
    }
    StartLobby();
    SetState(FlowState::kClosing);
    m_host.CloseWindow();
}

void UpdateFlow::StartLobby() {
    m_host.StartProgram(LobbyCommandLine(m_host.ProgramFolder()));
}

LobbyNotification UpdateFlow::GameOrVerify() const {
    if (Mode() == UPDATE_MODE_VERIFY) {
        return {NOTIFY_VERIFY, 0};
    }
    return {NOTIFY_GAME, Mode()};
}

std::vector<LobbyNotification> UpdateFlow::EndOfRunNotifications() const {
    return {{NOTIFY_CURRENT, 0}, GameOrVerify()};
}

void UpdateFlow::OnTimer(int id) {
    if (id != kCheckTimerId) {
        return;
    }
    m_host.StopTimer(id);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // A firing already queued when the timer was stopped must not check a second time.
        if (m_state != FlowState::kWaiting) {
            return;
        }
        m_state = FlowState::kChecking;
    }
    // The window found now is the one told at the end; the check blocks for a while.
    const bool lobbyFound = m_host.LobbyWindowExists();
    const std::string programFolder = m_host.ProgramFolder();

    std::string address;
    if (!m_host.ReadDownloadAddress(address)) {
        SetState(FlowState::kClosing);
        if (lobbyFound) {
            m_host.NotifyLobby(EndOfRunNotifications());
        }
        if (IsLobbyManifest()) {
            StartLobby();
        }
        m_host.CloseWindow();
        return;
    }

    m_host.InitDownloads(address, programFolder);
    m_host.OpenTipPage(ManifestName());
    const std::string installed = m_host.ReadInstalledVersion(ManifestName());
    const std::string url = address + ManifestName() + m_host.QuerySuffix();
    try {
        m_check = m_host.CheckManifest(url, installed, Mode());
    } catch (...) {
        // Out of memory over a hostile manifest, say: a failed check, which the player and the
        // lobby are told about, never a window left waiting for good.
        m_check = ManifestCheck();
        m_check.failure = "the manifest could not be checked";
    }

    if (m_check.outcome == CheckOutcome::kFailed) {
        if (!m_check.failure.empty()) {
            Log(kTimerSource, kTimerLine, m_check.failure);
        }
        m_host.ShowMessage(kNetworkError, kCaption, MessageIcon::kWarning);
    }
    if (m_check.Result() == 0) {
        EndCheckedRun(lobbyFound, VersionToRecord(m_check, false));
        return;
    }

    if (IsLobbyManifest()) {
        m_host.HideSplash();
    }
    m_host.ShowWindow();
    SetState(FlowState::kDownloading);
    if (!m_host.StartDownloads()) {
        // No worker means no report ever closes the window: end it as a failed download.
        OnDownloadFailed(kCannotStart);
    }
}

void UpdateFlow::EndCheckedRun(bool lobbyFound, const std::string& version) {
    SetState(FlowState::kClosing);
    m_host.WriteInstalledVersion(ManifestName(), version);
    if (lobbyFound) {
        m_host.NotifyLobby(EndOfRunNotifications());
    }
    if (IsLobbyManifest()) {
        StartLobby();
    }
    m_host.CloseWindow();
}

void UpdateFlow::OnStatusCallback(int /*value1*/, int /*value2*/, int code,
                                  const char* text) noexcept {
    try {
        const std::string reported = text != nullptr ? text : "";
        switch (code) {
            case DS_FILE_BEGIN: {
                std::lock_guard<std::mutex> guard(m_lock);
                m_lastFile = reported;
                break;
            }
            case DS_ALL_DOWNLOADED: {
                {
                    std::lock_guard<std::mutex> guard(m_lock);
                    if (m_state == FlowState::kDownloading) {
                        m_state = FlowState::kInstalling;
                    }
                }
                m_host.EnableButtons(false);
                break;
            }
            case DS_ABORTED:
                SetState(FlowState::kClosing);
                m_host.CloseWindow();
                break;
            case DS_FINISHED:
                OnInstalled();
                break;
            case DS_FAILED:
                OnDownloadFailed(reported);
                break;
            default:
                break;  // connecting, progress and installing only concern the progress display
        }
    } catch (...) {
        // Out of memory on the worker thread: the window must still close.
        try {
            m_host.CloseWindow();
        } catch (...) {
        }
    }
}

void UpdateFlow::OnInstalled() {
    SetState(FlowState::kClosing);
    const bool allInstalled = m_host.AllInstalled();
    if (IsLobbyManifest()) {
        StartLobby();
    } else if (Mode() != UPDATE_MODE_VERIFY) {
        // A file left out (its move failed twice) means the game is not current: the lobby
        // hears only the game code, as after a failed download.
        m_host.NotifyLobby(allInstalled ? EndOfRunNotifications()
                                        : std::vector<LobbyNotification>{GameOrVerify()});
    }
    m_host.WriteInstalledVersion(ManifestName(), VersionToRecord(m_check, allInstalled));
    m_host.CloseWindow();
}

void UpdateFlow::OnDownloadFailed(const std::string& reason) {
    std::string lastFile;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_state = FlowState::kFailed;
        lastFile = m_lastFile;
    }
    Log(kCallbackSource, kCallbackLine, reason + kLastFileLabel + lastFile);
    if (IsLobbyManifest()) {
        m_host.ShowMessage(kLobbyUpdateFailed, kCaption, MessageIcon::kInformation);
        StartLobby();
    } else {
        m_host.ShowMessage(reason + "\n" + kFileUpdateFailed, kCaption, MessageIcon::kInformation);
        // Only the game/verify code: a failed run is not "current", and the version stays.
        m_host.NotifyLobby({GameOrVerify()});
    }
    SetState(FlowState::kClosing);
    m_host.CloseWindow();
}

void UpdateFlow::OnCloseButton() {
    FlowState before;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        before = m_state;
        if (before == FlowState::kStarting || before == FlowState::kWaiting) {
            m_state = FlowState::kClosing;
        }
    }
    switch (before) {
        case FlowState::kDownloading:
            // The worker stops after its current block and reports DS_ABORTED, which closes.
            // Once the downloads have ended the press is refused: the install's end or the
            // failure closes the window and tells the lobby, and closing here would lose that
            // or stop the program in the middle of putting files in place.
            if (!m_host.AbortDownloads()) {
                break;
            }
            SetState(FlowState::kAborting);
            m_host.EnableButtons(false);
            m_host.NotifyLobby({{NOTIFY_CANCELLED, 0}});
            break;
        case FlowState::kStarting:
        case FlowState::kWaiting:
            // No worker runs yet, so none would ever report the abort: close now.
            m_host.StopTimer(kCheckTimerId);
            m_host.NotifyLobby({{NOTIFY_CANCELLED, 0}});
            m_host.DestroyWindow();
            break;
        default:
            break;  // already stopping or closing: a second press changes nothing
    }
}

void UpdateFlow::OnMinimiseButton() {
    m_host.Minimise();
}

void UpdateFlow::Log(const char* source, int line, const std::string& message) {
    if (m_log != nullptr) {
        m_log->Write(source, line, message);
        return;
    }
    WriteLog(kUpdaterLogName, source, line, "%s", message.c_str());
}

}  // namespace dravel
