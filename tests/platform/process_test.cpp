// Child processes: programs that are missing, fail or hang, are fed
// through a pipe, write more than a pipe holds, or leave children behind.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "support/test_util.h"

using qmtest::ReadFile;
using qmtest::TempDir;
using qmtest::WriteScript;

namespace {

// Whether the process `pid` no longer runs. A killed child whose parent is
// gone may linger as a zombie until something reaps it; it runs no longer
// either way.
bool Gone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
        size_t paren = stat.rfind(')');
        if ((kill(pid, 0) != 0 && errno == ESRCH) ||
            (paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z'))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

pid_t PidIn(const std::string& file) {
    for (int i = 0; i < 500; ++i) {
        pid_t pid = static_cast<pid_t>(std::atoi(ReadFile(file).c_str()));
        if (pid > 0) return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

}  // namespace

// Missing programs are not started, failing ones report their status, and
// arguments arrive whole, without a shell.
TEST(ProcessRunner, StartStatusAndArguments) {
    TempDir dir;
    WriteScript(dir / "run.sh", "for a; do printf '%s|' \"$a\"; done > \"$1\"\nexit 3\n");
    const std::string out = dir / "out put.txt";
    qm::RunResult r = qm::RunProgram({dir / "run.sh", out, "a \"quoted\" word", "$HOME", "*;|"}, 5);
    EXPECT_EQ(r.status, qm::RunStatus::kFinished);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(ReadFile(out), out + "|a \"quoted\" word|$HOME|*;||");
    EXPECT_EQ(qm::RunProgram({"quillmark-no-such-program-xyz"}, 5).status, qm::RunStatus::kNotStarted);
    EXPECT_EQ(qm::RunProgram({}, 5).status, qm::RunStatus::kNotStarted);
}

// A hanging program is killed at the time-out, a stop request set while a
// program runs (from a signal handler, in the command line) ends every kind
// of wait long before it, and the end of the object ends its program: each
// way the program goes with its children.
TEST(ProcessRunner, TimeOutAndStopRequestEndTheWaitsAndKillTheProgram) {
    TempDir dir;
    WriteScript(dir / "hang.sh", "sleep 100 &\necho $! > \"$1\"\nwait\n");
    enum Wait { kTimeOut, kRunProgram, kWait, kReadOutput, kDestroy };
    for (Wait how : {kTimeOut, kRunProgram, kWait, kReadOutput, kDestroy}) {
        SCOPED_TRACE(how);
        const std::string pidFile = dir / ("pid" + std::to_string(how));
        std::atomic<bool> stop{false};
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stop = true;
        });
        auto stopRequested = [&] { return stop.load(); };
        const auto start = std::chrono::steady_clock::now();
        pid_t program = 0;
        if (how == kDestroy) {
            qm::CChildProcess child;
            ASSERT_TRUE(child.Start({dir / "hang.sh", pidFile}));
            program = child.Pid();
            ASSERT_GT(PidIn(pidFile), 0);
        } else if (how == kTimeOut) {
            EXPECT_EQ(qm::RunProgram({dir / "hang.sh", pidFile}, 0.5).status, qm::RunStatus::kTimedOut);
        } else if (how == kRunProgram) {
            EXPECT_EQ(qm::RunProgram({dir / "hang.sh", pidFile}, 60, stopRequested).status, qm::RunStatus::kStopped);
        } else {
            qm::ChildOptions options;
            options.captureOutput = true;
            options.stopRequested = stopRequested;
            qm::CChildProcess child;
            ASSERT_TRUE(child.Start({dir / "hang.sh", pidFile}, options));
            std::string out;
            if (how == kWait) EXPECT_FALSE(child.Wait(60));
            else EXPECT_EQ(child.ReadOutput(out, 60), qm::CChildProcess::ReadResult::kStopped);
            EXPECT_TRUE(child.StopRequested());
        }
        stopper.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        const pid_t grandchild = PidIn(pidFile);
        ASSERT_GT(grandchild, 0);
        EXPECT_TRUE(Gone(grandchild)) << "the stopped program's child still runs";
        if (program != 0) {
            EXPECT_TRUE(Gone(program));
        }
    }
}

TEST(ChildProcess, AnswersAreReadAsTheyComeAndTheEndOfInputEndsTheProgram) {
    qm::ChildOptions options;
    options.pipeInput = true;
    options.captureOutput = true;
    qm::CChildProcess cat;
    ASSERT_TRUE(cat.Start({"cat"}, options));
    EXPECT_FALSE(cat.Start({"cat"}, options)) << "one process per object";
    std::string got;
    ASSERT_TRUE(cat.Write("one\n"));
    while (got.size() < 4) ASSERT_EQ(cat.ReadOutput(got, 5), qm::CChildProcess::ReadResult::kData);
    EXPECT_EQ(got, "one\n");
    // Nothing more to read while the program waits for input.
    EXPECT_EQ(cat.ReadOutput(got, 0.1), qm::CChildProcess::ReadResult::kTimedOut);
    ASSERT_TRUE(cat.Write("two\n"));
    cat.CloseInput();
    EXPECT_FALSE(cat.Write("three\n")) << "the input is closed";
    while (cat.ReadOutput(got, 5) == qm::CChildProcess::ReadResult::kData) {
    }
    EXPECT_EQ(got, "one\ntwo\n");
    ASSERT_TRUE(cat.Wait(5));
    EXPECT_TRUE(cat.Exited());
    EXPECT_EQ(cat.ExitCode(), 0);
    EXPECT_FALSE(cat.HasProcess());
}

TEST(ChildProcess, WritingToAProgramThatEndedFailsWithoutEndingUs) {
    qm::ChildOptions options;
    options.pipeInput = true;
    qm::CChildProcess child;
    ASSERT_TRUE(child.Start({"true"}, options));
    ASSERT_TRUE(child.Wait(5));
    // More than a pipe holds, so the write cannot simply vanish in it.
    EXPECT_FALSE(child.Write(std::string(1 << 20, 'x')));
}

TEST(ChildProcess, CollectsBothStreamsBeyondWhatAPipeHolds) {
    TempDir dir;
    // 400 kB on standard output, interleaved with standard error: a reader
    // that drained one stream only would leave the program blocked.
    WriteScript(dir / "talk.sh",
                "i=0\nwhile [ $i -lt 400 ]; do head -c 1000 /dev/zero | tr '\\0' o; echo e >&2; i=$((i+1)); done\n"
                "exit 5\n");
    qm::ChildOptions options;
    options.captureOutput = true;
    options.captureErrors = true;
    qm::CChildProcess child;
    ASSERT_TRUE(child.Start({dir / "talk.sh"}, options));
    std::string out, err;
    ASSERT_TRUE(child.WaitCollecting(&out, &err, 60));
    EXPECT_EQ(out, std::string(400000, 'o'));
    EXPECT_EQ(err.size(), 800u);
    EXPECT_EQ(child.ExitCode(), 5);
}

TEST(ChildProcess, ACollectedProgramIsDoneWhenItEndsNotWhenItsChildrenDo) {
    TempDir dir;
    // The background child keeps the output pipe open after the program
    // ended; the wait must not last as long as it does.
    WriteScript(dir / "leave.sh", "sleep 100 &\necho $! > \"$1\"\necho done\n");
    qm::ChildOptions options;
    options.captureOutput = true;
    qm::CChildProcess child;
    ASSERT_TRUE(child.Start({dir / "leave.sh", dir / "pid"}, options));
    std::string out;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(child.WaitCollecting(&out, nullptr, 30));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(out, "done\n");
    kill(PidIn(dir / "pid"), SIGKILL);
}

TEST(ChildProcess, SignalsStartBlockedOnlyWhenAsked) {
    const struct {
        std::vector<int> blocked;
        const char* mask;
    } cases[] = {
        {{}, "0000000000000000"},
        {{SIGXFSZ}, "0000000001000000"},
    };
    // Whatever the caller blocks itself is not passed on.
    sigset_t set, old;
    sigemptyset(&set);
    sigaddset(&set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set, &old);
    for (const auto& c : cases) {
        qm::ChildOptions options;
        options.captureOutput = true;
        options.blockedSignals = c.blocked;
        qm::CChildProcess child;
        ASSERT_TRUE(child.Start({"grep", "SigBlk", "/proc/self/status"}, options));
        std::string out;
        ASSERT_TRUE(child.WaitCollecting(&out, nullptr, 30));
        EXPECT_NE(out.find(c.mask), std::string::npos) << out;
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}
