// Child processes: arguments passed untouched, both streams read without a deadlock, and a child (with
// everything it started) killed at the deadline or on cancel.
#include "PrintKit/support/ChildProcess.h"

#include "TestSupport.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <system_error>

using namespace PrintKit;

namespace {

const std::chrono::seconds plenty(60);

// Alive and not merely waiting to be collected.
bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

TEST(ChildProcessTest, PassesArgumentsAndCollectsBothStreams) {
    const std::string tricky = "a 'b' \"c\" $HOME; `x` 사진";
    ChildResult result = ChildProcess::run({"printf", "%s", tricky}, plenty);
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.output, tricky);

    result = ChildProcess::run({"/bin/sh", "-c", "echo out; echo err >&2; exit 3"}, plenty);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.output, "out\n");
    EXPECT_EQ(result.errors, "err\n");

    // Far more than a pipe holds, on both streams at once, beyond the limit kept.
    result = ChildProcess::run(
        {"/bin/sh", "-c", "head -c 3000000 /dev/zero & head -c 3000000 /dev/zero >&2; wait"}, plenty, nullptr,
        1 << 20);
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.output.size(), 1u << 20);
    EXPECT_EQ(result.errors.size(), 1u << 20);

    EXPECT_THROW(ChildProcess({"/no/such/tool"}, ChildProcess::Stream::pipe, ChildProcess::Stream::pipe),
                 std::system_error);
}

TEST(ChildProcessTest, KillsTheWholeGroupAtTheDeadlineOrOnCancel) {
    // The child's own child holds the output pipe open: the run must not wait for it.
    ChildResult result =
        ChildProcess::run({"/bin/sh", "-c", "sleep 600 & echo $!; wait"}, std::chrono::milliseconds(300));
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.succeeded());
    const pid_t grandchild = static_cast<pid_t>(std::stol(result.output));
    for (int attempt = 0; attempt < 100 && running(grandchild); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(running(grandchild));

    std::atomic<bool> cancel{true};
    result = ChildProcess::run({"sleep", "600"}, plenty, &cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.succeeded());

    // A child ended by a signal is no success.
    result = ChildProcess::run({"/bin/sh", "-c", "kill -TERM $$"}, plenty);
    EXPECT_EQ(result.exitStatus, 128 + SIGTERM);
}

} // namespace
