// The quillmark command as users run it: exit statuses, messages, names.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/process.h"
#include "support/cli_fixture.h"

namespace {

using qmtest::RunCli;

using qmtest::CliTest;

TEST_F(CliTest, ConvertsSelectedPagesVerbosely) {
    const std::string pdf = Pdf("ten.pdf", 10);
    // Past the hundredth number of a list the pages still count.
    std::string list;
    for (int p = 101; p <= 200; ++p) list += std::to_string(p) + ",";
    auto r = RunCli({"-v", "-p", list + "3,7", "-o", m_dir.path() + "/out/", pdf});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(qmtest::CountOccurrences(r.err, "page started."), 2);
    EXPECT_NE(r.err.find("Conversion of <3> page started."), std::string::npos);
    EXPECT_NE(r.err.find("Conversion of <7> page started."), std::string::npos);
    EXPECT_NE(r.out.find(m_dir.path() + "/out/ten.rtf"), std::string::npos);
    // A complete document: its header, one page break, CR LF line ends.
    const std::string rtf = qmtest::ReadFile(m_dir.path() + "/out/ten.rtf");
    const std::string header = "{\\rtf\\ansi\\deff0\\ansicpg1252\r\n{\\fonttbl\r\n{\\f0\\froman Times New Roman;}";
    ASSERT_EQ(rtf.compare(0, header.size(), header), 0) << rtf.substr(0, 200);
    EXPECT_EQ(rtf.back(), '}');
    EXPECT_EQ(qmtest::CountOccurrences(rtf, "\\pard\\sect\\sectd\\sbkpage"), 1);
    // The page XML holds every page: a range that does not start at page 1
    // must still find its pages' text.
    EXPECT_NE(rtf.find("{Page 3}"), std::string::npos);
    EXPECT_NE(rtf.find("{Page 7}"), std::string::npos);
    EXPECT_EQ(rtf.find("{Page 4}"), std::string::npos);
    for (std::size_t i = 0; i < rtf.size(); ++i)
        if (rtf[i] == '\n') { ASSERT_TRUE(i > 0 && rtf[i - 1] == '\r') << "bare line feed at byte " << i; }
}

// A password from the option or, for scripts, from the environment; the
// reason of a failure tells a missing password from a wrong one. A file
// that fails does not stop the files after it.
TEST_F(CliTest, PasswordsFromOptionOrEnvironment) {
    const std::string locked = LockedPdf();
    const std::string good = Pdf("good.pdf", 1);
    const struct { const char* what; std::vector<std::string> args; const char* env; int status; const char* reason; }
        cases[] = {
            {"option", {"--password", "u"}, nullptr, 0, nullptr},
            {"environment", {}, "u", 0, nullptr},
            {"option over environment", {"--password", "u"}, "wrong", 0, nullptr},
            {"wrong option", {"--password", "nope"}, nullptr, 1, ": the password is wrong"},
            {"wrong environment", {}, "nope", 1, ": the password is wrong"},
            {"none", {}, nullptr, 1, ": the PDF needs a password"},
        };
    for (const auto& c : cases) {
        std::filesystem::remove_all(m_out);
        std::unique_ptr<qmtest::ScopedEnv> env;
        if (c.env != nullptr) env = std::make_unique<qmtest::ScopedEnv>("QUILLMARK_PASSWORD", c.env);
        else unsetenv("QUILLMARK_PASSWORD");
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-q", "-o", m_out, locked, good});
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.err;
        EXPECT_EQ(qmtest::FileExists(m_out + "/locked.rtf"), c.status == 0) << c.what;
        EXPECT_TRUE(qmtest::FileExists(m_out + "/good.rtf")) << c.what;
        if (c.reason != nullptr) {
            EXPECT_EQ(r.err, "quillmark: " + locked + c.reason + "\n") << c.what;
        }
    }
}

// A range is checked as it is typed (a usage error naming the bad part)
// and against each file (that file fails, with the reason).
TEST_F(CliTest, PageRangesAreChecked) {
    const std::string ten = Pdf("ten.pdf", 10);
    const struct { const char* range; int status; const char* err; } cases[] = {
        {"2,0", 2, "quillmark: page range '2,0': \"0\": pages are numbered from 1\n"},
        {"", 2, "quillmark: page range '': no page number given\n"},
        {"11", 1, "the page range selects none of its pages"},
        {"10-200", 0, ""},
    };
    for (const auto& c : cases) {
        std::remove((m_dir / "ten.rtf").c_str());
        const auto r = RunCli({"-q", "-p", c.range, "-o", m_dir.path(), ten});
        EXPECT_EQ(r.status, c.status) << c.range << ": " << r.err;
        const std::string expected = c.status == 1 ? "quillmark: " + ten + ": " + c.err + "\n" : c.err;
        EXPECT_EQ(r.err, expected) << c.range;
        EXPECT_EQ(qmtest::FileExists(m_dir / "ten.rtf"), c.status == 0) << c.range;
    }
    // A range beyond the last page used to give an empty document reported
    // as converted; in every kind of run the file fails before any output.
    const std::vector<std::vector<std::string>> kinds = {{"-l", "no-images"}, {"-l", "flowing"}, {"-x"}};
    for (const auto& kind : kinds) {
        const std::string earlier = Earlier("ten");
        const auto r = RunCli(qmtest::Args(kind, {"-v", "-p", "11,12-20", "-o", m_out + "/ten", ten}));
        EXPECT_EQ(r.status, 1) << kind[0] << ": " << r.err;
        EXPECT_EQ(r.err.find("page started."), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("->"), std::string::npos) << "reported as started: " << r.out;
        ExpectKeptAlone(earlier);
    }
}

// Drawn paths reach the document only through the picture step: hairlines
// under text become underlined words, other paths a vector picture, and a
// page of more points than a page may carry that way a rendered picture.
TEST_F(CliTest, DrawnPathsBecomeUnderlinesOrShapes) {
    const std::string hatching = "0 1 %d { 0.05 mul 72 add 600 moveto 0 10 rlineto stroke } for\n";
    char many[2][128];
    for (int i = 0; i < 2; ++i) std::snprintf(many[i], sizeof many[i], hatching.c_str(), 9999 + i);
    const struct { const char* name; std::string drawing; std::vector<std::string> in; int shapes; } cases[] = {
        {"rules", "72 697 moveto (Underlined words) stringwidth pop 72 add 697 lineto stroke\n"
                  "72 647 moveto (Only) stringwidth pop 72 add 647 lineto stroke\n",
         {"\\ul {Underlined words}\\ul0", "charscalex100 {Only partly underlined}"}, 1},  // the short rule is drawn
        // Hatching is one vector picture up to 20,000 points; beyond, a
        // rendered one.
        {"10000-paths", many[0], {"\\emfblip"}, 1},
        {"10001-paths", many[1], {"\\pngblip"}, 0},
    };
    for (const auto& c : cases) {
        const std::string pdf = m_dir / (std::string(c.name) + ".pdf");
        ASSERT_TRUE(qmtest::MakePdf("%!PS\n/Helvetica findfont 12 scalefont setfont 0.5 setlinewidth\n"
                                    "72 700 moveto (Underlined words) show 72 650 moveto (Only partly underlined) show\n" +
                                        c.drawing + "showpage\n",
                                    pdf));
        ASSERT_EQ(RunCli({"-q", "-l", "flowing", "-o", m_dir.path(), pdf}).status, 0) << c.name;
        const std::string rtf = qmtest::ReadFile(m_dir / (std::string(c.name) + ".rtf"));
        for (const std::string& part : c.in) EXPECT_NE(rtf.find(part), std::string::npos) << c.name << ": " << part;
        EXPECT_EQ(qmtest::CountOccurrences(rtf, "{\\shp{"), c.shapes) << c.name;
    }
}

// Inputs from different folders with the same name map to one output; the
// later one used to replace the earlier one's result without a word.
TEST_F(CliTest, SecondInputOfTheSameOutputNameFailsAsNameCollision) {
    namespace fs = std::filesystem;
    fs::create_directories(m_dir / "a");
    fs::create_directories(m_dir / "b");
    const std::string first = m_dir / "a/report.pdf";
    const std::string second = m_dir / "b/report.pdf";
    const std::string other = m_dir / "b/Report.pdf";  // another name on a case-sensitive file system
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(1), first));
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(2), second));
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(3), other));
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::string output;  // of the first input, relative to the output folder
    } cases[] = {
        {"rtf", {}, "report.rtf"},
        {"doc", {"-f", "doc"}, "report.doc"},
        {"pictures", {"-x"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = m_dir / ("out-" + std::string(c.name));
        std::vector<std::string> args = c.options;
        for (const std::string& a : {std::string("-o"), out, first, second, other}) args.push_back(a);
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(second + ": name collision: " + first), std::string::npos) << r.err;
        EXPECT_EQ(qmtest::CountOccurrences(r.err, "name collision"), 1) << r.err;
        if (c.output.empty()) continue;
        const std::string doc = qmtest::ReadFile(out + "/" + c.output);
        EXPECT_NE(doc.find("{Page 1}"), std::string::npos);
        EXPECT_EQ(doc.find("{Page 2}"), std::string::npos) << "the second input replaced the first";
        EXPECT_TRUE(qmtest::FileExists(out + "/Report" + c.output.substr(6)));
    }
}

// Runs quillmark with `input` on its standard input.
qmtest::RunResult RunCliFed(const std::vector<std::string>& args, const std::string& input) {
    std::vector<std::string> argv = {QUILLMARK_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    qm::ChildOptions options;
    options.pipeInput = true;
    options.captureOutput = true;
    options.captureErrors = true;
    qm::CChildProcess child;
    qmtest::RunResult r;
    if (!child.Start(argv, options)) return r;
    child.Write(input);
    child.CloseInput();
    child.WaitCollecting(&r.out, &r.err, 0);
    r.status = child.ExitCode();
    return r;
}

// Engines hand over their inputs as a list (a file, or a pipe from find),
// and split it among workers with --shard: together the shards convert
// every listed file once.
TEST_F(CliTest, ListedFilesAndShardsOfTheList) {
    namespace fs = std::filesystem;
    const std::vector<std::string> names = {"one.pdf", "two words.pdf", "three.pdf", "four.pdf", "five.pdf"};
    std::string lines, nuls;
    const std::string one = Pdf("one.pdf", 1);
    for (const auto& n : names) {
        const std::string pdf = m_dir / n;
        if (pdf != one) fs::copy_file(one, pdf);
        lines += pdf + "\n";
        nuls += pdf + std::string(1, '\0');
    }
    qmtest::WriteFile(m_dir / "list.txt", "\n" + lines);
    qmtest::WriteFile(m_dir / "list.nul", nuls);
    auto converted = [&](const std::string& out) {
        std::vector<std::string> found;
        for (const auto& n : names)
            if (qmtest::FileExists(out + "/" + n.substr(0, n.size() - 4) + ".rtf")) found.push_back(n);
        return found;
    };
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string stdinText;
        std::vector<std::string> expected;
    } cases[] = {
        {"list file", {"--from-list", m_dir / "list.txt"}, "", names},
        {"NUL-separated", {"-0", "--from-list", m_dir / "list.nul"}, "", names},
        {"standard input", {"--from-list", "-"}, lines, names},
        {"shard 0/2", {"--from-list", "-", "--shard", "0/2"}, lines, {"one.pdf", "three.pdf", "five.pdf"}},
        {"shard 1/2", {"--shard", "1/2", "--from-list", m_dir / "list.txt"}, "", {"two words.pdf", "four.pdf"}},
        {"shard 4/5", {"--shard", "4/5", "-0", "--from-list", "-"}, nuls, {"five.pdf"}},
        {"empty shard", {"--shard", "6/7", "--from-list", m_dir / "list.txt"}, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = m_dir / ("out-" + std::string(c.name));
        std::vector<std::string> args = {"-q", "-o", out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = RunCliFed(args, c.stdinText);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(converted(out), c.expected);
    }
    // Usage errors give status 2, with batch exit codes as well.
    const std::vector<std::vector<std::string>> usage = {
        {"--shard", "2/2", "--from-list", m_dir / "list.txt"},
        {"--shard", "1", "--from-list", m_dir / "list.txt"},
        {"-0", one},
        {"--from-list", m_dir / "no-such-list.txt"},
        {"--exit-codes=batch", "--shard", "3/2", one},
        {"--exit-codes=engine", one},
        {"--layout", "sideways", one},
        {"--format", "odt", one},
        {"--no-such-option", one},
        {"-x", "--image-format", "gif", one},
        {},
    };
    for (const auto& args : usage) EXPECT_EQ(RunCli(args).status, 2) << (args.empty() ? "" : args[0]);
}

}  // namespace

// A scanned page with its recognised text as an invisible layer: the text
// becomes the page's text in every layout and takes the place of the scan
// picture, unless the scan is asked for; beside visible text, invisible text
// stays out and the picture stays in.
TEST_F(CliTest, InvisibleTextOfAScanBecomesItsText) {
    const std::string scan =
        "gsave 612 792 scale 16 16 8 [16 0 0 16 0 0] {<" + std::string(512, 'c') + ">} image grestore\n"
        "/Helvetica findfont 24 scalefont setfont\n";
    const std::string layer = "3 .settextrenderingmode 72 700 moveto (Recognised words) show "
                              "72 650 moveto (of the scan) show 0 .settextrenderingmode\n";
    const std::string ocr = m_dir / "ocr.pdf";
    const std::string mixed = m_dir / "mixed.pdf";
    ASSERT_TRUE(qmtest::MakePdf("%!PS\n" + scan + layer + "showpage\n", ocr));
    ASSERT_TRUE(qmtest::MakePdf("%!PS\n" + scan + layer + "72 500 moveto (Printed words) show showpage\n", mixed));
    const struct {
        const char* what;
        std::string pdf;
        std::vector<std::string> options;
        bool text;
        bool picture;
    } cases[] = {
        {"flowing", ocr, {"-l", "flowing"}, true, false},
        {"exact", ocr, {"-l", "exact"}, true, false},
        {"no images", ocr, {"-l", "no-images"}, true, false},
        {"plain text", ocr, {"-l", "plain-text"}, true, false},
        {"flowing, scan kept", ocr, {"-l", "flowing", "--keep-scans"}, true, true},
        {"exact, scan kept", ocr, {"-l", "exact", "--keep-scans"}, true, true},
        {"mixed page", mixed, {"-l", "flowing"}, false, true},
    };
    for (const auto& c : cases) {
        const std::string out = m_out + "/" + std::to_string(&c - cases);
        const auto r = RunCli(qmtest::Args({"-q", "-o", out}, qmtest::Args(c.options, {c.pdf})));
        ASSERT_EQ(r.status, 0) << c.what << ": " << r.err;
        const std::string name = std::filesystem::path(c.pdf).stem().string();
        const std::string rtf = qmtest::ReadFile(out + "/" + name + ".rtf");
        EXPECT_EQ(rtf.find("Recognised") != std::string::npos, c.text) << c.what;
        EXPECT_EQ(rtf.find("scan") != std::string::npos, c.text) << c.what;
        EXPECT_EQ(rtf.find("\\pict") != std::string::npos, c.picture) << c.what;
        if (c.pdf == mixed) {
            EXPECT_NE(rtf.find("Printed"), std::string::npos) << c.what;
        }
    }
}
