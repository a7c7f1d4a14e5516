// Child processes started with posix_spawnp and waited for with a time-out.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace qm {
namespace {

// Waits for `pid` to end; false when the time-out passes first. A pidfd
// lets poll() sleep exactly until the child ends; kernels without it fall
// back to a short polling loop.
bool WaitWithTimeout(pid_t pid, double timeoutSeconds, int* status) {
    using Clock = std::chrono::steady_clock;
    const bool unlimited = timeoutSeconds <= 0;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(unlimited ? 0 : timeoutSeconds));
#ifdef SYS_pidfd_open
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    int pidfd = -1;
#endif
    auto sleepStep = std::chrono::microseconds(500);
    for (;;) {
        pid_t r = waitpid(pid, status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            if (pidfd >= 0) close(pidfd);
            return true;
        }
        int waitMs = 1000;
        if (!unlimited) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                if (pidfd >= 0) close(pidfd);
                return false;
            }
            waitMs = static_cast<int>(std::min<long long>(left, 1000));
        }
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            poll(&p, 1, waitMs);
        } else {
            std::this_thread::sleep_for(std::min(sleepStep, std::chrono::microseconds(waitMs * 1000LL)));
            sleepStep = std::min(sleepStep * 2, std::chrono::microseconds(20000));
        }
    }
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, double timeoutSeconds) {
    RunResult result;
    if (argv.empty() || argv[0].empty()) return result;

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors the caller opened without close-on-exec stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    // A process group of its own, so that a time-out also ends whatever the
    // program started, and default signal handling whatever the caller set.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return result;

    int status = 0;
    if (!WaitWithTimeout(pid, timeoutSeconds, &status)) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result.status = RunStatus::kTimedOut;
        return result;
    }
    // posix_spawnp reports an exec failure as exit status 127 from the child.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        result.status = RunStatus::kNotStarted;
        return result;
    }
    result.status = RunStatus::kFinished;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace qm
