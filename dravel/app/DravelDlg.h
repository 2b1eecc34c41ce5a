// The updater's window: a borderless picture of 621x388 pixels with a tip page, two progress
// bars, two status lines and close and minimise buttons. It carries out the update flow's
// decisions (IUpdateHost) and receives the download manager's reports (IDownloadSink).
//
// Threads: the download worker calls OnStatusCallback; the report is copied into a queue and
// handed to the window thread with a posted message, so the fields, the lines, the painting and
// every reaction of the flow run on the window thread, one whole report at a time and in order.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "DownloadManager.h"
#include "HttpFetcher.h"
#include "Manifest.h"
#include "MessageLoop.h"
#include "Progress.h"
#include "SkinControls.h"
#include "Splash.h"
#include "UpdateFlow.h"
#include "WebBrowser2.h"
#include "XmlManifestSource.h"
#include "platform/Window.h"

namespace dravel::app {

// The posted message that carries a download report to the window thread.
inline constexpr uint32_t WM_DOWNLOAD_REPORT = platform::kFirstUserMessage + 200;

// The name of the per-manifest single-instance lock: the manifest name, with the characters
// that cannot stand in a lock's name (folder separators) and '%' written as %XX.
std::string InstanceLockName(const std::string& manifestName);

// The lobby's command line as the platform starts it: Linux programs carry no ".exe".
std::string NativeCommandLine(const std::string& commandLine);

class CDravelDlg final : public platform::WindowHandler, public IDownloadSink, private IUpdateHost {
public:
    // `loop`: the loop that the window's end stops (may be null in tests).
    CDravelDlg(UpdateCommandLine commandLine, MessageLoop* loop);
    ~CDravelDlg() override;
    CDravelDlg(const CDravelDlg&) = delete;
    CDravelDlg& operator=(const CDravelDlg&) = delete;

    // Makes the hidden window and lays it out; false without a display.
    bool Create();
    // The window's initialisation of the flow: splash or window, then the restart path or the
    // check timer.
    void Start();

    // IDownloadSink: any thread.
    void OnStatusCallback(int value1, int value2, int code, const char* text) override;

    // Opens the tip page for the manifest in the browser at the tip area.
    void ShowTipPage(const std::string& manifestName);
    // Rebuilds the canvas: the background picture at the client size with the logo on it.
    void BuildBackground(int32_t width, int32_t height);

    // The queued files' sizes summed, as the manifest check sets them.
    void SetTotalBytes(uint32_t totalBytes) { m_fields.totalBytes = totalBytes; }

    // For tests and the program's end.
    platform::Window* Window() const { return m_window.get(); }
    const ProgressFields& Fields() const { return m_fields; }
    const CSkinButton& CloseButton() const { return m_btnClose; }
    const CSkinButton& MinimiseButton() const { return m_btnMinimise; }
    const CSkinStatic& FileLine() const { return m_stFile; }
    const CSkinStatic& TotalLine() const { return m_stTotal; }
    const CWebBrowser2& Browser() const { return m_browser; }
    const CSplash& Splash() const { return m_splash; }
    bool Ended() const { return m_ended; }
    const UpdateFlow& Flow() const { return m_flow; }

    // WindowHandler.
    void OnPaint(platform::Canvas& canvas) override;
    void OnCommand(int32_t id) override;
    void OnLeftButtonDown(int32_t x, int32_t y) override;
    void OnResized(int32_t width, int32_t height) override;
    void OnClose() override;
    bool OnKeyDown(platform::Key key) override;
    void OnPosted(uint32_t message, uint64_t wparam, int64_t lparam) override;
    void OnTimer(uint32_t id) override;
    void OnMinimisedChanged(bool minimised) override;

private:
    struct Report {
        int value1 = 0;
        int value2 = 0;
        int code = 0;
        bool hasText = false;
        std::string text;
    };

    void ShowFields(ReportEffect effect);
    void Repaint();
    void EndWindow();

    // IUpdateHost: on the window thread.
    bool LobbyWindowExists() override;
    bool NotifyLobby(const std::vector<LobbyNotification>& notifications) override;
    void StartProgram(const std::string& commandLine) override;
    void WaitMilliseconds(int milliseconds) override;
    std::string ProgramFolder() override;
    void ShowSplash() override;
    void HideSplash() override;
    void ShowWindow() override;
    void Minimise() override;
    void EnableButtons(bool enable) override;
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    void StartTimer(int id, int periodMs) override;
    void StopTimer(int id) override;
    void CloseWindow() override;
    void DestroyWindow() override;
    void OpenTipPage(const std::string& manifestName) override;
    std::string ReadInstalledVersion(const std::string& manifestName) override;
    void WriteInstalledVersion(const std::string& manifestName,
                               const std::string& version) override;
    bool ReadDownloadAddress(std::string& address) override;
    std::string QuerySuffix() override;
    void InitDownloads(const std::string& address, const std::string& programFolder) override;
    ManifestCheck CheckManifest(const std::string& manifestUrl, const std::string& installedVersion,
                                int mode) override;
    bool StartDownloads() override;
    bool AbortDownloads() override;
    bool AllInstalled() override;

    MessageLoop* m_pLoop;
    const UpdateCommandLine m_commandLine;
    UpdateFlow m_flow;

    // Pictures.
    platform::Image m_bmpBarFull;
    platform::Image m_bmpBarEmpty;
    platform::Image m_bmpBackground;
    platform::Image m_bmpLogo;
    platform::Image m_canvas;  // background and logo at the client size; built on resizes

    // Window-thread state.
    ProgressFields m_fields;
    bool m_ended = false;

    // Reports on their way from the worker to the window thread.
    std::mutex m_reportLock;
    std::deque<Report> m_reports;
    // A message is on its way that will make the window thread read the queue.
    bool m_reportsAnnounced = false;

    // The download services; the manager is declared after them and goes first.
    std::unique_ptr<IUpdateFileSystem> m_files;
    HttpFetcher m_fetcher;
    XmlManifestSource m_manifestSource;
    CDownloadMgr m_downloadMgr;

    CSplash m_splash;
    std::unique_ptr<platform::Window> m_window;
    CSkinButton m_btnClose;
    CSkinButton m_btnMinimise;
    CSkinStatic m_stFile;
    CSkinStatic m_stTotal;
    CWebBrowser2 m_browser;
};

}  // namespace dravel::app
