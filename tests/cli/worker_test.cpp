// Files converted in worker processes (--jobs, --timeout, --max-memory):
// the same documents as one at a time in the run's own process, a name
// claimed once across workers, and a poison file that costs at most its
// limits while the files after it convert.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/process.h"
#include "support/cli_fixture.h"

namespace fs = std::filesystem;

namespace {

using qmtest::PicturePagesPs;
using qmtest::ReadFile;
using qmtest::RunCli;

// Every file below `dir` by its path relative to it, with its bytes.
std::vector<std::pair<std::string, std::string>> Tree(const std::string& dir) {
    std::vector<std::pair<std::string, std::string>> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file()) files.emplace_back(fs::relative(e.path(), dir).string(), ReadFile(e.path()));
    std::sort(files.begin(), files.end());
    return files;
}

// "name status reason" of every line of a result log, sorted (workers end
// in any order).
std::string LogSummary(const std::string& log) {
    const char* script = R"(
import json, os, sys
rows = []
for raw in open(sys.argv[1], 'rb').read().split(b'\n')[:-1]:
    d = json.loads(raw.decode('utf-8'))
    assert d['peak_kib'] > 0 and d['seconds'] >= 0
    rows.append('%s %s %s' % (os.path.basename(d['input']), d['status'], d['reason']))
print('\n'.join(sorted(rows)))
)";
    const auto r = qmtest::Run({"python3", "-c", script, log});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

using WorkerTest = qmtest::CliTest;

// Each worker starts as a copy of a run that converted nothing and ends
// with its file: whatever the order and the number of workers, the bytes
// are those of the run's own process, pictures included.
TEST_F(WorkerTest, JobsMakeTheSameDocumentsAsOneProcess) {
    std::vector<std::string> files;
    for (int i = 1; i <= 5; ++i) {
        files.push_back(i % 2 != 0 ? PdfAt(m_dir / ("p" + std::to_string(i) + ".pdf"), 0, PicturePagesPs(i))
                                   : Pdf("t" + std::to_string(i) + ".pdf", i));
    }
    // a/t2.pdf collides with t2.pdf, which comes first in the list and
    // keeps the name whichever worker is quicker.
    files.push_back(PdfAt(m_dir / "a/t2.pdf", 7));
    const struct {
        const char* name;
        std::vector<std::string> options;
        const char* layout;
    } runs[] = {
        {"own process", {}, "flowing"},
        {"one worker", {"--jobs", "1"}, "flowing"},
        {"two workers", {"-j", "2"}, "flowing"},
        {"four workers, limits", {"-j4", "--timeout", "60", "--max-memory", "1024"}, "flowing"},
        {"own process, exact", {}, "exact"},
        {"three workers, exact", {"--jobs=3"}, "exact"},
    };
    std::vector<std::pair<std::string, std::string>> expected[2];
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        const std::string out = m_dir / ("out-" + std::string(run.name));
        const std::string log = out + ".jsonl";
        const auto r = RunCli(
            qmtest::Args(qmtest::Args({"-q", "-l", run.layout, "-o", out, "--result-log", log}, run.options), files));
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(qmtest::CountOccurrences(r.err, "name collision"), 1) << r.err;
        EXPECT_NE(r.err.find(m_dir / "a/t2.pdf: name collision: " + m_dir / "t2.pdf"), std::string::npos) << r.err;
        EXPECT_EQ(LogSummary(log),
                  "p1.pdf ok None\np3.pdf ok None\np5.pdf ok None\nt2.pdf failed name_collision\nt2.pdf ok None\n"
                  "t4.pdf ok None\n");
        auto& want = expected[std::string(run.layout) == "exact" ? 1 : 0];
        const auto tree = Tree(out);
        ASSERT_EQ(tree.size(), 5u);
        if (want.empty()) want = tree;
        for (size_t i = 0; i < tree.size(); ++i) {
            EXPECT_EQ(tree[i].first, want[i].first);
            EXPECT_TRUE(tree[i].second == want[i].second) << tree[i].first << " differs";
        }
    }
    EXPECT_NE(expected[0][0].second.find("\\pict"), std::string::npos) << "no picture was converted";
}

// Writes a PDF whose one page shows a string of `bytes` letters: a small
// file that the PDF core needs hundreds of MiB to read.
void MemoryBomb(const std::string& path, long bytes) {
    const char* script = R"(
import sys, zlib
content = b'BT /F1 12 Tf 72 700 Td (' + b'A' * int(sys.argv[2]) + b') Tj ET'
data = zlib.compress(content, 1)
objs = [b'<< /Type /Catalog /Pages 2 0 R >>', b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
        b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >> '
        b'/Contents 4 0 R >>',
        b'<< /Length %d /Filter /FlateDecode >>\nstream\n' % len(data) + data + b'\nendstream',
        b'<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>']
out = bytearray(b'%PDF-1.4\n')
offsets = []
for i, o in enumerate(objs):
    offsets.append(len(out))
    out += b'%d 0 obj\n' % (i + 1) + o + b'\nendobj\n'
xref = len(out)
out += b'xref\n0 %d\n0000000000 65535 f \n' % (len(objs) + 1)
for o in offsets: out += b'%010d 00000 n \n' % o
out += b'trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n' % (len(objs) + 1, xref)
open(sys.argv[1], 'wb').write(out)
)";
    const auto r = qmtest::Run({"python3", "-c", script, path, std::to_string(bytes)});
    ASSERT_EQ(r.status, 0) << r.err;
}

// A PDF whose picture Ghostscript never finishes, and one that needs more
// memory than allowed, each end within their limits with their own status
// in the log, taking their Ghostscript, partial document and workspace
// along; the files after them convert, one or two at a time.
TEST_F(WorkerTest, PoisonFilesCostAtMostTheirLimits) {
    const std::string hang = PdfAt(m_dir / "hang.pdf", 0, PicturePagesPs(2));
    const std::string bomb = m_dir / "bomb.pdf";
    MemoryBomb(bomb, 40000000);
    const std::string after1 = Pdf("after1.pdf", 2), after2 = Pdf("after2.pdf", 3);
    // Ghostscript stands in as a program that notes its process group and
    // never answers; only the picture PDF starts it.
    qmtest::WriteScript(m_dir / "fake-gs", "echo $$ >> '" + (m_dir / "gs.pids") + "'\nexec sleep 300\n");
    qmtest::ScopedEnv gs("QUILLMARK_GS", m_dir / "fake-gs");
    qmtest::ScopedEnv renderTimeout("QUILLMARK_GS_TIMEOUT", "300");
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        const std::string out = m_dir / (std::string("out") + jobs);
        const std::string earlier = out + "/hang.rtf";
        fs::create_directories(out);
        qmtest::WriteFile(earlier, qmtest::kEarlierDocument);
        const std::string log = out + ".jsonl";
        const auto begin = std::chrono::steady_clock::now();
        const auto r = RunCli({"--jobs", jobs, "--timeout", "2", "--max-memory", "64", "--exit-codes=batch",
                               "--result-log", log, "-o", out, hang, bomb, after1, after2});
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        // The time-out wins over the plain failure under batch exit codes.
        EXPECT_EQ(r.status, 124) << r.err;
        EXPECT_LT(seconds, 8.0) << "a poison file cost more than its time limit";
        EXPECT_EQ(
            LogSummary(log),
            "after1.pdf ok None\nafter2.pdf ok None\nbomb.pdf failed memory_limit\nhang.pdf timeout time_limit\n");
        EXPECT_NE(r.err.find(hang + ": it ran past the time limit (--timeout)"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(bomb + ": it needed more memory than the limit allows (--max-memory)"), std::string::npos)
            << r.err;
        EXPECT_NE(ReadFile(out + "/after2.rtf").find("{Page 3}"), std::string::npos);
        // Killed outright, the worker left its partial document; the run
        // removed it once the worker was gone.
        EXPECT_EQ(ReadFile(earlier), qmtest::kEarlierDocument);
        EXPECT_EQ(Entries(out), 3) << "left beside the documents";
        EXPECT_TRUE(qmtest::Workspaces(m_tmp.path()).empty());
        std::ifstream pids(m_dir / "gs.pids");
        int started = 0;
        for (long pid; pids >> pid; ++started)
            EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid) + "/cmdline") &&
                         ReadFile("/proc/" + std::to_string(pid) + "/cmdline").rfind("sleep", 0) == 0)
                << "Ghostscript outlived its file";
        EXPECT_GE(started, 1) << "the fake Ghostscript never ran";
        fs::remove(m_dir / "gs.pids");
    }
    // (Without a limit the bomb converts, taking about 480 MiB and many
    // seconds: too long for a test.)
}

// A stop of the run reaches its workers: each abandons its file as the
// run's own process would, the files not begun are reported as such, and
// the stop is announced once.
TEST_F(WorkerTest, StopOfTheRunStopsEveryWorker) {
    // Ghostscript holds back each command a little, so that the files are
    // still under way when the stop comes.
    qmtest::WriteScript(m_dir / "slow-gs",
                        "(while IFS= read -r l; do sleep 0.02; printf '%s\\n' \"$l\"; done) | gs \"$@\"\n");
    qmtest::ScopedEnv gs("QUILLMARK_GS", m_dir / "slow-gs");
    std::vector<std::string> files;
    for (const char* name : {"a", "b", "c", "d"})
        files.push_back(PdfAt(m_dir / (std::string(name) + ".pdf"), 0, PicturePagesPs(20)));
    const std::string earlier = Earlier("a");
    const std::string out = fs::path(earlier).parent_path();
    qm::ChildOptions options;
    options.captureOutput = options.captureErrors = true;
    qm::CChildProcess run;
    ASSERT_TRUE(run.Start(qmtest::Args({QUILLMARK_CLI, "-v", "-j", "2", "-o", out}, files), options));
    std::string output, errors;
    // Both workers are under way once each has begun its second page.
    const auto begin = std::chrono::steady_clock::now();
    while (qmtest::CountOccurrences(errors, "Conversion of <2> page started.") < 2 &&
           std::chrono::steady_clock::now() - begin < std::chrono::seconds(60))
        ASSERT_FALSE(run.WaitCollecting(&output, &errors, 0.01)) << "ended before the stop: " << errors;
    kill(run.Pid(), SIGTERM);
    ASSERT_TRUE(run.WaitCollecting(&output, &errors, 10.0));
    EXPECT_EQ(run.ExitCode(), 143) << errors;
    EXPECT_EQ(qmtest::CountOccurrences(errors, "stopping now"), 1) << errors;
    EXPECT_EQ(qmtest::CountOccurrences(errors, ": stopped, no document written"), 2) << errors;
    EXPECT_EQ(qmtest::CountOccurrences(errors, ": not converted (cancelled)"), 2) << errors;
    ExpectKeptAlone(earlier);
    EXPECT_TRUE(qmtest::Workspaces(m_tmp.path()).empty());
}

TEST_F(WorkerTest, LimitsAreCheckedAsUsage) {
    const std::string pdf = Pdf("one.pdf", 1);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--jobs", "0"},
                                                {"-j", "x"},
                                                {"--jobs", "2000"},
                                                {"--timeout", "0"},
                                                {"--timeout", "-1"},
                                                {"--timeout", "1s"},
                                                {"--max-memory", "0"},
                                                {"--max-memory", "64M"}}) {
        const auto r = RunCli(qmtest::Args(bad, {pdf}));
        EXPECT_EQ(r.status, 2) << bad[0] << " " << bad[1];
        EXPECT_NE(r.err.find(bad[0].substr(0, 5)), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunCli({"-q", "--timeout", "0.5e2", "-o", m_out, pdf}).status, 0);
}

}  // namespace
