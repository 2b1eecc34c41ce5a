// The updater's run from its command line to its last lobby notification: what to check, when
// to talk to the lobby, what version.ini receives and when the window closes. The window and
// the platform only carry the decisions out through IUpdateHost, so the whole flow runs under
// test with a recording host.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DownloadManager.h"
#include "Manifest.h"

namespace dravel {

// With the lobby's own manifest: wait for the lobby to go away and start it again.
inline constexpr int UPDATE_MODE_RESTART = 999;

// The lobby's own manifest. Compared byte by byte: "update.xml" names a game manifest.
inline constexpr const char* kLobbyManifestName = "Update.xml";

// The notification posted to the lobby's main window: wparam a code, lparam a value.
inline constexpr std::uint32_t WM_UPDATE_NOTIFY = 0x400 + 101;

enum : int {
    NOTIFY_GAME = 2,       // value: the mode
    NOTIFY_VERIFY = 3,     // value 0; in place of NOTIFY_GAME in mode 998
    NOTIFY_CURRENT = 4,    // value 0; precedes the game/verify code when a run ends normally
    NOTIFY_CANCELLED = 5,  // value 0; the user stopped the download
};

// How often and how long the restart path looks for the lobby window to go away.
inline constexpr int kRestartPolls = 100;
inline constexpr int kRestartPollWaitMs = 50;
// Timer 1000 starts the check half a second after the window came up.
inline constexpr int kCheckTimerId = 1000;
inline constexpr int kCheckTimerPeriodMs = 500;

// The updater's diagnostic log.
inline constexpr const char* kUpdaterLogName = "Dravel.exe";

struct UpdateCommandLine {
    std::string manifestName;  // at most kMaxManifestName bytes
    int mode = 0;
};

inline constexpr std::size_t kMaxManifestName = 259;
inline constexpr std::size_t kModeTextLength = 19;

// Splits the text after the program name at its first blank. Empty when the updater has
// nothing to work on (empty text, or a text that starts with a blank so that no manifest is
// named): the program then ends without a window.
std::optional<UpdateCommandLine> ParseUpdateCommandLine(std::string_view text);

// The arguments of a program start joined with single blanks, as one command line text.
std::string JoinArguments(const std::vector<std::string>& arguments);

// The start-up decision: the command line, then the per-manifest single-instance lock, which
// `takeLock` takes (false when another updater already holds it). Empty: end at once.
std::optional<UpdateCommandLine> DecideStartup(
    std::string_view commandLine, const std::function<bool(const std::string&)>& takeLock);

// The command line that starts the lobby program from the updater's folder (which ends with a
// separator). The path is quoted so that a folder with blanks cannot start another program.
std::string LobbyCommandLine(const std::string& programFolder);

enum class MessageIcon { kInformation, kWarning };

struct LobbyNotification {
    int code = 0;
    int value = 0;
    bool operator==(const LobbyNotification&) const = default;
};

// What the window and the platform do for the flow.
class IUpdateHost {
public:
    virtual ~IUpdateHost() = default;

    // The lobby's main window.
    virtual bool LobbyWindowExists() = 0;
    // Looks the lobby window up once and posts WM_UPDATE_NOTIFY with each pair, in order.
    // False when there is no window.
    virtual bool NotifyLobby(const std::vector<LobbyNotification>& notifications) = 0;
    // Runs a program command line (show state SW_SHOWDEFAULT); its result is not looked at.
    virtual void StartProgram(const std::string& commandLine) = 0;
    virtual void WaitMilliseconds(int milliseconds) = 0;

    // The updater's own folder, with a trailing separator.
    virtual std::string ProgramFolder() = 0;

    // The window. Message boxes are modal, owned by the window, and return once closed.
    virtual void ShowSplash() = 0;
    virtual void HideSplash() = 0;
    virtual void ShowWindow() = 0;
    virtual void Minimise() = 0;
    virtual void EnableButtons(bool enable) = 0;  // the close and the minimise button
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) = 0;
    virtual void StartTimer(int id, int periodMs) = 0;
    virtual void StopTimer(int id) = 0;
    // Posts WM_CLOSE to the window: it closes once the messages before it are handled.
    virtual void CloseWindow() = 0;
    // Destroys the window at once.
    virtual void DestroyWindow() = 0;
    // Resizes the window to its background picture and opens the tip page for the manifest.
    virtual void OpenTipPage(const std::string& manifestName) = 0;

    // version.ini in the working directory, section "version", one key per manifest name.
    virtual std::string ReadInstalledVersion(const std::string& manifestName) = 0;
    virtual void WriteInstalledVersion(const std::string& manifestName,
                                       const std::string& version) = 0;

    // The check: the download root (with "Vorsel/"); false when LobbyUrl.ini names none.
    virtual bool ReadDownloadAddress(std::string& address) = 0;
    // "?%d.%d" from two successive values of the pseudo-random generator.
    virtual std::string QuerySuffix() = 0;
    // Initialises the download manager with the flow's sink, the address as base URL and the
    // program folder as staging and target folder.
    virtual void InitDownloads(const std::string& address, const std::string& programFolder) = 0;
    // Fetches the manifest and queues what is out of date on the download manager.
    virtual ManifestCheck CheckManifest(const std::string& manifestUrl,
                                        const std::string& installedVersion, int mode) = 0;

    // The download manager.
    virtual bool StartDownloads() = 0;  // resets the received bytes, starts the worker
    // False when the downloads had already ended; their own reports then close the window.
    virtual bool AbortDownloads() = 0;
    virtual bool AllInstalled() = 0;
};

// The states of one run.
enum class FlowState {
    kStarting,
    kRestarting,
    kWaiting,
    kChecking,
    kDownloading,
    kAborting,
    kInstalling,
    kFailed,
    kClosing,
};

class UpdateFlow {
public:
    // `log`: where the failure record goes; null writes the updater's diagnostic log.
    UpdateFlow(IUpdateHost& host, UpdateCommandLine commandLine, IDownloadLog* log = nullptr);
    UpdateFlow(const UpdateFlow&) = delete;
    UpdateFlow& operator=(const UpdateFlow&) = delete;

    // The window's initialisation, after the layout: the splash or the window, then either the
    // restart path (blocking for up to about five seconds) or the check timer.
    void OnInitDialog();
    // The check timer fired; only the first firing counts.
    void OnTimer(int id);
    // The download manager's reports; called on the worker thread.
    void OnStatusCallback(int value1, int value2, int code, const char* text) noexcept;
    // The close button (also the Esc key).
    void OnCloseButton();
    void OnMinimiseButton();

    FlowState State() const;
    bool IsLobbyManifest() const { return m_commandLine.manifestName == kLobbyManifestName; }
    const std::string& ManifestName() const { return m_commandLine.manifestName; }
    int Mode() const { return m_commandLine.mode; }

private:
    void RunRestart();
    void StartLobby();
    // The lobby's pair at the end of a normal run: 4, then 3 (mode 998) or 2 with the mode.
    std::vector<LobbyNotification> EndOfRunNotifications() const;
    LobbyNotification GameOrVerify() const;
    void EndCheckedRun(bool lobbyFound, const std::string& version);
    void OnDownloadFailed(const std::string& reason);
    void OnInstalled();
    void Log(const char* source, int line, const std::string& message);
    void SetState(FlowState state);

    IUpdateHost& m_host;
    const UpdateCommandLine m_commandLine;
    IDownloadLog* m_log;

    mutable std::mutex m_lock;  // the state and the last file: both threads use them
    FlowState m_state = FlowState::kStarting;
    std::string m_lastFile;  // the file last announced with DS_FILE_BEGIN

    // Written by the check on the window thread before the worker starts.
    ManifestCheck m_check;
};

}  // namespace dravel
