#include "HttpTestServer.h"

#include <fstream>
#include <random>

namespace platform_test {

namespace fs = std::filesystem;

HttpTestServer::HttpTestServer() {
    std::random_device random;
    folder_ = fs::temp_directory_path() /
              ("http-" + std::to_string(random()) + "-" + std::to_string(random()));
    fs::create_directories(folder_ / "root");
    SetFaults("");
    if (!Start()) {
        Stop();
        port_ = 0;
    }
}

HttpTestServer::~HttpTestServer() {
    Stop();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void HttpTestServer::Put(const std::string& name, const std::string& content) const {
    const fs::path file = folder_ / "root" / name;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

std::string HttpTestServer::Url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

void HttpTestServer::SetFaults(const std::string& lines) const {
    std::ofstream(folder_ / "faults.txt", std::ios::trunc) << lines;
}

}  // namespace platform_test
