// Runs the test HTTP server (lobby_test_server) as a separate process over a folder of the
// test's own, for the HTTP and XML tests.
#pragma once

#include <filesystem>
#include <string>

namespace platform_test {

class HttpTestServer {
public:
    // Creates an empty folder to serve and starts the server on it; ok() tells whether it runs.
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    bool ok() const { return port_ > 0; }
    std::string why() const { return why_; }

    // A file in the served folder and its URL ("/name" with an optional query).
    void Put(const std::string& name, const std::string& content) const;
    std::string Url(const std::string& pathAndQuery) const;

    // Replaces the faults file: lines "<path> <parameters>".
    void SetFaults(const std::string& lines) const;

private:
    bool Start();
    void Stop();

    std::filesystem::path folder_;
    int port_ = 0;
    std::string why_;
    long long process_ = 0;  // the platform's process id or handle
};

}  // namespace platform_test
