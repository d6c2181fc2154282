#include "TestServer.h"

#include <chrono>
#include <cstdlib>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace TestSupport {

namespace {

std::unique_ptr<TestServer> sharedServer;
bool startAttempted = false;
std::string startFailure;

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string script() {
    return shellQuoted(std::string(QUILM_SOURCE_DIR) + "/scripts/cups-testbed.sh");
}

std::string valueOf(const std::string& output, const std::string& key) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

class StopServerAtEnd : public testing::Environment {
public:
    void TearDown() override { TestServer::stopShared(); }
};

[[maybe_unused]] testing::Environment* const stopServerAtEnd =
    testing::AddGlobalTestEnvironment(new StopServerAtEnd);

} // namespace

TestServer* TestServer::shared(std::string* reason) {
    if (!startAttempted) {
        startAttempted = true;
        std::unique_ptr<TestServer> server(new TestServer);
        if (server->start(&startFailure)) {
            sharedServer = std::move(server);
        }
    }
    if (!sharedServer && reason) {
        *reason = startFailure;
    }
    return sharedServer.get();
}

void TestServer::stopShared() {
    sharedServer.reset();
}

TestServer::~TestServer() {
    stop();
}

bool TestServer::start(std::string* reason) {
    if (::geteuid() != 0) {
        *reason = "the private CUPS server needs root (cupsd runs the filters as the user lp)";
        return false;
    }
    if (!haveProgram("cupsd") && ::access("/usr/sbin/cupsd", X_OK) != 0) {
        *reason = "cupsd is not installed";
        return false;
    }
#ifdef __linux__
    // The script leaves cupsd behind as an orphan; as its subreaper this program collects it when it ends.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
#endif
    std::string output;
    const std::string command = "TESTBED_OWNER=" + std::to_string(::getpid()) + " " + script() + " start " +
                                shellQuoted(root().string()) + " 2>&1";
    if (run(command, &output) != 0) {
        *reason = "the private CUPS server did not start: " + output;
        return false;
    }
    running_ = true;
    address_ = valueOf(output, "CUPS_SERVER");
    if (address_.empty()) {
        *reason = "the test bed gave no address: " + output;
        return false;
    }
    // libcups reads CUPS_SERVER once per thread; dropping the cached server makes it read it again.
    ::setenv("CUPS_SERVER", address_.c_str(), 1);
    cupsSetServer(nullptr);
    return true;
}

void TestServer::stop() {
    if (!running_) {
        return;
    }
    running_ = false;
    run(script() + " stop " + shellQuoted(root().string()) + " >/dev/null 2>&1");
    // Collect the stopped server and the script's watcher (children of this program as their subreaper),
    // so that no finished cupsd lingers in the process table.
    for (int attempt = 0; attempt < 100; ++attempt) {
        pid_t child = ::waitpid(-1, nullptr, WNOHANG);
        if (child < 0) {
            break; // no children left
        }
        if (child == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

std::filesystem::path TestServer::output(const std::string& queue) const {
    return root() / "output" / (queue + ".ras");
}

std::filesystem::path TestServer::optionLog(int jobID) const {
    return root() / "filterlog" / ("options-" + std::to_string(jobID));
}

void TestServer::setDefault(const std::string& queue) {
    std::string output;
    if (run("lpadmin -h " + shellQuoted(address_) + " -d " + shellQuoted(queue) + " 2>&1", &output) != 0) {
        throw std::runtime_error("cannot make " + queue + " the default: " + output);
    }
}

} // namespace TestSupport
