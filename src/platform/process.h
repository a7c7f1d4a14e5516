// Child processes: the stand-in for starting a console program and waiting
// for it. A program is started from an argument vector with posix_spawnp
// (never through a shell, so quotes and spaces in paths are harmless), its
// standard streams go to /dev/null, and a run that outlives its time-out is
// killed together with everything it started.
#pragma once

#include <string>
#include <vector>

namespace qm {

enum class RunStatus {
    kFinished,    // the program ran and ended by itself (any exit status)
    kNotStarted,  // the program could not be started (not found, not executable)
    kTimedOut,    // the program ran past the time-out and was killed
};

struct RunResult {
    RunStatus status = RunStatus::kNotStarted;
    int exitCode = -1;  // exit status when it ended normally, -1 otherwise
};

// Runs argv[0] (looked up on PATH) with the caller's environment and
// current folder and waits for it. A time-out of 0 or less waits for ever.
RunResult RunProgram(const std::vector<std::string>& argv, double timeoutSeconds);

}  // namespace qm
