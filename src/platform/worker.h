// Worker processes: a copy of this process (fork without exec) that does one
// piece of work and ends, so that whatever the work does to its process (a
// PDF core that keeps global state, memory it never gives back, a loop that
// never ends, a crash) ends with it. The worker reports through a pipe; the
// caller reads it, may kill the worker at any moment, and reaps it with its
// resource use.
//
// Only a process with one thread may start workers: the copy has only the
// thread that made it, and a lock another thread held stays locked in it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace qm {

// The exit status of a worker whose memory ran out (its limit was reached):
// operator new failed.
constexpr int kWorkerOutOfMemory = 86;

class CWorkerProcess {
public:
    CWorkerProcess() = default;
    // Kills and reaps a worker still held.
    ~CWorkerProcess();
    CWorkerProcess(const CWorkerProcess&) = delete;
    CWorkerProcess& operator=(const CWorkerProcess&) = delete;

    // Starts a worker that runs `work` with the write end of its report pipe
    // and ends with the status `work` returns, without running this
    // process's exit handlers or flushing its streams (their buffers belong
    // to this process). The worker dies with this process (PR_SET_PDEATHSIG),
    // stays in its process group (a Ctrl-C at the terminal reaches it), and
    // with `maxMemoryBytes` > 0 cannot map more than that (RLIMIT_AS, which
    // the programs it starts inherit). False when no worker could be made.
    bool Start(const std::function<int(int reportFd)>& work, long long maxMemoryBytes = 0);

    pid_t Pid() const { return m_pid; }
    // The read end of the report pipe (-1 once it ended).
    int ReportFd() const { return m_nFd; }
    // Appends what the worker reported and is there now, without waiting;
    // false once the report ended (the worker closed it or ended).
    bool ReadReport(std::string& buffer);
    // Sends `sig` to the worker (not to the programs it started).
    void Signal(int sig) const;
    // Waits for the worker to end and reaps it. The programs it started
    // and waited for count in its peak memory.
    void Reap();
    // Kills the worker and reaps it; its programs die with it.
    void Kill();

    bool Reaped() const { return m_bReaped; }
    // After Reap: the exit status (-1 when a signal ended it), the signal
    // (0 when it exited), and the highest resident size of the worker or of
    // the largest program it waited for, in KiB.
    int ExitCode() const { return m_nExitCode; }
    int TermSignal() const { return m_nSignal; }
    long PeakKiB() const { return m_nPeakKiB; }

private:
    pid_t m_pid = -1;
    int m_nFd = -1;
    bool m_bReaped = false;
    int m_nExitCode = -1;
    int m_nSignal = 0;
    long m_nPeakKiB = 0;
};

// This process's memory high-water mark plus that of the largest program it
// waited for (Ghostscript), in KiB: what a worker used, with its renderer.
long OwnAndChildrenPeakKiB();

}  // namespace qm
