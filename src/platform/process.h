// Child processes: the stand-in for starting a console program. Every
// program Quillmark starts (Ghostscript for a render or for a whole
// conversion, and the programs the tests run) goes through CChildProcess:
// it is started from an argument vector, looked up on PATH as execvp does
// (never through a shell, so quotes and spaces in paths are harmless), in a
// process group of its own so that killing it also ends everything it
// started, with the standard streams the caller asks for (/dev/null
// otherwise), and it is killed by the kernel when this process dies.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace qm {

// How the standard streams of a child are connected.
struct ChildOptions {
    bool pipeInput = false;     // Write() feeds its standard input
    bool captureOutput = false;  // its standard output is read back
    bool captureErrors = false;  // its standard error is read back
    // Signals the program starts with blocked (all others are unblocked and
    // have their default action). A blocked SIGXFSZ, for one, turns a write
    // beyond the file size limit into an EFBIG error.
    std::vector<int> blockedSignals;
    // Asked while waiting for the program: true ends the wait early (the
    // caller then kills the program). A stop request set from a signal
    // handler is seen within kStopPollMs, as a wait never sleeps longer
    // than that while it has a question to ask.
    std::function<bool()> stopRequested;
};

constexpr int kStopPollMs = 50;

// One started program. The object owns the process: its destructor kills
// the process group and reaps the child, so no program outlives a failure
// of its caller.
class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts argv[0] (looked up on PATH) with the caller's environment and
    // current folder; false when it cannot be started. Only when no
    // process is held (never started, or already reaped).
    bool Start(const std::vector<std::string>& argv, const ChildOptions& options = {});
    // A process was started and has not been reaped yet (it may have ended
    // by itself already).
    bool HasProcess() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Writes all of `text` to the program's standard input; false when the
    // program no longer reads it (a closed pipe fails, it never ends this
    // program with SIGPIPE).
    bool Write(const std::string& text);
    // End of input: a program reading its standard input sees the end.
    void CloseInput();

    enum class ReadResult { kData, kEnd, kTimedOut, kStopped };
    // Appends to `buffer` what the program wrote to its standard output,
    // waiting at most `timeoutSeconds` (0 or less: for ever) for it. kEnd
    // when the output is closed (the program ended or closed it); kStopped
    // when the start options' stop request said so first.
    ReadResult ReadOutput(std::string& buffer, double timeoutSeconds);

    // Waits for the program to end and reaps it; false when the time-out
    // passes first or a stop is requested (the program keeps running;
    // StopRequested() tells which). 0 or less waits for ever.
    // The captured streams are not read meanwhile: a program that fills a
    // pipe nobody reads does not end (WaitCollecting reads them).
    bool Wait(double timeoutSeconds);
    // Collects the captured streams until the program ends, then reaps it;
    // false when the time-out passes first. What the program's own children
    // write after it ended is not waited for.
    bool WaitCollecting(std::string* output, std::string* errors, double timeoutSeconds);
    // Kills the process group (the program and all it started) and reaps
    // the program.
    void Kill();
    // The stop request of the start options says stop.
    bool StopRequested() const { return m_stop && m_stop(); }

    // After a successful Wait: whether the program ended by itself with an
    // exit status, and that status (-1 when a signal ended it).
    bool Exited() const { return m_bReaped && m_bExited; }
    int ExitCode() const { return Exited() ? m_nExitCode : -1; }

private:
    void Reaped(int status);
    void CloseAll();

    pid_t m_pid = -1;
    std::function<bool()> m_stop;
    int m_nPidFd = -1;  // becomes readable when the child ends (-1 without kernel support)
    int m_nIn = -1;
    int m_nOut = -1;
    int m_nErr = -1;
    bool m_bReaped = false;
    bool m_bExited = false;
    int m_nExitCode = -1;
};

enum class RunStatus {
    kFinished,    // the program ran and ended by itself (any exit status)
    kNotStarted,  // the program could not be started (not found, not executable)
    kTimedOut,    // the program ran past the time-out and was killed
    kStopped,     // a stop was requested while it ran, and it was killed
};

struct RunResult {
    RunStatus status = RunStatus::kNotStarted;
    int exitCode = -1;  // exit status when it ended normally, -1 otherwise
};

// Runs argv[0] with its standard streams on /dev/null and waits for it. A
// program that outlives the time-out (0 or less: none) is killed together
// with everything it started, and so is one still running when `stop`
// (when given) says stop.
RunResult RunProgram(const std::vector<std::string>& argv, double timeoutSeconds,
                     const std::function<bool()>& stop = {});

}  // namespace qm
