// Child processes started from an argument vector, fed, read and waited for
// with time-outs.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

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

// The paths execvp would try for `program`: the name itself when it holds a
// '/', else the name in each folder of PATH in order.
std::vector<std::string> ExecCandidates(const std::string& program) {
    if (program.find('/') != std::string::npos) return {program};
    const char* env = std::getenv("PATH");
    const std::string path = env != nullptr ? env : "/bin:/usr/bin";
    std::vector<std::string> out;
    size_t begin = 0;
    for (;;) {
        const size_t colon = path.find(':', begin);
        std::string dir = path.substr(begin, colon == std::string::npos ? std::string::npos : colon - begin);
        out.push_back((dir.empty() ? std::string(".") : dir) + "/" + program);
        if (colon == std::string::npos) break;
        begin = colon + 1;
    }
    return out;
}

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
    // Everything the child needs is made here: between fork and exec it may
    // only make calls that are safe in a copy of a multi-threaded process.
    const std::vector<std::string> candidates = ExecCandidates(argv[0]);
    std::vector<const char*> paths;
    for (const auto& c : candidates) paths.push_back(c.c_str());
    sigset_t childMask;
    sigemptyset(&childMask);
    for (int sig : options.blockedSignals) sigaddset(&childMask, sig);
    const int childEnds[3] = {in[0], out[1], err[1]};
    int report[2] = {-1, -1};  // the child writes errno here when no exec succeeds
    if (paths.empty() || pipe2(report, O_CLOEXEC) != 0) {
        closePipes();
        return false;
    }

    // The program dies with this process. posix_spawn cannot ask for that,
    // so the child is made with fork and asks the kernel itself
    // (PR_SET_PDEATHSIG, kept across exec) before it runs the program: a
    // conversion killed with SIGKILL, or ending in any other way, then
    // takes its Ghostscript along instead of leaving it to run for
    // seconds. The death signal follows the thread that made the child; in
    // Quillmark the thread that starts a program also waits for it and
    // owns it until it ends, so that is the lifetime wanted. All signals
    // stay blocked across fork, so no handler of this process runs in the
    // child before it has put every signal back to its default.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        for (int sig = 1; sig < NSIG; ++sig) {
            struct sigaction sa;
            if (sig == SIGKILL || sig == SIGSTOP || sigaction(sig, nullptr, &sa) != 0) continue;
            if (sa.sa_handler == SIG_IGN && sig != SIGPIPE && sig != SIGCHLD) continue;
            sa.sa_handler = SIG_DFL;
            sa.sa_flags = 0;
            sigaction(sig, &sa, nullptr);
        }
        // A process group of its own, so that a kill also ends whatever the
        // program started.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        // This process may have died before the request was made.
        if (getppid() != parent) _exit(127);
        for (int fd = 0; fd <= 2; ++fd) {
            int from = childEnds[fd];
            if (from < 0) from = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (from == fd) fcntl(fd, F_SETFD, 0);
            else if (from < 0 || dup2(from, fd) < 0) _exit(127);
        }
#ifdef SYS_close_range
        // Descriptors the caller opened without close-on-exec stay ours;
        // the report pipe stays open until the exec closes it.
        const unsigned keep = static_cast<unsigned>(report[1]);
        if (keep > 3) syscall(SYS_close_range, 3U, keep - 1, 0U);
        syscall(SYS_close_range, keep + 1, ~0U, 0U);
#endif
        sigprocmask(SIG_SETMASK, &childMask, nullptr);
        int error = ENOENT;
        for (const char* path : paths) {
            execve(path, args.data(), environ);
            // As execvp: a file that is not there or not allowed lets the
            // search go on; any other failure ends it.
            if (errno != ENOENT && errno != ENOTDIR && errno != EACCES) {
                error = errno;
                break;
            }
            if (errno == EACCES) error = EACCES;
        }
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    CloseFd(report[1]);
    CloseFd(in[0]);
    CloseFd(out[1]);
    CloseFd(err[1]);
    bool started = pid > 0;
    if (started) {
        // The report pipe ends at the exec (nothing read) or carries the
        // error of an exec that failed; that child is reaped here.
        int error = 0;
        ssize_t n;
        while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
        if (n > 0) {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            started = false;
        }
    }
    CloseFd(report[0]);
    if (!started) {
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
