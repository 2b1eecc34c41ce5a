// The updater's download and check paths beside curl and md5sum, against the same local test
// server and the same disk. Prints one table:
//
//   1 GiB file        our HTTP client + the download manager's file writing  vs  curl -o
//   1000 x 16 KiB     the manager's queue of 1000 files  vs  one curl process fetching them all
//   peak memory       our path's resident high-water mark for 64 MiB and for 1 GiB
//   manifest check    checking 10,000 present files by digest  vs  md5sum over the same files
//
// Our downloads are timed twice: the download pass (every file fetched, checked and in place),
// beside curl on its own; and the whole run, whose install pass forces the new files to the disk
// before the updater may record a version, beside curl followed by sync. The small files run
// once more as an update, each replacing an older file.
//
// Every measured run is a process of its own (this program started again with --child), so
// wall time and the resident high-water mark (wait4's ru_maxrss) are taken the same way for
// ours and theirs. Each case runs three times, alternating, and the best time counts. The data
// lives in a folder under /tmp made at run time and removed at the end.
//
//   bench_dravel_download [--big-mib N] [--small N] [--check N] [--server PROGRAM] [--keep]
//
// --server runs another build of the test server (lobby_test_server's options).
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DownloadManager.h"
#include "HttpFetcher.h"
#include "Manifest.h"
#include "Md5.h"
#include "UpdateFiles.h"
#include "XmlManifestSource.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// ---- the child: one run of our path ----

class WaitingSink final : public dravel::IDownloadSink {
public:
    void OnStatusCallback(int, int, int code, const char*) override {
        if (code == dravel::DS_ALL_DOWNLOADED) {
            m_downloaded = Clock::now();
        }
        if (code == dravel::DS_FINISHED || code == dravel::DS_FAILED ||
            code == dravel::DS_ABORTED) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_end = code;
            m_changed.notify_all();
        }
    }
    int Wait() {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [this] { return m_end != 0; });
        return m_end;
    }
    // When the download pass ended; the worker wrote it before it reported the end.
    Clock::time_point Downloaded() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_downloaded;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_end = 0;
    Clock::time_point m_downloaded;
};

// Downloads the files named in `list` (lines "name md5", md5 "-" for none) from `baseUrl`
// into `folder` as the updater's worker does, and writes the download pass's seconds to
// `passTimeFile`.
int ChildDownload(const std::string& baseUrl, const std::string& folder, const std::string& list,
                  const std::string& passTimeFile) {
    const auto start = Clock::now();
    dravel::HttpFetcher fetcher;
    const std::unique_ptr<dravel::IUpdateFileSystem> files = dravel::CreateLocalFileSystem();
    dravel::DownloadServices services;
    services.fetcher = &fetcher;
    services.files = files.get();
    services.programFileName = "bench_dravel_download";
    dravel::CDownloadMgr manager(services);
    WaitingSink sink;
    if (manager.Init(&sink, baseUrl, folder, folder) != 1) {
        return 2;
    }
    std::ifstream in(list);
    std::string name;
    std::string md5;
    while (in >> name >> md5) {
        manager.AddTask(name, md5 == "-" ? std::string() : md5);
    }
    if (!manager.Start()) {
        return 2;
    }
    const int end = sink.Wait();
    manager.Shutdown();
    std::ofstream(passTimeFile) << std::chrono::duration<double>(sink.Downloaded() - start).count();
    return end == dravel::DS_FINISHED && manager.AllInstalled() ? 0 : 1;
}

// Checks the manifest at `url` against `folder`; succeeds when every file is current.
int ChildCheck(const std::string& url, const std::string& folder) {
    dravel::HttpFetcher fetcher;
    const std::unique_ptr<dravel::IUpdateFileSystem> files = dravel::CreateLocalFileSystem();
    dravel::DownloadServices services;
    services.fetcher = &fetcher;
    services.files = files.get();
    dravel::CDownloadMgr manager(services);
    dravel::XmlManifestSource source;
    const dravel::ManifestCheck check =
        dravel::CheckManifest(source, *files, manager, url, "", 0, folder + "/");
    if (check.outcome != dravel::CheckOutcome::kCurrent) {
        std::fprintf(stderr, "check: outcome %d, %zu queued, %s\n", static_cast<int>(check.outcome),
                     check.queued, check.failure.c_str());
        return 1;
    }
    return 0;
}

// ---- the parent ----

struct Run {
    bool ok = false;
    double seconds = 0;
    long maxRssKiB = 0;
};

// VmHWM of a running process, 0 once it has gone.
long HighWaterKiB(const std::string& statusFile) {
    std::ifstream in(statusFile);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

// Starts a program (looked for on PATH) with its output thrown away; 0 when it cannot start.
pid_t StartQuietly(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s\n", args[0].c_str());
        return 0;
    }
    return pid;
}

Run Spawn(const std::vector<std::string>& args) {
    Run run;
    const auto start = Clock::now();
    const pid_t pid = StartQuietly(args);
    if (pid == 0) {
        return run;
    }
    // The child's resident high-water mark, read while it runs: wait4's ru_maxrss cannot tell
    // it, as exec carries the spawning process's own high-water mark over into the child's.
    int status = 0;
    const std::string statusFile = "/proc/" + std::to_string(pid) + "/status";
    while (true) {
        const long hwm = HighWaterKiB(statusFile);
        run.maxRssKiB = std::max(run.maxRssKiB, hwm);
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.ok) {
        std::fprintf(stderr, "%s failed (status %d)\n", args[0].c_str(), status);
    }
    return run;
}

// The best of `rounds` runs of each, alternating so that neither side always runs on a
// cache the other warmed. `prepare` runs before every run (removing earlier output).
struct Pair {
    Run ours;
    Run theirs;
};

template <typename Prepare, typename Ours, typename Theirs>
Pair BestOf(int rounds, Prepare prepare, Ours ours, Theirs theirs) {
    Pair best;
    best.ours.seconds = best.theirs.seconds = 1e30;
    for (int round = 0; round < rounds; ++round) {
        prepare();
        Run a = ours();
        prepare();
        Run b = theirs();
        if (!a.ok || !b.ok) {
            best.ours.ok = a.ok;
            best.theirs.ok = b.ok;
            return best;
        }
        if (a.seconds < best.ours.seconds) {
            best.ours = a;
        }
        if (b.seconds < best.theirs.seconds) {
            best.theirs = b;
        }
    }
    return best;
}

// The best of `rounds` runs of one side alone, for a reference beside an already measured ours.
template <typename Prepare, typename Measure>
Run Best(int rounds, Prepare prepare, Measure measure) {
    Run best;
    best.seconds = 1e30;
    for (int round = 0; round < rounds; ++round) {
        prepare();
        const Run run = measure();
        if (!run.ok) {
            return run;
        }
        if (run.seconds < best.seconds) {
            best = run;
        }
    }
    return best;
}

// Incompressible, reproducible bytes, written in large pieces so that making 1 GiB is quick.
void WriteData(const fs::path& path, std::uint64_t size, std::uint32_t seed) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<std::uint64_t> piece((8u << 20) / 8);
    std::uint64_t x = 0x9E3779B97F4A7C15ull ^ seed;
    for (std::uint64_t done = 0; done < size;) {
        for (auto& word : piece) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            word = x;
        }
        const std::uint64_t now = std::min<std::uint64_t>(size - done, piece.size() * 8);
        out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(now));
        done += now;
    }
}

std::string Md5OfFile(const fs::path& path) {
    const auto digest = harbex::Md5OfFile(path.string().c_str());
    return digest ? harbex::Md5::ToHex(*digest) : std::string();
}

void Clear(const fs::path& folder) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
}

// Drops the written output from the page cache's dirty list before the next run starts, so a
// run does not pay for the previous one's write-back.
void Settle() {
    sync();
}

class Server {
public:
    Server(const std::string& program, const fs::path& root, const fs::path& portFile) {
        m_pid = StartQuietly({program, "--root", root.string(), "--port-file", portFile.string(),
                              "--lifetime", "3600"});
        for (int i = 0; m_pid > 0 && i < 500 && m_port <= 0; ++i) {
            std::ifstream(portFile) >> m_port;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Server() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    int Port() const { return m_port; }

private:
    pid_t m_pid = 0;
    int m_port = 0;
};

double Mib(std::uint64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 5 && args[0] == "--child-download") {
        return ChildDownload(args[1], args[2], args[3], args[4]);
    }
    if (args.size() == 3 && args[0] == "--child-check") {
        return ChildCheck(args[1], args[2]);
    }

    std::uint64_t bigMib = 1024;
    int smallCount = 1000;
    int checkCount = 10000;
    bool keep = false;
    std::string serverProgram =
        (fs::read_symlink("/proc/self/exe").parent_path() / "lobby_test_server").string();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--big-mib" && i + 1 < args.size()) {
            bigMib = std::strtoull(args[++i].c_str(), nullptr, 10);
        } else if (args[i] == "--small" && i + 1 < args.size()) {
            smallCount = std::atoi(args[++i].c_str());
        } else if (args[i] == "--check" && i + 1 < args.size()) {
            checkCount = std::atoi(args[++i].c_str());
        } else if (args[i] == "--server" && i + 1 < args.size()) {
            serverProgram = args[++i];
        } else if (args[i] == "--keep") {
            keep = true;
        } else {
            std::fprintf(
                stderr,
                "usage: %s [--big-mib N] [--small N] [--check N] [--server PROGRAM] [--keep]\n",
                argv[0]);
            return 2;
        }
    }
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const fs::path work = fs::path("/tmp") / ("dravel-bench-" + std::to_string(getpid()));
    const fs::path root = work / "root";
    const fs::path ours = work / "ours";
    const fs::path theirs = work / "theirs";
    const fs::path checked = work / "installed";

    std::printf("making test data in %s ...\n", work.c_str());
    std::fflush(stdout);
    const std::uint64_t bigBytes = bigMib << 20;
    const std::uint64_t midBytes = std::uint64_t{64} << 20;
    WriteData(root / "big.bin", bigBytes, 1);
    WriteData(root / "mid.bin", midBytes, 2);
    std::ofstream(work / "big.list") << "big.bin -\n";
    std::ofstream(work / "mid.list") << "mid.bin -\n";
    std::ofstream(work / "big-md5.list") << "big.bin " << Md5OfFile(root / "big.bin") << "\n";
    {
        std::ofstream list(work / "small.list");
        for (int i = 0; i < smallCount; ++i) {
            const std::string name = "small/s" + std::to_string(10000 + i) + ".bin";
            WriteData(root / name, 16 * 1024, 100 + static_cast<std::uint32_t>(i));
            list << name << " " << Md5OfFile(root / name) << "\n";
        }
    }
    {
        std::ofstream manifest(root / "check.xml");
        manifest << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Manifest version=\"1\">"
                    "<FileList>\n";
        for (int i = 0; i < checkCount; ++i) {
            const std::string name =
                "c" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".bin";
            WriteData(checked / name, 32 * 1024, 50000 + static_cast<std::uint32_t>(i));
            manifest << "<File FileName=\"" << name << "\" FileSize=\"32768\" FileVersion=\"1\" "
                     << "Md5=\"" << Md5OfFile(checked / name) << "\"/>\n";
        }
        manifest << "</FileList></Manifest>\n";
    }
    Settle();

    Server server(serverProgram, root, work / "port");
    if (server.Port() <= 0) {
        std::fprintf(stderr, "the test server did not start\n");
        return 1;
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
    {
        std::ofstream config(work / "small.curl");
        std::ifstream list(work / "small.list");
        std::string name;
        std::string md5;
        while (list >> name >> md5) {
            config << "url = \"" << base << name << "\"\noutput = \"" << (theirs / name).string()
                   << "\"\n";
        }
    }

    const auto prepare = [&] {
        Clear(ours);
        Clear(theirs);
        Settle();
    };
    // Times the download pass, or with `wholeRun` the process from start to end.
    const auto oursDownload = [&](const char* list, bool wholeRun = false) {
        return [&, list, wholeRun] {
            const fs::path passTime = work / "pass-seconds";
            Run run = Spawn({self, "--child-download", base, ours.string(), (work / list).string(),
                             passTime.string()});
            if (!wholeRun) {
                std::ifstream(passTime) >> run.seconds;
            }
            return run;
        };
    };
    const auto curlOne = [&](const char* name, bool synced, bool hashed = false) {
        return [&, name, synced, hashed] {
            const std::string out = (theirs / name).string();
            if (hashed) {
                return Spawn({"sh", "-c", "curl -s -f -o \"$1\" \"$2\" && md5sum \"$1\"", "sh", out,
                              base + name});
            }
            if (!synced) {
                return Spawn({"curl", "-s", "-f", "-o", out, base + name});
            }
            // The same durability as ours, which forces each file to the disk before it
            // moves it into place.
            return Spawn(
                {"sh", "-c", "curl -s -f -o \"$1\" \"$2\" && sync \"$1\"", "sh", out, base + name});
        };
    };

    std::printf("one large file ...\n");
    std::fflush(stdout);
    const Pair big = BestOf(3, prepare, oursDownload("big.list"), curlOne("big.bin", false));
    const Pair bigSynced =
        BestOf(3, prepare, oursDownload("big.list", true), curlOne("big.bin", true));
    const Pair bigMd5 =
        BestOf(1, prepare, oursDownload("big-md5.list"), curlOne("big.bin", false, true));
    const Pair mid = BestOf(1, prepare, oursDownload("mid.list"), curlOne("mid.bin", false));

    std::printf("%d small files ...\n", smallCount);
    std::fflush(stdout);
    const auto curlSmall = [&](bool closeEach, bool synced) {
        return [&, closeEach, synced] {
            const std::string config = (work / "small.curl").string();
            if (synced) {
                return Spawn({"sh", "-c",
                              "curl -s -f --create-dirs -K \"$1\" && "
                              "find \"$2\" -type f -exec sync {} +",
                              "sh", config, theirs.string()});
            }
            std::vector<std::string> command{"curl", "-s", "-f", "--create-dirs", "-K", config};
            if (closeEach) {
                command.insert(command.begin() + 1, {"-H", "Connection: close"});
            }
            return Spawn(command);
        };
    };
    const Pair small = BestOf(3, prepare, oursDownload("small.list"), curlSmall(false, false));
    const Pair smallClosing{small.ours, Best(3, prepare, curlSmall(true, false))};
    const Pair smallSynced =
        BestOf(3, prepare, oursDownload("small.list", true), curlSmall(false, true));
    // An update rather than an installation: every file replaces an older one, which the
    // updater forces to the disk before the rename.
    const auto prepareInstalled = [&] {
        prepare();
        for (const fs::path& folder : {ours, theirs}) {
            fs::copy(root / "small", folder / "small", fs::copy_options::recursive);
            for (const fs::directory_entry& entry :
                 fs::recursive_directory_iterator(folder / "small")) {
                std::ofstream(entry.path(), std::ios::binary | std::ios::trunc) << "older";
            }
        }
        Settle();
    };
    const Pair smallReplacing =
        BestOf(3, prepareInstalled, oursDownload("small.list", true), curlSmall(false, true));

    std::printf("checking %d files ...\n", checkCount);
    std::fflush(stdout);
    std::vector<std::string> md5sum{"md5sum"};
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(checked)) {
        if (entry.is_regular_file()) {
            md5sum.push_back(entry.path().string());
        }
    }
    const std::uint64_t checkedBytes = static_cast<std::uint64_t>(checkCount) * 32 * 1024;
    const Pair check = BestOf(
        3, [] {},
        [&] {
            return Spawn({self, "--child-check", base + "check.xml", checked.string()});
        },
        [&] { return Spawn(md5sum); });

    // Ratios are "ours as a share of theirs" for speeds and "ours over theirs" for times.
    const auto speed = [](const Pair& pair) {
        return pair.ours.seconds > 0 ? pair.theirs.seconds / pair.ours.seconds : 0.0;
    };
    const auto time = [](const Pair& pair) {
        return pair.theirs.seconds > 0 ? pair.ours.seconds / pair.theirs.seconds : 0.0;
    };
    const auto rate = [](std::uint64_t bytes, const Run& run) {
        return run.seconds > 0 ? Mib(bytes) / run.seconds : 0.0;
    };
    const std::string bigName = std::to_string(bigMib) + " MiB";
    const std::string smallName = std::to_string(smallCount) + " x 16 KiB";
    std::printf("\n%-40s %14s %14s %8s  %s\n", "case", "ours", "reference", "ratio", "goal");
    std::printf("%-40s %8.0f MiB/s %8.0f MiB/s %7.2fx  >= 0.80 of curl -o's speed\n",
                (bigName + " download pass vs curl -o").c_str(), rate(bigBytes, big.ours),
                rate(bigBytes, big.theirs), speed(big));
    std::printf("%-40s %8.0f MiB/s %8.0f MiB/s %7.2fx  (on the disk in both)\n",
                (bigName + " whole run vs curl -o + sync").c_str(), rate(bigBytes, bigSynced.ours),
                rate(bigBytes, bigSynced.theirs), speed(bigSynced));
    std::printf("%-40s %8.0f MiB/s %8.0f MiB/s %7.2fx  (the real run: digest checked)\n",
                (bigName + " pass, digest vs curl + md5sum").c_str(), rate(bigBytes, bigMd5.ours),
                rate(bigBytes, bigMd5.theirs), speed(bigMd5));
    std::printf("%-40s %12.2f s %12.2f s %7.2fx  <= 1.50 of curl's time\n",
                (smallName + " pass vs curl, one connection").c_str(), small.ours.seconds,
                small.theirs.seconds, time(small));
    std::printf("%-40s %12.2f s %12.2f s %7.2fx  (curl: a connection per file)\n",
                (smallName + " pass vs curl, closing each").c_str(), smallClosing.ours.seconds,
                smallClosing.theirs.seconds, time(smallClosing));
    std::printf("%-40s %12.2f s %12.2f s %7.2fx  (on the disk in both)\n",
                (smallName + " whole run vs curl + sync").c_str(), smallSynced.ours.seconds,
                smallSynced.theirs.seconds, time(smallSynced));
    std::printf("%-40s %12.2f s %12.2f s %7.2fx  (an update: each file replaces one)\n",
                (smallName + " update, whole run vs curl + sync").c_str(),
                smallReplacing.ours.seconds, smallReplacing.theirs.seconds, time(smallReplacing));
    std::printf(
        "%-40s %10ld KiB %10ld KiB %7.2fx  ours must not grow with the size\n",
        ("peak RSS ours: 64 MiB | " + bigName).c_str(), mid.ours.maxRssKiB, big.ours.maxRssKiB,
        mid.ours.maxRssKiB > 0 ? static_cast<double>(big.ours.maxRssKiB) / mid.ours.maxRssKiB
                               : 0.0);
    std::printf("%-40s %10ld KiB %10ld KiB\n", ("peak RSS curl: 64 MiB | " + bigName).c_str(),
                mid.theirs.maxRssKiB, big.theirs.maxRssKiB);
    std::printf("%-40s %8.0f MiB/s %8.0f MiB/s %7.2fx  >= 0.90 of md5sum's speed\n",
                (std::to_string(checkCount) + " files checked vs md5sum").c_str(),
                rate(checkedBytes, check.ours), rate(checkedBytes, check.theirs), speed(check));

    bool ok = true;
    for (const Pair* pair : {&big, &bigSynced, &bigMd5, &mid, &small, &smallClosing, &smallSynced,
                             &smallReplacing, &check}) {
        ok = ok && pair->ours.ok && pair->theirs.ok;
    }
    if (!ok) {
        std::printf("\nsome runs FAILED (see above)\n");
    }
    if (!keep) {
        std::error_code ignored;
        fs::remove_all(work, ignored);
    }
    return ok ? 0 : 1;
}
