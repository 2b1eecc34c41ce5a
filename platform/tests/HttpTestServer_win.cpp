// Under Wine the server is the Linux program, which Wine starts as a native process when it is
// given a Unix binary. It learns our port file and stops itself through its quit address.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "HttpTestServer.h"

namespace platform_test {

namespace fs = std::filesystem;

namespace {

// The Linux server takes Unix paths; Wine tells the Unix path of one of its own.
std::string UnixPath(const fs::path& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) {
        return path.string();
    }
    char* unix = toUnix(path.wstring().c_str());
    if (unix == nullptr) {
        return path.string();
    }
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

}  // namespace

bool HttpTestServer::Start() {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const fs::path program = fs::path(module).parent_path() / "lobby_test_server";
    if (!fs::exists(program)) {
        why_ = "no test server beside the tests: " + program.string();
        return false;
    }
    const std::string command = "\"" + program.string() + "\" --root \"" +
                                UnixPath(folder_ / "root") + "\" --faults \"" +
                                UnixPath(folder_ / "faults.txt") + "\" --port-file \"" +
                                UnixPath(folder_ / "port") + "\" --lifetime 300";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = command;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        why_ = "cannot start " + program.string() + ", error " + std::to_string(GetLastError());
        return false;
    }
    if (info.hThread != nullptr) {
        CloseHandle(info.hThread);
    }
    if (info.hProcess != nullptr) {
        CloseHandle(info.hProcess);
    }
    process_ = 1;
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(folder_ / "port");
        if (in >> port_ && port_ > 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    why_ = "the test server did not report its port";
    return false;
}

void HttpTestServer::Stop() {
    if (process_ == 0 || port_ <= 0) {
        return;
    }
    process_ = 0;
    HINTERNET session = InternetOpenA("tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (session != nullptr) {
        HINTERNET request =
            InternetOpenUrlA(session, Url("/__quit").c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
        if (request != nullptr) {
            InternetCloseHandle(request);
        }
        InternetCloseHandle(session);
    }
}

}  // namespace platform_test
