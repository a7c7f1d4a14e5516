// A job engine stops conversions at any moment (SIGTERM, then SIGKILL) and
// runs them again with --skip-existing: whatever the moment, no document is
// cut short, lost or made twice, the result log ends with one line per
// input, and nothing of the stopped run (partial document, workspace,
// Ghostscript) is left once the resumed run is done.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "support/cli_fixture.h"

namespace fs = std::filesystem;

namespace {

using qmtest::ReadFile;

// The lines of a result log as (input's file name, status), in order; a
// line that is not whole JSON fails the test.
std::vector<std::pair<std::string, std::string>> LogLines(const std::string& log) {
    const char* script = R"(
import json, os, sys
for raw in open(sys.argv[1], 'rb').read().split(b'\n')[:-1]:
    d = json.loads(raw.decode('utf-8'))
    print(os.path.basename(d['input']), d['status'])
)";
    std::vector<std::pair<std::string, std::string>> lines;
    if (!qmtest::FileExists(log)) return lines;
    const auto r = qmtest::Run({"python3", "-c", script, log});
    EXPECT_EQ(r.status, 0) << "a line of the log is not whole: " << r.err;
    std::istringstream in(r.out);
    for (std::string name, status; in >> name >> status;) lines.emplace_back(name, status);
    return lines;
}

// Whether process `pid` has ended (gone, or a zombie nobody reaped yet).
bool Ended(long pid) {
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
    if (!fs::exists(stat)) return true;
    const std::string line = ReadFile(stat);
    const auto close = line.rfind(')');
    return close == std::string::npos || line.size() <= close + 2 || line[close + 2] == 'Z';
}

class ResumeTest : public qmtest::CliTest {
protected:
    // Waits until the owners of the leftovers in `out` and of the
    // workspaces have ended. Workers die with their run, but the kernel
    // ends them a moment after it; an engine restarts far later.
    void WaitForOwnersOfLeftovers(const std::string& out) const {
        std::vector<long> owners;
        std::error_code ec;
        for (const std::string& dir : {out, m_tmp.path()}) {
            for (const auto& e : fs::directory_iterator(dir, ec)) {
                // ".~NAME.<host>.<pid>.XXXXXX" and "quillmark-<host>.<pid>-XXXXXX"
                const std::string name = e.path().filename().string();
                if (name.rfind(".~", 0) != 0 && name.rfind("quillmark-", 0) != 0) continue;
                const std::string head = name.substr(0, name.size() - 7);
                owners.push_back(std::atol(head.substr(head.find_last_of('.') + 1).c_str()));
            }
        }
        for (long pid : owners)
            for (int i = 0; i < 250 && pid > 0 && !Ended(pid); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Ghostscript's processes that are still alive, from the notes of the
    // stand-in that runs the real one.
    int LiveGhostscripts() const {
        int live = 0;
        std::ifstream in(m_dir / "gs.pids");
        for (long pid; in >> pid;)
            if (!Ended(pid)) ++live;
        return live;
    }
};

TEST_F(ResumeTest, StoppedAtRandomMomentsAndResumedLeavesEveryDocumentWhole) {
    const std::vector<std::string> files = {
        PdfAt(m_dir / "pics2.pdf", 0, qmtest::PicturePagesPs(2)), Pdf("text3.pdf", 3),
        PdfAt(m_dir / "pics1.pdf", 0, qmtest::PicturePagesPs(1)), Pdf("text1.pdf", 1)};
    const std::vector<std::string> names = {"pics2", "text3", "pics1", "text1"};
    qmtest::WriteScript(m_dir / "fake-gs", "echo $$ >> '" + (m_dir / "gs.pids") + "'\nexec gs \"$@\"\n");
    qmtest::ScopedEnv gs("QUILLMARK_GS", m_dir / "fake-gs");

    // What an unstopped run makes, and how long it takes.
    const std::string clean = m_dir / "clean";
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(qmtest::RunCli(qmtest::Args({"-q", "-o", clean}, files)).status, 0);
    const double cleanSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("an unstopped run takes %.2f s\n", cleanSeconds);
    std::map<std::string, std::string> expected;
    for (const auto& name : names) expected[name] = ReadFile(clean + "/" + name + ".rtf");

    // Moments drawn from a fixed seed, so that a failure can be replayed;
    // a few fall before the run has even begun its first file.
    std::mt19937 random(20261206);
    std::uniform_real_distribution<double> moment(0.0, cleanSeconds);
    int trial = 0;
    for (const int sig : {SIGTERM, SIGKILL}) {
        for (const char* jobs : {"", "2", "2"}) {
            const double delay = moment(random);
            SCOPED_TRACE("signal " + std::to_string(sig) + " --jobs '" + jobs + "' after " + std::to_string(delay) +
                         " s");
            const std::string out = m_dir / ("out" + std::to_string(++trial));
            const std::string log = out + ".jsonl";
            // An earlier document of the first file is in place.
            const std::string earlier = Earlier("pics2");
            fs::rename(earlier, m_out + "/pics2.rtf.earlier");
            fs::create_directories(out);
            fs::rename(m_out + "/pics2.rtf.earlier", out + "/pics2.rtf");
            std::vector<std::string> options = {"-q", "--result-log", log, "-o", out};
            if (*jobs != '\0') options.insert(options.end(), {"--jobs", jobs});

            std::vector<std::string> argv = qmtest::Args(qmtest::Args({QUILLMARK_CLI}, options), files);
            qm::CChildProcess run;
            ASSERT_TRUE(run.Start(argv));
            if (!run.Wait(delay)) {
                kill(run.Pid(), sig);
                ASSERT_TRUE(run.Wait(10.0)) << "the stopped run did not end";
            }
            const auto stoppedLines = LogLines(log);
            WaitForOwnersOfLeftovers(out);

            const auto resumed = qmtest::RunCli(qmtest::Args(qmtest::Args({"--skip-existing"}, options), files));
            EXPECT_EQ(resumed.status, 0) << resumed.err;

            // Each document is whole: the earlier one kept, or the bytes of
            // an unstopped run; nothing else is in the folder.
            for (const auto& name : names) {
                const std::string bytes = ReadFile(out + "/" + name + ".rtf");
                const bool kept = name == "pics2" && bytes == qmtest::kEarlierDocument;
                EXPECT_TRUE(kept || bytes == expected[name]) << name << ".rtf is cut short or lost";
            }
            EXPECT_EQ(Entries(out), static_cast<int>(names.size())) << "a partial document was left";
            // The stopped run wrote at most one line per input; the resumed
            // one exactly one, and it is final: ok or skipped.
            std::map<std::string, int> stoppedCount, finalCount;
            for (const auto& [name, status] : stoppedLines) ++stoppedCount[name];
            const auto all = LogLines(log);
            ASSERT_EQ(all.size(), stoppedLines.size() + names.size());
            for (size_t i = stoppedLines.size(); i < all.size(); ++i) {
                ++finalCount[all[i].first];
                EXPECT_TRUE(all[i].second == "ok" || all[i].second == "skipped") << all[i].first;
            }
            for (const auto& name : names) {
                EXPECT_LE(stoppedCount[name + ".pdf"], 1) << name;
                EXPECT_EQ(finalCount[name + ".pdf"], 1) << name;
            }
            EXPECT_TRUE(qmtest::Workspaces(m_tmp.path()).empty()) << "a workspace was left";
            EXPECT_EQ(LiveGhostscripts(), 0) << "Ghostscript outlived the run";
        }
    }
}

}  // namespace
