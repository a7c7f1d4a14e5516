// Child processes started with posix_spawnp, fed, read and waited for with
// time-outs.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace qm {
namespace {

using Clock = std::chrono::steady_clock;

// A point `seconds` from now; 0 or less means no time-out at all.
class CDeadline {
public:
    explicit CDeadline(double seconds)
        : m_bUnlimited(seconds <= 0),
          m_end(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(m_bUnlimited ? 0 : seconds))) {}
    bool Passed() const { return !m_bUnlimited && Clock::now() >= m_end; }
    // Milliseconds for poll(): -1 without a time-out, else what is left,
    // at most `cap`.
    int PollMs(long long cap) const {
        if (m_bUnlimited) return cap < 0 ? -1 : static_cast<int>(cap);
        long long left = std::chrono::duration_cast<std::chrono::milliseconds>(m_end - Clock::now()).count();
        left = std::max<long long>(left, 0);
        return static_cast<int>(cap < 0 ? left : std::min(left, cap));
    }

private:
    bool m_bUnlimited;
    Clock::time_point m_end;
};

// Writing to a program that has ended must fail, not end this program:
// SIGPIPE is held back in this thread while writing, and one raised by the
// write is taken off again.
class CNoSigPipe {
public:
    CNoSigPipe() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~CNoSigPipe() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        timespec zero{0, 0};
        while (sigtimedwait(&set, nullptr, &zero) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    CNoSigPipe(const CNoSigPipe&) = delete;
    CNoSigPipe& operator=(const CNoSigPipe&) = delete;

private:
    sigset_t m_old;
};

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Reads what is there without waiting; false at the end of the stream.
bool ReadAvailable(int fd, std::string& buffer) {
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            buffer.append(buf, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

}  // namespace

CChildProcess::~CChildProcess() {
    if (m_pid > 0) {
        CloseInput();
        Kill();
    }
    CloseAll();
}

void CChildProcess::CloseAll() {
    CloseFd(m_nIn);
    CloseFd(m_nOut);
    CloseFd(m_nErr);
    CloseFd(m_nPidFd);
}

bool CChildProcess::Start(const std::vector<std::string>& argv, const ChildOptions& options) {
    if (m_pid > 0 || argv.empty() || argv[0].empty()) return false;
    CloseAll();
    m_bReaped = m_bExited = false;
    m_nExitCode = -1;

    // The parent's ends are close-on-exec, so no other child inherits them
    // and a reader sees the end of the stream when this child ends.
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    auto closePipes = [&] {
        for (int* p : {in, out, err}) {
            CloseFd(p[0]);
            CloseFd(p[1]);
        }
    };
    if ((options.pipeInput && pipe2(in, O_CLOEXEC) != 0) || (options.captureOutput && pipe2(out, O_CLOEXEC) != 0) ||
        (options.captureErrors && pipe2(err, O_CLOEXEC) != 0)) {
        closePipes();
        return false;
    }

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    const int childEnds[3] = {in[0], out[1], err[1]};
    for (int fd = 0; fd <= 2; ++fd) {
        if (childEnds[fd] >= 0) posix_spawn_file_actions_adddup2(&actions, childEnds[fd], fd);
        else posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors the caller opened without close-on-exec stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    // A process group of its own, so that a kill also ends whatever the
    // program started, and default signal handling whatever the caller set.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigset_t mask;
    sigemptyset(&mask);
    for (int sig : options.blockedSignals) sigaddset(&mask, sig);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &mask);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    CloseFd(in[0]);
    CloseFd(out[1]);
    CloseFd(err[1]);
    if (rc != 0) {
        closePipes();
        return false;
    }
    m_pid = pid;
    m_stop = options.stopRequested;
    m_nIn = in[1];
    m_nOut = out[0];
    m_nErr = err[0];
    // Reads never block: a read that finds nothing goes back to poll().
    for (int fd : {m_nOut, m_nErr})
        if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
#ifdef SYS_pidfd_open
    // A pidfd lets poll() sleep exactly until the child ends; kernels
    // without it are polled in short steps.
    m_nPidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#endif
    return true;
}

bool CChildProcess::Write(const std::string& text) {
    if (m_nIn < 0) return false;
    CNoSigPipe guard;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(m_nIn, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void CChildProcess::CloseInput() { CloseFd(m_nIn); }

CChildProcess::ReadResult CChildProcess::ReadOutput(std::string& buffer, double timeoutSeconds) {
    const CDeadline deadline(timeoutSeconds);
    for (;;) {
        if (m_nOut < 0) return ReadResult::kEnd;
        if (deadline.Passed()) return ReadResult::kTimedOut;
        if (StopRequested()) return ReadResult::kStopped;
        pollfd p{m_nOut, POLLIN, 0};
        int r = poll(&p, 1, deadline.PollMs(m_stop ? kStopPollMs : 1000000));
        if (r <= 0) continue;  // a signal, or the deadline (checked above)
        const size_t before = buffer.size();
        const bool open = ReadAvailable(m_nOut, buffer);
        if (buffer.size() > before) return ReadResult::kData;
        if (!open) return ReadResult::kEnd;
    }
}

void CChildProcess::Reaped(int status) {
    m_bReaped = true;
    m_bExited = WIFEXITED(status);
    m_nExitCode = m_bExited ? WEXITSTATUS(status) : -1;
    m_pid = -1;
    CloseFd(m_nPidFd);
    CloseFd(m_nIn);
}

bool CChildProcess::Wait(double timeoutSeconds) {
    return WaitCollecting(nullptr, nullptr, timeoutSeconds);
}

bool CChildProcess::WaitCollecting(std::string* output, std::string* errors, double timeoutSeconds) {
    if (m_pid <= 0) return true;
    const CDeadline deadline(timeoutSeconds);
    std::string ignored;
    std::string* sinks[2] = {output != nullptr ? output : &ignored, errors != nullptr ? errors : &ignored};
    int* fds[2] = {&m_nOut, &m_nErr};
    const bool collect = output != nullptr || errors != nullptr;
    int stepMs = 1;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid || (r < 0 && errno != EINTR)) {
            // Whatever the program wrote lies in the pipes by now.
            if (collect)
                for (int i = 0; i < 2; ++i)
                    if (*fds[i] >= 0) ReadAvailable(*fds[i], *sinks[i]);
            Reaped(status);
            return true;
        }
        if (deadline.Passed() || StopRequested()) return false;

        pollfd p[3];
        int n = 0;
        if (collect)
            for (int i = 0; i < 2; ++i)
                if (*fds[i] >= 0) p[n++] = {*fds[i], POLLIN, 0};
        if (m_nPidFd >= 0) p[n++] = {m_nPidFd, POLLIN, 0};
        // Without a pidfd the end of the child shows only in waitpid, which
        // is asked again after a short, growing step.
        const int waitMs = m_nPidFd >= 0 ? deadline.PollMs(m_stop ? kStopPollMs : 1000) : deadline.PollMs(stepMs);
        stepMs = std::min(stepMs * 2, 20);
        poll(p, static_cast<nfds_t>(n), waitMs);
        if (collect)
            for (int i = 0; i < 2; ++i)
                if (*fds[i] >= 0 && !ReadAvailable(*fds[i], *sinks[i])) CloseFd(*fds[i]);
    }
}

void CChildProcess::Kill() {
    if (m_pid <= 0) return;
    kill(-m_pid, SIGKILL);
    kill(m_pid, SIGKILL);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    Reaped(status);
}

RunResult RunProgram(const std::vector<std::string>& argv, double timeoutSeconds,
                     const std::function<bool()>& stop) {
    RunResult result;
    CChildProcess child;
    ChildOptions options;
    options.stopRequested = stop;
    if (!child.Start(argv, options)) return result;
    if (!child.Wait(timeoutSeconds)) {
        result.status = child.StopRequested() ? RunStatus::kStopped : RunStatus::kTimedOut;
        child.Kill();
        return result;
    }
    // posix_spawnp reports an exec failure as exit status 127 from the child.
    if (child.ExitCode() == 127) return result;
    result.status = RunStatus::kFinished;
    result.exitCode = child.ExitCode();
    return result;
}

}  // namespace qm
