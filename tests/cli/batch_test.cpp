// The options job engines build on: outputs laid out as the input tree
// (--mirror-tree), resuming by skipping finished files (--skip-existing),
// and a machine-readable line per input (--result-log). The exit statuses
// of --exit-codes=batch are checked where each failure is made: in the
// bad-input tests, and usage errors with the other usage errors.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "control/result_log.h"
#include "support/cli_fixture.h"

namespace fs = std::filesystem;

namespace {

using qmtest::FileExists;
using qmtest::ReadFile;
using qmtest::RunCli;

using BatchTest = qmtest::CliTest;

// Two same-named files in different folders of a tree keep apart under
// --mirror-tree, where without it the second is a name collision; a name
// collision inside one mirrored folder is still caught. A partial left in
// a mirrored subfolder by a killed run is removed by the next run there.
TEST_F(BatchTest, MirrorTreeKeepsSameNamedFilesOfDifferentFoldersApart) {
    const std::string root = m_dir / "in";
    const std::string one = PdfAt(root + "/a/report.pdf", 1);
    PdfAt(root + "/b/c/report.pdf", 2);
    PdfAt(root + "/b/c/report.PDF", 3);
    fs::copy_file(one, root + "/top.pdf");
    const std::string out = m_out;
    fs::create_directories(out + "/b/c");
    const std::string stale = out + "/b/c/.~report.rtf." + qmtest::DeadOwner() + ".Ab12Cd";
    qmtest::WriteFile(stale, "partial");
    const auto r = RunCli({"-o", out, "--mirror-tree", root + "/", root + "/a/report.pdf", root + "/b/c/report.pdf",
                           root + "/top.pdf", root + "/b/c/report.PDF"});
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string a = ReadFile(out + "/a/report.rtf");
    const std::string b = ReadFile(out + "/b/c/report.rtf");
    EXPECT_NE(a.find("{Page 1}"), std::string::npos);
    EXPECT_EQ(a.find("{Page 2}"), std::string::npos);
    EXPECT_NE(b.find("{Page 2}"), std::string::npos);
    EXPECT_EQ(b.find("{Page 3}"), std::string::npos) << "the collision replaced the earlier document";
    EXPECT_TRUE(FileExists(out + "/top.rtf"));
    EXPECT_FALSE(FileExists(out + "/report.rtf"));
    EXPECT_EQ(qmtest::CountOccurrences(r.err, "name collision"), 1) << r.err;
    EXPECT_NE(r.err.find(root + "/b/c/report.PDF: name collision: " + root + "/b/c/report.pdf"), std::string::npos)
        << r.err;
    EXPECT_FALSE(FileExists(stale)) << "the dead run's partial document stayed";

    // An input outside the tree has no place in the mirror: nothing runs.
    fs::create_directories(m_dir / "elsewhere");
    fs::copy_file(one, m_dir / "elsewhere/x.pdf");
    const std::string outside = m_dir / "out-outside";
    const auto o = RunCli({"-o", outside, "--mirror-tree", root, root + "/top.pdf", m_dir / "in/../elsewhere/x.pdf"});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("elsewhere/x.pdf is not below the --mirror-tree folder " + root), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_EQ(RunCli({"--mirror-tree", m_dir / "no-such-folder", root + "/top.pdf"}).status, 2);
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
    fs::copy_file(done, m_dir / "again/good.pdf");
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

}  // namespace
