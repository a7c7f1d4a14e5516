// The options job engines build on: outputs laid out as the input tree
// (--mirror-tree), resuming by skipping finished files (--skip-existing),
// a machine-readable line per input (--result-log) and exit statuses that
// tell a retry worth making from an input that will never convert
// (--exit-codes=batch).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "control/result_log.h"
#include "support/test_util.h"

namespace fs = std::filesystem;

namespace {

using qmtest::FileExists;
using qmtest::ReadFile;
using qmtest::RunCli;
using qmtest::ScopedEnv;

using BatchTest = qmtest::IsolatedTest;

// Makes `path` (its folders too) a PDF of `pages` numbered pages.
void MakePdfAt(const std::string& path, int pages) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(pages), path)) << path;
}

std::vector<std::string> Args(std::vector<std::string> options, const std::vector<std::string>& inputs) {
    options.insert(options.end(), inputs.begin(), inputs.end());
    return options;
}

// Two same-named files in different folders of a tree keep apart under
// --mirror-tree, where without it the second is a name collision; a name
// collision inside one mirrored folder is still caught.
TEST_F(BatchTest, MirrorTreeKeepsSameNamedFilesOfDifferentFoldersApart) {
    const std::string root = m_dir / "in";
    MakePdfAt(root + "/a/report.pdf", 1);
    MakePdfAt(root + "/b/c/report.pdf", 2);
    MakePdfAt(root + "/b/c/report.PDF", 3);
    MakePdfAt(root + "/top.pdf", 1);
    const struct {
        const char* name;
        std::vector<std::string> options;
        const char* ext;
    } cases[] = {
        {"rtf", {}, ".rtf"},
        {"doc", {"-f", "doc"}, ".doc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = m_dir / ("out-" + std::string(c.name));
        const auto r = RunCli(
            Args(Args(c.options, {"-o", out, "--mirror-tree", root + "/"}),
                 {root + "/a/report.pdf", root + "/b/c/report.pdf", root + "/top.pdf", root + "/b/c/report.PDF"}));
        EXPECT_EQ(r.status, 1) << r.err;
        const std::string a = ReadFile(out + "/a/report" + c.ext);
        const std::string b = ReadFile(out + "/b/c/report" + c.ext);
        EXPECT_NE(a.find("{Page 1}"), std::string::npos);
        EXPECT_EQ(a.find("{Page 2}"), std::string::npos);
        EXPECT_NE(b.find("{Page 2}"), std::string::npos);
        EXPECT_EQ(b.find("{Page 3}"), std::string::npos) << "the collision replaced the earlier document";
        EXPECT_TRUE(FileExists(out + "/top" + std::string(c.ext)));
        EXPECT_FALSE(FileExists(out + "/report" + std::string(c.ext)));
        EXPECT_EQ(qmtest::CountOccurrences(r.err, "name collision"), 1) << r.err;
        EXPECT_NE(r.err.find(root + "/b/c/report.PDF: name collision: " + root + "/b/c/report.pdf"), std::string::npos)
            << r.err;
    }

    // An input outside the tree has no place in the mirror: nothing runs.
    MakePdfAt(m_dir / "elsewhere/x.pdf", 1);
    const std::string out = m_dir / "out-outside";
    const auto outside = RunCli({"-o", out, "--mirror-tree", root, root + "/top.pdf", m_dir / "in/../elsewhere/x.pdf"});
    EXPECT_EQ(outside.status, 2);
    EXPECT_NE(outside.err.find("elsewhere/x.pdf is not below the --mirror-tree folder " + root), std::string::npos)
        << outside.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(RunCli({"--mirror-tree", m_dir / "no-such-folder", root + "/top.pdf"}).status, 2);
}

// The owner tag "<host>.<pid>" a partial document of a process that has
// ended would carry (the host name as the program writes it).
std::string DeadOwner() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    std::string host;
    for (const char* p = name; *p != '\0' && host.size() < 64; ++p)
        host += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '-';
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return host + "." + std::to_string(pid);
}

// A run killed in a mirrored subfolder leaves its partial there; the next
// run that writes into that folder removes it.
TEST_F(BatchTest, MirrorTreeRemovesDeadRunsPartialsInItsFolders) {
    const std::string root = m_dir / "in";
    MakePdfAt(root + "/deep/er/x.pdf", 1);
    const std::string out = m_dir / "out";
    fs::create_directories(out + "/deep/er");
    const std::string stale = out + "/deep/er/.~x.rtf." + DeadOwner() + ".Ab12Cd";
    qmtest::WriteFile(stale, "partial");
    const auto r = RunCli({"-q", "-o", out, "--mirror-tree", root, root + "/deep/er/x.pdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(FileExists(out + "/deep/er/x.rtf"));
    EXPECT_FALSE(FileExists(stale)) << "the dead run's partial document stayed";
}

// A resumed run converts only what is missing and leaves finished
// documents as they are: same bytes, same file (no rename over it).
TEST_F(BatchTest, SkipExistingLeavesFinishedDocumentsUntouched) {
    const std::string one = Pdf("one.pdf", 1);
    const std::string two = Pdf("two.pdf", 2);
    const std::string out = m_dir / "out";
    ASSERT_EQ(RunCli({"-q", "-o", out, one}).status, 0);
    struct stat before = {};
    ASSERT_EQ(stat((out + "/one.rtf").c_str(), &before), 0);
    const std::string bytes = ReadFile(out + "/one.rtf");

    const auto r = RunCli({"--skip-existing", "-o", out, one, two});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(one + " -> " + out + "/one.rtf (skipped: it exists)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(two + " -> " + out + "/two.rtf\n"), std::string::npos) << r.out;
    struct stat after = {};
    ASSERT_EQ(stat((out + "/one.rtf").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the finished document was replaced";
    EXPECT_EQ(ReadFile(out + "/one.rtf"), bytes);
    EXPECT_NE(ReadFile(out + "/two.rtf").find("{Page 2}"), std::string::npos);

    // A Word run looks for the Word document, not the RTF one.
    const auto doc = RunCli({"--skip-existing", "-f", "doc", "-o", out, one});
    EXPECT_EQ(doc.status, 0) << doc.err;
    EXPECT_EQ(doc.out.find("skipped"), std::string::npos) << doc.out;
    EXPECT_TRUE(FileExists(out + "/one.doc"));
    EXPECT_NE(RunCli({"--skip-existing", "-f", "doc", "-o", out, one}).out.find("(skipped: it exists)"),
              std::string::npos);
    // Pictures have no single finished file to look for.
    EXPECT_EQ(RunCli({"--skip-existing", "-x", "-o", out, one}).status, 2);
}

// Parses every line of a result log as strict JSON with exactly the
// log's fields, and prints "name status reason pages" per line (the name
// JSON-quoted); a line that does not parse ends the script with an error.
const char* kLogChecker = R"(
import json, os, sys
data = open(sys.argv[1], 'rb').read()
assert data.endswith(b'\n'), 'the last line is not ended'
keys = {'input', 'output', 'status', 'reason', 'warnings', 'pages', 'seconds', 'peak_kib'}
for raw in data.split(b'\n')[:-1]:
    d = json.loads(raw.decode('utf-8'))
    assert set(d) == keys, sorted(d)
    assert isinstance(d['warnings'], list) and all(isinstance(w, str) for w in d['warnings'])
    assert isinstance(d['pages'], int) and isinstance(d['peak_kib'], int) and d['peak_kib'] > 0
    assert isinstance(d['seconds'], float) and d['seconds'] >= 0
    print(json.dumps(os.path.basename(d['input'])), d['status'], d['reason'], d['pages'])
)";

// What a log says, through the checker.
std::string CheckedLog(const std::string& log) {
    const auto r = qmtest::Run({"python3", "-c", kLogChecker, log});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

TEST_F(BatchTest, ResultLogHasOneParsableLinePerInput) {
    const std::string good = Pdf("good.pdf", 2);
    const std::string done = Pdf("done.pdf", 1);
    // Made under a plain name: Ghostscript cannot write to every name.
    const std::string odd = m_dir / "odd \"na\\me\" \t r\xe9sum\xc3\xa9\x01.pdf";
    fs::rename(Pdf("plain.pdf", 1), odd);
    qmtest::WriteFile(m_dir / "text.pdf", "this is not a PDF\n");
    fs::create_directories(m_dir / "again");
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(1), m_dir / "again/good.pdf"));
    const std::string out = m_dir / "out";
    ASSERT_EQ(RunCli({"-q", "-o", out, done}).status, 0);

    const std::string log = m_dir / "log.jsonl";
    const auto r = RunCli({"--skip-existing", "-p", "2", "--result-log", log, "-o", out, good, m_dir / "text.pdf", done,
                           m_dir / "again/good.pdf", odd});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(CheckedLog(log),
              "\"good.pdf\" ok None 1\n"
              "\"text.pdf\" failed not_a_pdf 0\n"
              "\"done.pdf\" skipped output_exists 0\n"
              "\"good.pdf\" failed name_collision 0\n"
              "\"odd \\\"na\\\\me\\\" \\t r\\u00e9sum\\u00e9\\u0001.pdf\" failed no_page_selected 0\n");
    // The path comes back with the bytes it was given.
    EXPECT_NE(ReadFile(log).find(JsonString(odd)), std::string::npos);
    EXPECT_NE(ReadFile(log).find("\"output\":" + JsonString(out + "/good.rtf")), std::string::npos);

    // Workers that share a log append to it; standard output carries the
    // lines and nothing else.
    const auto second = RunCli({"--result-log", log, "-o", m_dir / "out2", good});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(qmtest::CountOccurrences(CheckedLog(log), "\n"), 6);
    const auto piped = RunCli({"--result-log", "-", "-o", m_dir / "out3", good, m_dir / "text.pdf"});
    EXPECT_EQ(piped.status, 1);
    qmtest::WriteFile(m_dir / "piped.jsonl", piped.out);
    EXPECT_EQ(CheckedLog(m_dir / "piped.jsonl"), "\"good.pdf\" ok None 2\n\"text.pdf\" failed not_a_pdf 0\n");

    EXPECT_EQ(RunCli({"--result-log", m_dir / "no-such-folder/log", good}).status, 2);
}

// The default statuses stay 0/1/2; --exit-codes=batch adds 75 for a
// failure a retry may not meet, and it wins over a damaged input's 1.
TEST_F(BatchTest, BatchExitCodesTellRetryableFailures) {
    const std::string good = m_dir / "good.pdf";
    // A picture, so that extraction needs Ghostscript.
    ASSERT_TRUE(
        qmtest::MakePdf("%!PS\n/Helvetica findfont 24 scalefont setfont 72 700 moveto (Text) show\n"
                        "gsave 100 100 translate 200 200 scale 2 2 8 [2 0 0 2 0 0]\n"
                        "{<ff000000ff000000ffffffff>} false 3 colorimage grestore showpage\n",
                        good));
    const std::string text = m_dir / "text.pdf";
    qmtest::WriteFile(text, "this is not a PDF\n");
    qmtest::WriteFile(m_dir / "plain-file", "x");
    const std::string unwritable = m_dir / "plain-file/out";
    const std::string out = m_dir / "out";
    const long copyLimit = static_cast<long>(fs::file_size(good)) / 2;
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string gs;  // QUILLMARK_GS for the run, if any
        long fileLimit;  // 0: none
        int standard;
        int batch;
    } cases[] = {
        {"converted", {"-o", out, good}, "", 0, 0, 0},
        {"damaged input", {"-o", out, text, good}, "", 0, 1, 1},
        {"output folder not writable", {"-o", unwritable, good}, "", 0, 1, 75},
        {"unwritable and damaged", {"-o", unwritable, text, good}, "", 0, 1, 75},
        {"Ghostscript missing", {"-x", "-o", out, good}, m_dir / "no-such-gs", 0, 1, 75},
        {"disk full", {"-o", out, good}, "", copyLimit, 1, 75},
        {"bad option value", {"--shard", "3/2", good}, "", 0, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ScopedEnv> gs;
        if (!c.gs.empty()) gs = std::make_unique<ScopedEnv>("QUILLMARK_GS", c.gs);
        for (const bool batch : {false, true}) {
            std::vector<std::string> args = c.args;
            if (batch) args.insert(args.begin(), "--exit-codes=batch");
            const auto r = c.fileLimit > 0 ? qmtest::RunCliWithFileSizeLimit(args, c.fileLimit) : RunCli(args);
            EXPECT_EQ(r.status, batch ? c.batch : c.standard) << (batch ? "batch: " : "standard: ") << r.err;
        }
    }
    EXPECT_EQ(RunCli({"--exit-codes=standard", "-o", out, good}).status, 0);
    EXPECT_EQ(RunCli({"--exit-codes=engine", "-o", out, good}).status, 2);
}

}  // namespace
