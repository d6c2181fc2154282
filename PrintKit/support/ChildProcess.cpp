#include "PrintKit/support/ChildProcess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace PrintKit {

namespace {

using Clock = std::chrono::steady_clock;

void closeFD(int& fd) noexcept {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::array<int, 2> makePipe() {
    std::array<int, 2> ends{-1, -1};
#ifdef __APPLE__
    if (::pipe(ends.data()) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    for (int fd : ends) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
#else
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
#endif
    return ends;
}

int statusOf(int raw) {
    if (WIFEXITED(raw)) {
        return WEXITSTATUS(raw);
    }
    if (WIFSIGNALED(raw)) {
        return 128 + WTERMSIG(raw);
    }
    return -1;
}

// posix_spawn's C handles, released however the start ends.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
};

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, Stream output, Stream errors) {
    if (argv.empty() || argv.front().empty()) {
        throw std::system_error(ENOENT, std::generic_category(), "no program");
    }
    std::array<int, 2> outPipe{-1, -1};
    std::array<int, 2> errPipe{-1, -1};
    auto closeAll = [&] {
        for (int* fd : {&outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1]}) {
            closeFD(*fd);
        }
    };
    try {
        if (output == Stream::pipe) {
            outPipe = makePipe();
        }
        if (errors == Stream::pipe) {
            errPipe = makePipe();
        }
    } catch (...) {
        closeAll();
        throw;
    }

    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    if (outPipe[1] >= 0) {
        posix_spawn_file_actions_adddup2(&setup.actions, outPipe[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    }
    if (errPipe[1] >= 0) {
        posix_spawn_file_actions_adddup2(&setup.actions, errPipe[1], 2);
    } else {
        posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
    }
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors that other libraries opened without close-on-exec (a D-Bus or CUPS socket) stay here.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
#endif
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;
#endif
#ifdef POSIX_SPAWN_CLOEXEC_DEFAULT
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
    posix_spawnattr_setflags(&setup.attributes, flags);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    // A parent that ignores SIGPIPE (network libraries do) would pass that on to tools that rely on it.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGXFSZ}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const int failure =
        ::posix_spawnp(&pid_, args[0], &setup.actions, &setup.attributes, args.data(), environ);
    closeFD(outPipe[1]);
    closeFD(errPipe[1]);
    if (failure != 0) {
        pid_ = -1;
        closeAll();
        throw std::system_error(failure, std::generic_category(), argv.front());
    }
    output_ = outPipe[0];
    errors_ = errPipe[0];
}

ChildProcess::~ChildProcess() {
    closeOutput();
    closeErrors();
    if (pid_ > 0 && !status_) {
        kill();
        wait(Clock::now() + std::chrono::seconds(5));
    }
}

void ChildProcess::closeOutput() noexcept {
    closeFD(output_);
}

void ChildProcess::closeErrors() noexcept {
    closeFD(errors_);
}

void ChildProcess::kill() noexcept {
    // Only before the child is collected: afterwards its number may belong to another process.
    if (pid_ > 0 && !status_) {
#ifdef POSIX_SPAWN_SETSID
        ::kill(-pid_, SIGKILL);
#endif
        ::kill(pid_, SIGKILL);
    }
}

std::optional<int> ChildProcess::poll() {
    if (status_ || pid_ <= 0) {
        return status_;
    }
    int raw = 0;
    pid_t done;
    do {
        done = ::waitpid(pid_, &raw, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == pid_) {
        status_ = statusOf(raw);
    } else if (done < 0) {
        status_ = -1; // collected by someone else: its status is lost, never taken for success
    }
    return status_;
}

std::optional<int> ChildProcess::wait(Clock::time_point deadline) {
    for (;;) {
        if (std::optional<int> status = poll()) {
            return status;
        }
        if (Clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill();
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    status_ = statusOf(raw);
    return std::nullopt;
}

ChildResult ChildProcess::run(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                              const std::atomic<bool>* cancel, std::size_t limit) {
    const Clock::time_point deadline = Clock::now() + timeout;
    ChildProcess child(argv, Stream::pipe, Stream::pipe);
    ChildResult result;
    std::array<char, 16384> buffer;

    auto stop = [&] {
        if (cancel && cancel->load()) {
            result.cancelled = true;
            return true;
        }
        if (Clock::now() >= deadline) {
            result.timedOut = true;
            return true;
        }
        return false;
    };

    while ((child.output_ >= 0 || child.errors_ >= 0) && !stop()) {
        std::array<pollfd, 2> fds{pollfd{child.output_, POLLIN, 0}, pollfd{child.errors_, POLLIN, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int wait =
            static_cast<int>(std::max<std::int64_t>(0, std::min<std::int64_t>(50, left.count())));
        if (::poll(fds.data(), fds.size(), wait) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (std::size_t index = 0; index < fds.size(); ++index) {
            if (fds[index].fd < 0 || fds[index].revents == 0) {
                continue;
            }
            int& fd = index == 0 ? child.output_ : child.errors_;
            std::string& text = index == 0 ? result.output : result.errors;
            const ssize_t count = ::read(fd, buffer.data(), buffer.size());
            if (count > 0) {
                const std::size_t room = limit > text.size() ? limit - text.size() : 0;
                text.append(buffer.data(), std::min(room, static_cast<std::size_t>(count)));
            } else if (count == 0 || errno != EINTR) {
                closeFD(fd);
            }
        }
    }
    child.closeOutput();
    child.closeErrors();
    // Both streams ended (or the run is over); a child that closed them but goes on running still meets
    // the deadline and the cancel.
    for (;;) {
        if (!result.timedOut && !result.cancelled) {
            if (std::optional<int> status = child.poll()) {
                result.exitStatus = *status;
                return result;
            }
        }
        if (result.timedOut || result.cancelled || stop()) {
            child.kill();
            child.wait(Clock::now());
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace PrintKit
