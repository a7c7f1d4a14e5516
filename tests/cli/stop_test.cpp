// Stopping the quillmark command the way job engines do (SIGTERM, SIGINT
// without a terminal, SIGKILL): a stopped file leaves no output of its own,
// the earlier document of its name stays, and neither a partial document, a
// workspace nor a Ghostscript process is left behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "support/cli_fixture.h"

namespace fs = std::filesystem;

namespace {

using qmtest::PicturePagesPs;
using qmtest::ScopedEnv;

// Processes (not yet reaped zombies aside) whose process group is `pgid`.
int MembersOfGroup(pid_t pgid) {
    int n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        std::ifstream stat(e.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (comm) state ppid pgrp ...; comm may hold spaces.
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        long ppid = 0, pgrp = 0;
        rest >> state >> ppid >> pgrp;
        if (pgrp == pgid && state != 'Z') ++n;
    }
    return n;
}

// The same once a killed group had a moment to die: SIGKILL is delivered
// to every member at once, but each takes its own moment to end.
int LiveMembersOfGroup(pid_t pgid) {
    for (int i = 0; i < 100; ++i) {
        if (MembersOfGroup(pgid) == 0) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return MembersOfGroup(pgid);
}

struct Stopped {
    bool markerSeen = false;
    int status = -1;
    std::string out;
    std::string err;
    double secondsToEnd = 0;  // from the signal to the end of the program
};

// Runs quillmark with `args`, sends `sig` once its standard error shows
// `marker` (and `ready`, when given, says so), and waits for it to end.
Stopped RunAndSignal(const std::vector<std::string>& args, const std::string& marker, int sig,
                     const std::function<bool()>& ready = {}) {
    Stopped r;
    std::vector<std::string> argv = {QUILLMARK_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    qm::ChildOptions options;
    options.captureOutput = true;
    options.captureErrors = true;
    qm::CChildProcess child;
    if (!child.Start(argv, options)) return r;
    const auto begin = std::chrono::steady_clock::now();
    while (r.err.find(marker) == std::string::npos || (ready && !ready())) {
        if (child.WaitCollecting(&r.out, &r.err, 0.01)) {
            r.status = child.ExitCode();
            return r;
        }
        if (std::chrono::steady_clock::now() - begin > std::chrono::seconds(60)) break;
    }
    r.markerSeen = true;
    const pid_t pid = child.Pid();
    kill(pid, sig);
    const auto signalled = std::chrono::steady_clock::now();
    child.WaitCollecting(&r.out, &r.err, 0);
    r.secondsToEnd = std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    r.status = child.ExitCode();
    return r;
}

class StopTest : public qmtest::CliTest {
protected:
    // The process groups of every Ghostscript the fake one below started.
    std::vector<pid_t> GhostscriptGroups() const {
        std::vector<pid_t> groups;
        std::ifstream in(m_dir / "gs.pids");
        for (long pid; in >> pid;) groups.push_back(static_cast<pid_t>(pid));
        return groups;
    }
    // Files whose names start with ".~" in `dir`: partial documents.
    static std::vector<std::string> Partials(const std::string& dir) {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir, ec))
            if (e.path().filename().string().rfind(".~", 0) == 0) found.push_back(e.path().string());
        return found;
    }
    // A PDF of 30 pages with pictures, and a stand-in for Ghostscript that
    // holds back each command it reads a little, so that the moments of its
    // conversion are far enough apart.
    std::string SlowManual() {
        FakeGhostscript("(while IFS= read -r l; do sleep 0.02; printf '%s\\n' \"$l\"; done) | gs \"$@\"\n");
        fs::create_directories(m_out);
        return PdfAt(m_dir / "manual.pdf", 0, PicturePagesPs(30));
    }
    // A stand-in for Ghostscript that notes its process group and runs
    // `body` (which may use gs itself).
    void FakeGhostscript(const std::string& body) {
        qmtest::WriteScript(m_dir / "fake-gs", "echo $$ >> '" + (m_dir / "gs.pids") + "'\n" + body);
    }
};

// Each moment of a conversion at which an engine may stop it; a stop must
// never leave a cut-off document under the final name, nor a reported
// success.
TEST_F(StopTest, StoppedFileLeavesNothingAndKeepsTheEarlierDocument) {
    const std::string pdf = SlowManual(), next = Pdf("next.pdf", 1), out = m_out + "/manual";
    ScopedEnv gs("QUILLMARK_GS", m_dir / "fake-gs");
    const struct {
        const char* moment;
        std::string marker;
        int signal;
        int status;
        bool keepPartial = false;
    } cases[] = {
        {"reading the text", "Reading text content from pdf started.", SIGTERM, 143},
        {"first page", "Conversion of <1> page started.", SIGTERM, 143},
        {"rendering a picture", "Processing #3 page...(Filtering image #1)", SIGTERM, 143},
        {"late page", "Conversion of <25> page started.", SIGTERM, 143},
        // Without a terminal, SIGINT is an engine's stop too.
        {"first page, SIGINT", "Conversion of <1> page started.", SIGINT, 130},
        {"late page, SIGINT", "Conversion of <20> page started.", SIGINT, 130},
        // --keep-partial is for a user at a terminal, never for an engine.
        {"--keep-partial without a terminal", "Conversion of <5> page started.", SIGINT, 130, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.moment);
        const std::string earlier = Earlier("manual");
        std::error_code ec;
        fs::remove(m_dir / "gs.pids", ec);
        std::vector<std::string> args = {"-v", "-o", out, pdf, next};
        if (c.keepPartial) args.insert(args.begin(), "--keep-partial");
        const Stopped r = RunAndSignal(args, c.marker, c.signal);
        ASSERT_TRUE(r.markerSeen) << "ended before the moment: " << r.err;
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_LT(r.secondsToEnd, 5.0);
        EXPECT_NE(r.err.find(pdf + ": stopped, no document written"), std::string::npos) << r.err;
        // The file after it is reported, and not touched: no next.rtf, no partial.
        EXPECT_NE(r.err.find(next + ": not converted"), std::string::npos) << r.err;
        ExpectKeptAlone(earlier);
        EXPECT_EQ(r.out.find("->"), std::string::npos) << r.out;
        EXPECT_TRUE(qmtest::Workspaces(m_tmp.path()).empty());
        for (pid_t group : GhostscriptGroups()) EXPECT_EQ(LiveMembersOfGroup(group), 0) << "Ghostscript left running";
    }
    // Unstopped, the same run replaces the earlier document.
    const auto r = qmtest::RunCli({"-q", "-o", out, pdf, next});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(qmtest::ReadFile(out + "/manual.rtf").find("Page 30"), std::string::npos);
}

// A stop while the conversion waits for a Ghostscript that never answers
// must not wait for the render time-out. SIGKILL cannot be caught: the
// kernel must end Ghostscript with the conversion, which ran it in a process
// group of its own where no kill of the conversion's group reaches it.
TEST_F(StopTest, StopDoesNotWaitForAHungGhostscriptNorLeaveIt) {
    const std::string pdf = PdfAt(m_dir / "pictures.pdf", 0, PicturePagesPs(2));
    FakeGhostscript("exec sleep 300\n");
    ScopedEnv gs("QUILLMARK_GS", m_dir / "fake-gs");
    ScopedEnv timeout("QUILLMARK_GS_TIMEOUT", "200");
    fs::create_directories(m_out);
    for (const auto& [sig, status] : {std::pair{SIGTERM, 143}, std::pair{SIGKILL, -1}}) {
        SCOPED_TRACE(sig);
        std::error_code ec;
        fs::remove(m_dir / "gs.pids", ec);
        qmtest::WriteFile(m_out + "/pictures.rtf", "earlier document");
        // Signalled once the fake Ghostscript runs.
        const Stopped r = RunAndSignal({"-v", "-o", m_out, pdf}, "Processing #1 page...(Filtering image #1)", sig,
                                       [this] { return !GhostscriptGroups().empty(); });
        ASSERT_TRUE(r.markerSeen) << r.err;
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_LT(r.secondsToEnd, 5.0);
        EXPECT_TRUE(qmtest::ReadFile(m_out + "/pictures.rtf") == "earlier document");
        ASSERT_FALSE(GhostscriptGroups().empty()) << "the fake Ghostscript was not started";
        for (pid_t group : GhostscriptGroups()) EXPECT_EQ(LiveMembersOfGroup(group), 0) << "Ghostscript left running";
        if (sig == SIGTERM) {
            EXPECT_TRUE(Partials(m_out).empty());
        }
        // What the killed run left is the next run's to clear (or the test's).
        for (const auto& ws : qmtest::Workspaces(m_tmp.path())) fs::remove_all(ws, ec);
        for (const auto& partial : Partials(m_out)) fs::remove(partial, ec);
    }
}

// A run killed with SIGKILL cannot clean up: its partial document and its
// workspace stay, named after their owner. The next run in those folders
// removes them, and only them: leftovers of a live process, of another host
// sharing the folder, and names without an owner stay.
TEST_F(StopTest, NextRunRemovesTheLeftoversOfAKilledRun) {
    const std::string pdf = SlowManual(), next = Pdf("next.pdf", 1);
    const std::string& out = m_out;
    ScopedEnv gs("QUILLMARK_GS", m_dir / "fake-gs");
    qmtest::WriteFile(out + "/manual.rtf", "earlier document");
    const Stopped r = RunAndSignal({"-v", "-o", out, pdf}, "Conversion of <3> page started.", SIGKILL);
    ASSERT_TRUE(r.markerSeen) << r.err;
    EXPECT_TRUE(qmtest::ReadFile(out + "/manual.rtf") == "earlier document");
    const std::vector<std::string> partials = Partials(out);
    const std::vector<std::string> workspaces = qmtest::Workspaces(m_tmp.path());
    ASSERT_EQ(partials.size(), 1u);
    ASSERT_EQ(workspaces.size(), 1u);
    for (pid_t group : GhostscriptGroups()) EXPECT_EQ(LiveMembersOfGroup(group), 0) << "Ghostscript outlived it";

    // Their names tell their owner "<host>.<pid>": ".~manual.rtf.<owner>.XXXXXX"
    // and "quillmark-<owner>-XXXXXX". Planted beside them: the same names
    // with other owners.
    const std::string partialName = fs::path(partials[0]).filename().string();
    const std::string workspaceName = fs::path(workspaces[0]).filename().string();
    const std::string owner = partialName.substr(13, partialName.size() - 20);
    EXPECT_EQ(workspaceName.substr(10, workspaceName.size() - 17), owner);
    const std::string dead = qmtest::DeadOwner();
    ASSERT_EQ(owner.substr(0, owner.find_last_of('.')), dead.substr(0, dead.find_last_of('.'))) << partialName;
    auto withOwner = [&](std::string name, const std::string& tag) {
        return name.replace(name.size() - 7 - owner.size(), owner.size(), tag);
    };
    const struct {
        const char* owner;
        std::string tag;
        bool removed;
    } cases[] = {
        {"dead process of this host", dead, true},
        {"live process", owner.substr(0, owner.find_last_of('.') + 1) + std::to_string(getpid()), false},
        {"other host", "elsewhere" + dead.substr(dead.find_last_of('.')), false},
    };
    std::vector<std::pair<std::string, bool>> planted;
    for (const auto& c : cases) {
        const std::string p = out + "/" + withOwner(partialName, c.tag);
        const std::string w = m_tmp / withOwner(workspaceName, c.tag);
        qmtest::WriteFile(p, "partial");
        fs::create_directories(w + "/tmpd");
        planted.push_back({p, c.removed});
        planted.push_back({w, c.removed});
    }
    // Names without an owner, as older runs made them.
    qmtest::WriteFile(out + "/.~manual.rtf.Ab12Cd", "partial");
    fs::create_directories(m_tmp / "quillmark-Ab12Cd");
    planted.push_back({out + "/.~manual.rtf.Ab12Cd", false});
    planted.push_back({m_tmp / "quillmark-Ab12Cd", false});

    const auto again = qmtest::RunCli({"-q", "-o", out, next});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_FALSE(qmtest::FileExists(partials[0])) << "the killed run's partial document stayed";
    EXPECT_FALSE(qmtest::FileExists(workspaces[0])) << "the killed run's workspace stayed";
    for (const auto& [path, removed] : planted) EXPECT_EQ(qmtest::FileExists(path), !removed) << path;
    EXPECT_TRUE(qmtest::ReadFile(out + "/manual.rtf") == "earlier document");
    std::error_code ec;
    for (const auto& ws : qmtest::Workspaces(m_tmp.path())) fs::remove_all(ws, ec);
}

}  // namespace
