// The child-process runner: programs that are missing, fail, or hang.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "support/test_util.h"

using qmtest::ReadFile;
using qmtest::TempDir;
using qmtest::WriteScript;

TEST(ProcessRunner, MissingProgramIsNotStarted) {
    qm::RunResult r = qm::RunProgram({"quillmark-no-such-program-xyz"}, 5);
    EXPECT_EQ(r.status, qm::RunStatus::kNotStarted);
    r = qm::RunProgram({}, 5);
    EXPECT_EQ(r.status, qm::RunStatus::kNotStarted);
}

TEST(ProcessRunner, FailingProgramReportsItsExitStatus) {
    TempDir dir;
    WriteScript(dir / "fail.sh", "exit 3\n");
    qm::RunResult r = qm::RunProgram({dir / "fail.sh"}, 5);
    EXPECT_EQ(r.status, qm::RunStatus::kFinished);
    EXPECT_EQ(r.exitCode, 3);
}

TEST(ProcessRunner, ArgumentsArriveWholeWithoutAShell) {
    TempDir dir;
    WriteScript(dir / "args.sh", "for a; do printf '%s|' \"$a\"; done > \"$1\"\n");
    const std::string out = dir / "out put.txt";
    qm::RunResult r = qm::RunProgram({dir / "args.sh", out, "a \"quoted\" word", "$HOME", "*;|"}, 5);
    ASSERT_EQ(r.status, qm::RunStatus::kFinished);
    EXPECT_EQ(ReadFile(out), out + "|a \"quoted\" word|$HOME|*;||");
}

TEST(ProcessRunner, HangingProgramIsKilledAtTheTimeOutWithItsChildren) {
    TempDir dir;
    // The script starts a child of its own, which must not outlive it.
    WriteScript(dir / "hang.sh", "sleep 100 &\necho $! > \"$1\"\nwait\n");
    const std::string pidFile = dir / "pid";
    auto start = std::chrono::steady_clock::now();
    qm::RunResult r = qm::RunProgram({dir / "hang.sh", pidFile}, 0.5);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, qm::RunStatus::kTimedOut);
    EXPECT_LT(took, std::chrono::seconds(30));
    pid_t child = static_cast<pid_t>(std::atoi(ReadFile(pidFile).c_str()));
    ASSERT_GT(child, 0);
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        // A killed child whose parent is gone may linger as a zombie when
        // nothing reaps it; it runs no longer either way.
        std::string stat = ReadFile("/proc/" + std::to_string(child) + "/stat");
        size_t paren = stat.rfind(')');
        gone = (kill(child, 0) != 0 && errno == ESRCH) ||
               (paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z');
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone) << "the hung program's child " << child << " still runs";
}
