#include "platform/worker.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace qm {
namespace {

// Called by operator new when memory ran out: the worker's work cannot go
// on, and ending with a status of its own tells the caller why it ended.
void OutOfMemory() { _exit(kWorkerOutOfMemory); }

}  // namespace

CWorkerProcess::~CWorkerProcess() {
    if (m_pid > 0 && !m_bReaped) Kill();
    if (m_nFd >= 0) close(m_nFd);
}

bool CWorkerProcess::Start(const std::function<int(int reportFd)>& work, long long maxMemoryBytes) {
    if (m_pid > 0) return false;
    int report[2] = {-1, -1};
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        // A worker whose caller is gone (killed outright) would convert for
        // nobody and hold its renderer; it goes with the caller.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        if (maxMemoryBytes > 0) {
            const rlimit limit{static_cast<rlim_t>(maxMemoryBytes), static_cast<rlim_t>(maxMemoryBytes)};
            setrlimit(RLIMIT_AS, &limit);
        }
        std::set_new_handler(OutOfMemory);
        const int status = work(report[1]);
        close(report[1]);
        _exit(status);
    }
    close(report[1]);
    if (pid < 0) {
        close(report[0]);
        return false;
    }
    m_pid = pid;
    m_nFd = report[0];
    m_bReaped = false;
    fcntl(m_nFd, F_SETFL, fcntl(m_nFd, F_GETFL) | O_NONBLOCK);
    return true;
}

bool CWorkerProcess::ReadReport(std::string& buffer) {
    if (m_nFd < 0) return false;
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(m_nFd, chunk, sizeof chunk);
        if (n > 0) {
            buffer.append(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        close(m_nFd);
        m_nFd = -1;
        return false;
    }
}

void CWorkerProcess::Signal(int sig) const {
    if (m_pid > 0 && !m_bReaped) kill(m_pid, sig);
}

void CWorkerProcess::Reap() {
    if (m_pid <= 0 || m_bReaped) return;
    int status = 0;
    rusage usage = {};
    while (wait4(m_pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    m_bReaped = true;
    m_nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_nSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    m_nPeakKiB = usage.ru_maxrss;
}

void CWorkerProcess::Kill() {
    Signal(SIGKILL);
    Reap();
}

long OwnAndChildrenPeakKiB() {
    rusage self = {};
    rusage children = {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return self.ru_maxrss + children.ru_maxrss;
}

}  // namespace qm
