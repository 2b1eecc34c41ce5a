#include "ProcessFixture.h"

#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "KestruneOptions.h"
#include "Md5.h"
#include "platform/Ini.h"

namespace dravel::proc {

// "提示"
const char* const kMessageCaption = "\xe6\x8f\x90\xe7\xa4\xba";
const char* const kDravelTitle = "Dravel";

namespace {

// A value no updater writes, to tell a missing key from an empty one.
constexpr const char* kNoValue = "\x01none";

}  // namespace

std::string Content(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t x = 2463534242u ^ (seed * 2654435761u);
    for (char& byte : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<char>(x);
    }
    return bytes;
}

std::string Md5Hex(const std::string& content) {
    return harbex::Md5::ToHex(harbex::Md5::Of(content));
}

std::string ManifestXml(const std::string& version, const FileList& files) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Manifest version=\"" + version +
                      "\">\n<FileList>\n";
    for (const auto& [name, content] : files) {
        xml += "<File FileName=\"" + name + "\" FileSize=\"" + std::to_string(content.size()) +
               "\" FileVersion=\"1.0.0.1\" Md5=\"" + Md5Hex(content) + "\"/>\n";
    }
    return xml + "</FileList>\n</Manifest>\n";
}

void DravelProcessTest::SetUp() {
    std::string why;
    ASSERT_TRUE(DesktopAvailable(why)) << why;
    ASSERT_TRUE(server.ok()) << server.why();

    std::random_device random;
    folder_ = fs::temp_directory_path() / ("dravel-" + std::to_string(random() % 1000000) + "-" +
                                           std::to_string(random() % 1000));
    program_ = folder_ / "Lobby";
    fs::create_directories(program_);
    UsePrivateLobbyFolder(folder_.string());

    // The installed layout: the updater, the lobby beside it and, on Windows, the runtime DLLs.
    const fs::path build = TestProgramFolder();
    for (const char* stem : {"Dravel", "Kestrune"}) {
        const fs::path from = build / ProgramFile(stem);
        ASSERT_TRUE(fs::exists(from)) << "not built: " << from.string();
        fs::copy_file(from, program_ / ProgramFile(stem));
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(build)) {
        if (entry.path().extension() == ".dll") {
            fs::copy_file(entry.path(), program_ / entry.path().filename());
        }
    }
}

void DravelProcessTest::TearDown() {
    dravel_.Kill();
    lobby_.Kill();
    // A lobby the updater restarted, or a second updater a test left behind.
    EndProcessesIn(program_.string());
    std::error_code ignored;
    for (int i = 0; i < 20 && fs::exists(folder_, ignored); ++i) {
        fs::remove_all(folder_, ignored);  // Windows lets go of a program file only after a while
        if (ignored) {
            std::this_thread::sleep_for(100ms);
        }
    }
}

std::string DravelProcessTest::Prog(const std::string& relative) const {
    return (program_ / fs::path(relative).make_preferred()).string();
}

void DravelProcessTest::WriteFile(const std::string& relative, const std::string& content) const {
    const fs::path path = Prog(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::optional<std::string> DravelProcessTest::ReadFile(const std::string& relative) const {
    std::ifstream in(Prog(relative), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool DravelProcessTest::Exists(const std::string& relative) const {
    std::error_code ignored;
    return fs::exists(Prog(relative), ignored);
}

void DravelProcessTest::WriteLobbyUrl() const {
    WriteFile("LobbyUrl.ini", "[URL]\r\nDownLoadsAddress=" + server.Url("/") + "\r\n");
}

void DravelProcessTest::Publish(const std::string& manifestName, const std::string& version,
                                const FileList& files) const {
    for (const auto& [name, content] : files) {
        std::string served = name;
        for (char& c : served) {
            c = c == '\\' ? '/' : c;
        }
        server.Put("Vorsel/" + served, content);
    }
    server.Put("Vorsel/" + manifestName, ManifestXml(version, files));
}

std::optional<std::string> DravelProcessTest::InstalledVersion(
    const std::string& manifestName) const {
    const std::string value = platform::GetIniText("version", manifestName.c_str(), kNoValue,
                                                   Prog("version.ini").c_str());
    if (value == kNoValue) {
        return std::nullopt;
    }
    return value;
}

void DravelProcessTest::SetInstalledVersion(const std::string& manifestName,
                                            const std::string& version) const {
    platform::WriteIniString("version", manifestName.c_str(), version.c_str(),
                             Prog("version.ini").c_str());
}

::testing::AssertionResult DravelProcessTest::StartLobby(std::vector<std::string> args) {
    const std::size_t before = Record().size();
    args.insert(args.begin(), {"--record", Prog("Kestrune.log")});
    if (!lobby_.Start(Prog(ProgramFile("Kestrune")), args)) {
        return ::testing::AssertionFailure() << "cannot start the lobby stand-in";
    }
    const auto deadline = Clock::now() + 20s;
    while (Record().size() <= before) {
        if (Clock::now() > deadline) {
            return ::testing::AssertionFailure() << "the lobby stand-in did not get ready";
        }
        std::this_thread::sleep_for(20ms);
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> DravelProcessTest::Record() const {
    return kestrune::ReadRecord(Prog("Kestrune.log"));
}

std::vector<std::string> DravelProcessTest::Posts() const {
    std::vector<std::string> posts;
    for (const std::string& line : Record()) {
        if (line.rfind("post ", 0) == 0) {
            posts.push_back(line);
        }
    }
    return posts;
}

std::vector<std::string> DravelProcessTest::Posts(std::size_t expected) const {
    WaitForRecordLines("post ", expected, 5s);
    std::this_thread::sleep_for(200ms);
    return Posts();
}

bool DravelProcessTest::WaitForRecordLines(const std::string& prefix, std::size_t count,
                                           std::chrono::milliseconds limit) const {
    const auto deadline = Clock::now() + limit;
    while (true) {
        std::size_t found = 0;
        for (const std::string& line : Record()) {
            found += line.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        if (found >= count) {
            return true;
        }
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
}

::testing::AssertionResult DravelProcessTest::StartDravel(Process& process,
                                                          const std::string& manifest,
                                                          const std::string& mode) const {
    std::vector<std::string> args{manifest};
    if (!mode.empty()) {
        args.push_back(mode);
    }
    if (!process.Start(Prog(ProgramFile("Dravel")), args)) {
        return ::testing::AssertionFailure() << "cannot start the updater";
    }
    return ::testing::AssertionSuccess();
}

std::optional<int> DravelProcessTest::RunDravel(const std::string& manifest,
                                                const std::string& mode,
                                                std::chrono::milliseconds limit) {
    if (!StartDravel(dravel_, manifest, mode)) {
        return std::nullopt;
    }
    return dravel_.WaitForExit(limit);
}

std::string DravelProcessTest::DravelLog() const {
    return ReadFile("log/Dravel.exe.txt").value_or("");
}

}  // namespace dravel::proc
