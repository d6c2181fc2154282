// Running a system tool as a child process without a shell: the program and its arguments travel as an
// argument vector, so user text (a printer's network name) is never parsed by anything. Every run has a
// deadline and may be cancelled; a child that outlives either is killed together with everything it
// started, so no tool can hang the caller.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace PrintKit {

struct ChildResult {
    int exitStatus = -1;   // the exit code; 128 + the signal number for a child ended by a signal
    bool timedOut = false; // killed at the deadline
    bool cancelled = false;
    std::string output; // standard output, up to the run's limit
    std::string errors; // standard error, up to the run's limit

    bool succeeded() const { return exitStatus == 0 && !timedOut && !cancelled; }
};

// One started child. Its standard input is /dev/null; it runs in a session of its own (no controlling
// terminal, so no tool can stop to ask for a password, and the whole group can be killed at once); no
// descriptor of this process but the ones asked for reaches it. The destructor kills and collects a
// child that was not waited for.
class ChildProcess {
public:
    enum class Stream { discard, pipe };

    // Starts argv[0] (an absolute path, or a name looked up in PATH) with its arguments. Throws
    // std::system_error when it cannot be started (no such program among them).
    ChildProcess(const std::vector<std::string>& argv, Stream output, Stream errors);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const noexcept { return pid_; }
    // The reading ends of the piped streams (close-on-exec, blocking); -1 for a discarded stream.
    int outputFD() const noexcept { return output_; }
    int errorFD() const noexcept { return errors_; }
    void closeOutput() noexcept;
    void closeErrors() noexcept;

    // Kills the child's whole process group.
    void kill() noexcept;
    // Collects the child when it has ended, without waiting; the exit status as in ChildResult.
    std::optional<int> poll();
    // Waits until the child ends or the deadline passes (then kills it); the exit status, or none when it
    // had to be killed.
    std::optional<int> wait(std::chrono::steady_clock::time_point deadline);

    // Runs to the end, collecting both streams (each up to limit bytes; the rest is read and dropped, so a
    // talkative child never blocks on a full pipe). Checks cancel about every 50 ms.
    static ChildResult run(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                           const std::atomic<bool>* cancel = nullptr, std::size_t limit = 1 << 20);

private:
    pid_t pid_ = -1;
    int output_ = -1;
    int errors_ = -1;
    std::optional<int> status_;
};

} // namespace PrintKit
