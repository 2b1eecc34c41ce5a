#include "DravelDlg.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "Pictures.h"
#include "platform/Ini.h"
#include "platform/LobbyLink.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace dravel::app {

namespace {

constexpr platform::Argb kWhite = platform::MakeRgb(255, 255, 255);

#if defined(_WIN32)
constexpr const char* kProgramFileName = "Dravel.exe";
#else
constexpr const char* kProgramFileName = "Dravel";
#endif

DownloadServices MakeServices(IUpdateFileSystem* files, IFileFetcher* fetcher) {
    DownloadServices services;
    services.files = files;
    services.fetcher = fetcher;
    services.programFileName = kProgramFileName;
    return services;
}

std::string VersionIniPath() {
    return platform::JoinPath(platform::CurrentFolder(), "version.ini");
}

}  // namespace

std::string InstanceLockName(const std::string& manifestName) {
    std::string name;
    for (const char c : manifestName) {
        if (c == '\\' || c == '/' || c == '%' || c == ':') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            name += escaped;
        } else {
            name += c;
        }
    }
    return name;
}

std::string NativeCommandLine(const std::string& commandLine) {
#if defined(_WIN32)
    return commandLine;
#else
    // The first word, quoted or not, loses a trailing ".exe": the Linux programs have none.
    std::string line = commandLine;
    const bool quoted = !line.empty() && line[0] == '"';
    const std::size_t end = quoted ? line.find('"', 1) : line.find(' ');
    const std::size_t wordEnd = end == std::string::npos ? line.size() : end;
    constexpr std::string_view kExe = ".exe";
    if (wordEnd >= kExe.size() && line.compare(wordEnd - kExe.size(), kExe.size(), kExe) == 0) {
        line.erase(wordEnd - kExe.size(), kExe.size());
    }
    return line;
#endif
}

CDravelDlg::CDravelDlg(UpdateCommandLine commandLine, MessageLoop* loop)
    : m_pLoop(loop),
      m_commandLine(commandLine),
      m_flow(*this, std::move(commandLine)),
      m_files(CreateLocalFileSystem()),
      m_downloadMgr(MakeServices(m_files.get(), &m_fetcher)) {}

CDravelDlg::~CDravelDlg() {
    // The worker reports into this window: it must be gone before anything it uses.
    m_downloadMgr.Shutdown();
    m_splash.DestroyWindow();
    m_browser = CWebBrowser2();
    m_window.reset();
}

bool CDravelDlg::Create() {
    m_bmpBarFull = LoadPicture(IDB_BAR_FULL);
    m_bmpBarEmpty = LoadPicture(IDB_BAR_EMPTY);
    m_bmpBackground = LoadPicture(IDB_BACKGROUND);
    m_bmpLogo = LoadPicture(IDB_LOGO);

    platform::WindowOptions options;
    options.title = "Dravel";
    options.width = kWindowWidth;
    options.height = kWindowHeight;
    options.taskbar = true;
#if !defined(_WIN32)
    // Windows takes icon 128 from the resources; elsewhere it is a file beside the program.
    options.iconPath = platform::JoinPath(platform::ProgramFolder(), "Dravel.ico");
#endif
    m_window = platform::Window::Create(*this, options);
    if (m_window == nullptr) {
        return false;
    }
    m_window->SetBounds({0, 0, kWindowWidth, kWindowHeight});
    m_window->CenterOnScreen();

    // The buttons take one frame of their strip, then their places in the caption strip.
    m_btnClose.Attach(m_window->AddButton(IDC_CLOSE, {0, 0, 25, 21}), LoadPicture(IDB_CLOSE));
    m_btnClose.MoveWindow(kCloseButton);
    m_btnMinimise.Attach(m_window->AddButton(IDC_MINIMISE, {0, 0, 25, 21}),
                         LoadPicture(IDB_MINIMISE));
    m_btnMinimise.MoveWindow(kMinimiseButton);

    m_stFile.Attach(m_window->AddTextLine(IDC_FILE_LINE, TextLinePlace(FileLineBounds())));
    m_stFile.SetWindowText(m_fields.fileLine);
    m_stFile.SetTextColor(kWhite);
    m_stTotal.Attach(m_window->AddTextLine(IDC_TOTAL_LINE, TextLinePlace(TotalLineBounds())));
    m_stTotal.SetWindowText(m_fields.totalLine);
    m_stTotal.SetTextColor(kWhite);

    const platform::Rect bounds = m_window->Bounds();
    BuildBackground(bounds.width, bounds.height);
    return true;
}

void CDravelDlg::Start() {
    m_flow.OnInitDialog();
}

void CDravelDlg::BuildBackground(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    // The picture as large as the client area (black where it is smaller), the logo on it.
    std::vector<platform::Argb> pixels(
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
        platform::MakeRgb(0, 0, 0));
    auto put = [&](const platform::Image& picture, int32_t left, int32_t top) {
        for (int32_t y = 0; y < picture.Height(); ++y) {
            const int32_t row = top + y;
            if (row < 0 || row >= height) {
                continue;
            }
            for (int32_t x = 0; x < picture.Width(); ++x) {
                const int32_t column = left + x;
                if (column >= 0 && column < width) {
                    pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(column)] = picture.PixelAt(x, y);
                }
            }
        }
    };
    put(m_bmpBackground, 0, 0);
    put(m_bmpLogo, kLogoX, kLogoY);
    m_canvas.Assign(width, height, pixels.data());
    Repaint();  // the window and its children fetch their new background
}

void CDravelDlg::OnPaint(platform::Canvas& canvas) {
    if (m_canvas.Empty()) {
        return;
    }
    canvas.DrawImage(m_canvas, 0, 0);
    for (const auto& [bar, width] : {std::pair{kFileBar, m_fields.fileBarWidth},
                                     std::pair{kTotalBar, m_fields.totalBarWidth}}) {
        canvas.DrawImage(m_bmpBarEmpty, bar.x, bar.y);
        const int32_t drawn = DrawnBarWidth(width, m_bmpBarFull.Width());
        if (drawn > 0) {
            canvas.DrawImage(m_bmpBarFull, {bar.x, bar.y, drawn, kBarHeight},
                             {0, 0, drawn, kBarHeight});
        }
    }
}

void CDravelDlg::Repaint() {
    if (m_window == nullptr) {
        return;
    }
    m_window->Invalidate();
    // Every repaint brings the visible window back to the top.
    if (m_window->IsVisible() && !m_window->IsMinimised()) {
        m_window->SetTopmost();
    }
}

void CDravelDlg::OnCommand(int32_t id) {
    if (id == IDC_CLOSE) {
        m_flow.OnCloseButton();
    } else if (id == IDC_MINIMISE) {
        m_flow.OnMinimiseButton();
    }
}

bool CDravelDlg::OnKeyDown(platform::Key key) {
    if (key == platform::Key::kEscape) {
        if (m_btnClose.IsWindowEnabled()) {
            m_flow.OnCloseButton();
        }
        return true;
    }
    return false;
}

void CDravelDlg::OnLeftButtonDown(int32_t /*x*/, int32_t /*y*/) {
    if (m_window != nullptr) {
        m_window->BeginDrag();
    }
}

void CDravelDlg::OnResized(int32_t width, int32_t height) {
    BuildBackground(width, height);
}

void CDravelDlg::OnMinimisedChanged(bool minimised) {
    if (!minimised && m_window != nullptr) {
        const platform::Rect bounds = m_window->Bounds();
        BuildBackground(bounds.width, bounds.height);
    }
}

void CDravelDlg::OnClose() {
    EndWindow();
}

void CDravelDlg::EndWindow() {
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_splash.ShowWindow(false);
    if (m_window != nullptr) {
        m_window->KillTimer(kCheckTimerId);
        m_window->Hide();
    }
    if (m_pLoop != nullptr) {
        m_pLoop->Quit();
    }
}

void CDravelDlg::OnTimer(uint32_t id) {
    m_flow.OnTimer(static_cast<int>(id));
}

void CDravelDlg::OnStatusCallback(int value1, int value2, int code, const char* text) {
    if (m_window == nullptr) {
        return;  // no window to show it
    }
    try {
        Report report;
        report.value1 = value1;
        report.value2 = value2;
        report.code = code;
        report.hasText = text != nullptr;
        report.text = text != nullptr ? text : "";
        // One message stands for everything queued until the window thread has emptied the
        // queue, so a fast download cannot fill the window's message queue, and no report is
        // taken back once the window thread may be reading the queue.
        bool wake = false;
        {
            std::lock_guard<std::mutex> guard(m_reportLock);
            m_reports.push_back(std::move(report));
            wake = !m_reportsAnnounced;
            m_reportsAnnounced = true;
        }
        if (wake && !m_window->Post(WM_DOWNLOAD_REPORT, 0, 0)) {
            std::lock_guard<std::mutex> guard(m_reportLock);
            m_reportsAnnounced = false;  // the next report tries again
        }
    } catch (...) {
        // Out of memory on the worker: the report is lost, the worker goes on.
    }
}

void CDravelDlg::OnPosted(uint32_t message, uint64_t /*wparam*/, int64_t /*lparam*/) {
    if (message != WM_DOWNLOAD_REPORT) {
        return;
    }
    // Everything that has arrived is handled in order, report by report, and painted once:
    // a fast download reports far more often than a window can repaint.
    ReportEffect shown = ReportEffect::kNone;
    while (!m_ended) {
        Report report;
        {
            std::lock_guard<std::mutex> guard(m_reportLock);
            if (m_reports.empty()) {
                m_reportsAnnounced = false;
                break;
            }
            report = std::move(m_reports.front());
            m_reports.pop_front();
        }
        const char* text = report.hasText ? report.text.c_str() : nullptr;
        const ReportEffect effect =
            ApplyReport(m_fields, report.value1, report.value2, report.code, text);
        shown = std::max(shown, effect);  // kNone < kRepaint < kRepaintTexts
        if (report.code != DS_FILE_BEGIN && report.code != DS_PROGRESS &&
            report.code != DS_FILE_DONE) {
            // The flow may show a message box: the window shows the reports before it first.
            ShowFields(shown);
            shown = ReportEffect::kNone;
        }
        m_flow.OnStatusCallback(report.value1, report.value2, report.code, text);
    }
    ShowFields(shown);
}

void CDravelDlg::ShowFields(ReportEffect effect) {
    if (effect == ReportEffect::kRepaintTexts) {
        m_stFile.SetWindowText(m_fields.fileLine);
        m_stTotal.SetWindowText(m_fields.totalLine);
    }
    if (effect != ReportEffect::kNone) {
        Repaint();
    }
}

void CDravelDlg::ShowTipPage(const std::string& manifestName) {
    if (m_window == nullptr) {
        return;
    }
    if (m_browser.Control() == nullptr) {
        m_browser.Create(*m_window, IDC_BROWSER, {0, 0, 0, 0});
        m_browser.Navigate("about:blank");
    }
    m_browser.MoveWindow(kTipArea);
    m_browser.Navigate(TipPageAddress(ProgramFolder(), manifestName));
}

// ---- IUpdateHost ----

bool CDravelDlg::LobbyWindowExists() {
    return platform::LobbyWindow::Exists();
}

bool CDravelDlg::NotifyLobby(const std::vector<LobbyNotification>& notifications) {
    platform::LobbyWindow lobby = platform::LobbyWindow::Find();
    if (!lobby) {
        return false;
    }
    for (const LobbyNotification& notification : notifications) {
        lobby.Post(WM_UPDATE_NOTIFY, static_cast<uint64_t>(notification.code), notification.value);
    }
    return true;
}

void CDravelDlg::StartProgram(const std::string& commandLine) {
    platform::StartProcess(NativeCommandLine(commandLine));
}

void CDravelDlg::WaitMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string CDravelDlg::ProgramFolder() {
    return platform::ProgramFolder() + platform::kPathSeparator;
}

void CDravelDlg::ShowSplash() {
    if (m_splash.Create(m_window.get(), ProgramFolder())) {
        m_splash.ShowWindow(true);
    }
}

void CDravelDlg::HideSplash() {
    m_splash.ShowWindow(false);
}

void CDravelDlg::ShowWindow() {
    if (m_window != nullptr) {
        m_window->Show();
        m_window->SetTopmost();
    }
}

void CDravelDlg::Minimise() {
    if (m_window != nullptr) {
        m_window->Minimise();
    }
}

void CDravelDlg::EnableButtons(bool enable) {
    m_btnClose.EnableWindow(enable);
    m_btnMinimise.EnableWindow(enable);
}

void CDravelDlg::ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
    platform::ShowMessageBox(m_window.get(), text, caption,
                             icon == MessageIcon::kWarning
                                 ? platform::MessageIconKind::kWarning
                                 : platform::MessageIconKind::kInformation);
}

void CDravelDlg::StartTimer(int id, int periodMs) {
    if (m_window != nullptr) {
        m_window->SetTimer(static_cast<uint32_t>(id), static_cast<uint32_t>(periodMs));
    }
}

void CDravelDlg::StopTimer(int id) {
    if (m_window != nullptr) {
        m_window->KillTimer(static_cast<uint32_t>(id));
    }
}

void CDravelDlg::CloseWindow() {
    if (m_window != nullptr) {
        m_window->PostClose();
    } else {
        EndWindow();
    }
}

void CDravelDlg::DestroyWindow() {
    EndWindow();
}

void CDravelDlg::OpenTipPage(const std::string& manifestName) {
    if (m_window != nullptr) {
        // The window takes the background picture's size where it stands.
        platform::Rect bounds = m_window->Bounds();
        if (!m_bmpBackground.Empty()) {
            bounds.width = m_bmpBackground.Width();
            bounds.height = m_bmpBackground.Height();
            m_window->SetBounds(bounds);
        }
    }
    ShowTipPage(manifestName);
}

std::string CDravelDlg::ReadInstalledVersion(const std::string& manifestName) {
    const std::string path = VersionIniPath();
    return platform::GetIniText("version", manifestName.c_str(), "", path.c_str());
}

void CDravelDlg::WriteInstalledVersion(const std::string& manifestName,
                                       const std::string& version) {
    const std::string path = VersionIniPath();
    platform::WriteIniString("version", manifestName.c_str(), version.c_str(), path.c_str());
}

bool CDravelDlg::ReadDownloadAddress(std::string& address) {
    return dravel::ReadDownloadAddress(*m_files, platform::CurrentFolder(), address);
}

std::string CDravelDlg::QuerySuffix() {
    const int first = std::rand();
    const int second = std::rand();
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "?%d.%d", first, second);
    return suffix;
}

void CDravelDlg::InitDownloads(const std::string& address, const std::string& programFolder) {
    m_downloadMgr.Init(this, address, programFolder, programFolder);
}

ManifestCheck CDravelDlg::CheckManifest(const std::string& manifestUrl,
                                        const std::string& installedVersion, int mode) {
    ManifestCheck check =
        dravel::CheckManifest(m_manifestSource, *m_files, m_downloadMgr, manifestUrl,
                              installedVersion, mode, ProgramFolder());
    SetTotalBytes(static_cast<uint32_t>(check.totalBytes));
    return check;
}

bool CDravelDlg::StartDownloads() {
    return m_downloadMgr.Start();
}

bool CDravelDlg::AbortDownloads() {
    return m_downloadMgr.SetAbort();
}

bool CDravelDlg::AllInstalled() {
    return m_downloadMgr.AllInstalled();
}

}  // namespace dravel::app
