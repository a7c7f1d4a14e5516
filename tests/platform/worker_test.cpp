// Worker processes: the report comes through whole, a worker can be killed
// at any moment and reaped with its end, its memory limit holds (for the
// programs it starts too), and it dies with its caller.
#include "platform/worker.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"

namespace {

// Reads the worker's whole report.
std::string ReadAll(qm::CWorkerProcess& worker) {
    std::string report;
    while (worker.ReadReport(report)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return report;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

TEST(Worker, ReportAndExitStatusComeBack) {
    // More than a pipe holds: the worker blocks until it is read.
    const std::string big(300000, 'r');
    qm::CWorkerProcess worker;
    ASSERT_TRUE(worker.Start([&](int fd) { return WriteAll(fd, big) ? 7 : 1; }));
    EXPECT_EQ(ReadAll(worker), big);
    worker.Reap();
    EXPECT_EQ(worker.ExitCode(), 7);
    EXPECT_EQ(worker.TermSignal(), 0);
    EXPECT_GT(worker.PeakKiB(), 0);
}

TEST(Worker, KilledAtAnyMomentAndEndsOfItsOwn) {
    const struct {
        const char* name;
        int (*work)(int);
        int exitCode;
        int signal;
    } cases[] = {
        {"hangs",
         [](int) -> int {
             for (;;) pause();
         },
         -1, SIGKILL},
        {"crashes",
         [](int) {
             raise(SIGSEGV);
             return 0;
         },
         -1, SIGSEGV},
        {"runs out of memory",
         [](int) -> int {
             std::vector<std::vector<char>> hog;
             for (;;) hog.emplace_back(64 << 20, 'x');
         },
         qm::kWorkerOutOfMemory, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.exitCode == qm::kWorkerOutOfMemory && !qm::MemoryLimitsAvailable()) continue;
        qm::CWorkerProcess worker;
        ASSERT_TRUE(worker.Start(c.work, 256LL << 20));
        std::string report;
        const auto begin = std::chrono::steady_clock::now();
        while (worker.ReadReport(report) && std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(300))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (c.signal == SIGKILL) worker.Kill();
        else worker.Reap();
        EXPECT_TRUE(worker.Reaped());
        EXPECT_EQ(worker.ExitCode(), c.exitCode);
        // Under AddressSanitizer its own handler reports the fault and aborts.
        const bool sanitizedCrash = c.signal == SIGSEGV && !qm::MemoryLimitsAvailable();
        if (sanitizedCrash) EXPECT_EQ(worker.TermSignal(), SIGABRT);
        else EXPECT_EQ(worker.TermSignal(), c.signal);
        EXPECT_TRUE(report.empty());
    }
}

// The limit is the worker's and that of every program it starts: a
// Ghostscript started by a worker can map no more than it.
TEST(Worker, ProgramsItStartsInheritTheMemoryLimit) {
    if (!qm::MemoryLimitsAvailable()) GTEST_SKIP() << "no address-space cap in this build";
    qm::CWorkerProcess worker;
    ASSERT_TRUE(worker.Start(
        [](int) {
            const auto r = qm::RunProgram({"python3", "-c", "bytearray(400 << 20)"}, 30);
            return r.status == qm::RunStatus::kFinished ? r.exitCode : 99;
        },
        256LL << 20));
    ReadAll(worker);
    worker.Reap();
    EXPECT_EQ(worker.ExitCode(), 1) << "python3 got its 400 MiB under a 256 MiB limit";
}

// Killed outright, a caller takes its workers along.
TEST(Worker, DiesWithItsCaller) {
    int pids[2];
    ASSERT_EQ(pipe(pids), 0);
    const pid_t caller = fork();
    if (caller == 0) {
        qm::CWorkerProcess worker;
        worker.Start([](int) -> int {
            for (;;) pause();
        });
        const pid_t pid = worker.Pid();
        if (write(pids[1], &pid, sizeof pid) != sizeof pid) _exit(1);
        for (;;) pause();
    }
    close(pids[1]);
    pid_t worker = 0;
    ASSERT_EQ(read(pids[0], &worker, sizeof worker), static_cast<ssize_t>(sizeof worker));
    close(pids[0]);
    kill(caller, SIGKILL);
    waitpid(caller, nullptr, 0);
    // The worker, reparented, is reaped by whoever adopts it; it is gone
    // once signal 0 finds no process or a zombie's stat says so.
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        std::string stat;
        if (FILE* f = std::fopen(("/proc/" + std::to_string(worker) + "/stat").c_str(), "r")) {
            char buf[512] = {};
            stat = std::fgets(buf, sizeof buf, f) != nullptr ? buf : "";
            std::fclose(f);
        }
        const auto close = stat.rfind(')');
        gone = stat.empty() || (close != std::string::npos && stat.size() > close + 2 && stat[close + 2] == 'Z');
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone) << "the worker outlived its caller";
}

}  // namespace
