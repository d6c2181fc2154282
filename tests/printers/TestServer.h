// The private CUPS server of the printer tests: scripts/cups-testbed.sh starts it on 127.0.0.1 the first
// time a test asks for it, CUPS_SERVER points the engine at it, and it is stopped when the test program
// ends (or, should the program crash, by the script's watcher). Tests that need it and cannot have it
// (not root, no cupsd) are skipped with the reason.
#pragma once

#include "TestSupport.h"

#include <filesystem>
#include <string>

namespace TestSupport {

class TestServer {
public:
    // The running server, or null with the reason in *reason.
    static TestServer* shared(std::string* reason);
    static void stopShared();

    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    const std::filesystem::path& root() const { return directory_.path(); }

    // What the queue's file device received (the last job's output overwrites the one before).
    std::filesystem::path output(const std::string& queue) const;
    // The options (argv[5]) the logging filter of the photo queue received for a job.
    std::filesystem::path optionLog(int jobID) const;

    void setDefault(const std::string& queue);

private:
    TestServer() = default;
    bool start(std::string* reason);
    void stop();

    TemporaryDirectory directory_;
    std::string address_; // "127.0.0.1:PORT"
    bool running_ = false;
};

} // namespace TestSupport

// Skips the current test (with the reason) when the private server cannot run here.
#define REQUIRE_TEST_SERVER(server)                                                                          \
    std::string server##Reason;                                                                              \
    ::TestSupport::TestServer* server = ::TestSupport::TestServer::shared(&server##Reason);                  \
    if (!server) {                                                                                           \
        GTEST_SKIP() << server##Reason;                                                                      \
    }
