// A small HTTP server for tests: serves one folder on 127.0.0.1 and injects faults on request.
//
//   lobby_test_server --root DIR [--faults FILE] [--port-file FILE] [--lifetime SECONDS]
//
// It listens on a free port, writes "port N" on stdout (and N to --port-file) once ready, and
// serves GET requests for files under DIR. Faults are asked for by query parameters, or, for
// clients that cannot choose their own query string, by lines "<path> <parameters>" in the
// faults file (re-read on every request), e.g. "/Vorsel/b.bin fail=2":
//
//   status=N     answer with status N and a short text body
//   fail=N       the first N requests for this path answer 500, later ones are served
//   cut=N        announce the whole length, send N bytes, close the connection
//   extra=N      announce N bytes more than the file has, send the file, close
//   stall=MS     stop sending for MS milliseconds after `stallat` bytes (default: half)
//   rate=N       send at most N bytes per second
//   chunked=1    send without Content-Length
//
// GET /__redirect?to=PATH answers 302 to PATH; GET /__quit stops the server. The server also
// stops after --lifetime seconds (default 600), so a test that dies cannot leave it behind.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct Fault {
    int status = 0;
    int fail = 0;
    long long cut = -1;
    long long extra = 0;
    long long stall = 0;
    long long stallAt = -1;
    long long rate = 0;
    bool chunked = false;
};

long long Number(const std::string& text) {
    try {
        return std::stoll(text);
    } catch (...) {
        return 0;
    }
}

void Apply(Fault& fault, const std::string& key, const std::string& value) {
    if (key == "status") {
        fault.status = static_cast<int>(Number(value));
    } else if (key == "fail") {
        fault.fail = static_cast<int>(Number(value));
    } else if (key == "cut") {
        fault.cut = Number(value);
    } else if (key == "extra") {
        fault.extra = Number(value);
    } else if (key == "stall") {
        fault.stall = Number(value);
    } else if (key == "stallat") {
        fault.stallAt = Number(value);
    } else if (key == "rate") {
        fault.rate = Number(value);
    } else if (key == "chunked") {
        fault.chunked = value == "1";
    }
}

class Server {
public:
    Server(fs::path root, fs::path faults) : root_(std::move(root)), faults_(std::move(faults)) {}

    void Install(httplib::Server& server) {
        server.Get("/__quit", [&server](const httplib::Request&, httplib::Response& res) {
            res.set_content("bye\n", "text/plain");
            std::thread([&server] { server.stop(); }).detach();
        });
        server.Get("/__redirect", [](const httplib::Request& req, httplib::Response& res) {
            res.set_redirect(req.get_param_value("to"));
        });
        server.Get(
            ".*", [this](const httplib::Request& req, httplib::Response& res) { Serve(req, res); });
    }

private:
    Fault FaultFor(const httplib::Request& req) {
        Fault fault;
        if (!faults_.empty()) {
            std::ifstream in(faults_);
            std::string line;
            while (std::getline(in, line)) {
                std::istringstream words(line);
                std::string path, parameter;
                words >> path;
                if (path != req.path) {
                    continue;
                }
                while (words >> parameter) {
                    const auto equals = parameter.find('=');
                    if (equals != std::string::npos) {
                        Apply(fault, parameter.substr(0, equals), parameter.substr(equals + 1));
                    }
                }
            }
        }
        for (const auto& [key, value] : req.params) {
            Apply(fault, key, value);
        }
        return fault;
    }

    bool FailThisTime(const std::string& path, int times) {
        std::lock_guard lock(mutex_);
        return ++requests_[path] <= times;
    }

    void Serve(const httplib::Request& req, httplib::Response& res) {
        const Fault fault = FaultFor(req);
        if (fault.status != 0) {
            res.status = fault.status;
            res.set_content("status " + std::to_string(fault.status) + "\n", "text/plain");
            return;
        }
        if (fault.fail > 0 && FailThisTime(req.path, fault.fail)) {
            res.status = 500;
            res.set_content("failing on purpose\n", "text/plain");
            return;
        }
        const fs::path relative = fs::path(req.path).relative_path().lexically_normal();
        std::error_code error;
        if (relative.empty() || *relative.begin() == ".." ||
            !fs::is_regular_file(root_ / relative, error)) {
            res.status = 404;
            res.set_content("not found\n", "text/plain");
            return;
        }
        const fs::path file = root_ / relative;
        const long long size = static_cast<long long>(fs::file_size(file, error));
        auto in = std::make_shared<std::ifstream>(file, std::ios::binary);
        const std::string type =
            file.extension() == ".xml" ? "text/xml" : "application/octet-stream";
        const long long stallAt = fault.stallAt >= 0 ? fault.stallAt : size / 2;
        const long long stop = fault.cut >= 0 ? std::min(fault.cut, size) : size;
        auto stalled = std::make_shared<bool>(false);
        const auto start = std::chrono::steady_clock::now();

        // Sends the next piece at `offset`; false once nothing more will be sent.
        auto send = [=](std::size_t offset, httplib::DataSink& sink) {
            const long long at = static_cast<long long>(offset);
            if (fault.stall > 0 && !*stalled && at >= stallAt) {
                *stalled = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(fault.stall));
            }
            if (at >= stop) {
                return false;
            }
            long long piece = std::min<long long>(16384, stop - at);
            if (fault.stall > 0 && !*stalled && at < stallAt) {
                piece = std::min(piece, stallAt - at);
            }
            if (fault.rate > 0) {
                piece = std::min<long long>(piece, std::max<long long>(1, fault.rate / 10));
                const auto due = start + std::chrono::milliseconds(at * 1000 / fault.rate);
                std::this_thread::sleep_until(due);
            }
            std::string buffer(static_cast<std::size_t>(piece), '\0');
            in->seekg(at);
            in->read(buffer.data(), piece);
            return sink.write(buffer.data(), static_cast<std::size_t>(in->gcount()));
        };

        if (fault.chunked) {
            res.set_chunked_content_provider(type,
                                             [=](std::size_t offset, httplib::DataSink& sink) {
                                                 if (static_cast<long long>(offset) >= stop) {
                                                     sink.done();
                                                     return true;
                                                 }
                                                 return send(offset, sink);
                                             });
            return;
        }
        // A cut or a wrong length closes the connection once the bytes run out, with fewer
        // bytes sent than announced.
        res.set_content_provider(static_cast<std::size_t>(size + fault.extra), type,
                                 [=](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     return send(offset, sink);
                                 });
    }

    fs::path root_;
    fs::path faults_;
    std::mutex mutex_;
    std::map<std::string, int> requests_;
};

}  // namespace

int main(int argc, char** argv) {
    fs::path root = ".";
    fs::path faults;
    fs::path portFile;
    long long lifetime = 600;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--root") {
            root = argv[i + 1];
        } else if (option == "--faults") {
            faults = argv[i + 1];
        } else if (option == "--port-file") {
            portFile = argv[i + 1];
        } else if (option == "--lifetime") {
            lifetime = Number(argv[i + 1]);
        } else {
            std::cerr << "unknown option " << option << "\n";
            return 2;
        }
    }

    httplib::Server server;
    // Small responses go out at once instead of waiting for the client's acknowledgement.
    server.set_tcp_nodelay(true);
    Server handler(fs::absolute(root), faults.empty() ? faults : fs::absolute(faults));
    handler.Install(server);
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::cerr << "cannot listen on 127.0.0.1\n";
        return 1;
    }
    if (!portFile.empty()) {
        // Written under a temporary name and renamed, so a reader never sees half a number.
        const fs::path temporary = portFile.string() + ".tmp";
        std::ofstream(temporary) << port << "\n";
        fs::rename(temporary, portFile);
    }
    std::cout << "port " << port << std::endl;

    std::thread([&server, lifetime] {
        std::this_thread::sleep_for(std::chrono::seconds(lifetime));
        server.stop();
    }).detach();
    server.listen_after_bind();
    return 0;
}
