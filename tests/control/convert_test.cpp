// The conversion spine and the batch run around it: page selection,
// progress, result codes, cancelling, file naming and the Word step.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <string>
#include <vector>

#include <GlobalParams.h>

#include "control/batch_runner.h"
#include "control/convert_doc.h"
#include "images/test_job.h"
#include "support/test_util.h"

namespace {

using qmtest::TempDir;

class RecordingJob : public CTestJob {
public:
    std::vector<int> progress;
    std::vector<std::string> started;
    std::vector<CFileOutcome> finished;
    int cancelAfterPage = 0;

    void ShowProgress(int32_t p) override { progress.push_back(p); }
    void ShowMessage(const char* text) override {
        CTestJob::ShowMessage(text);
        if (cancelAfterPage != 0 && m_messages.back() == PageLine(cancelAfterPage)) m_nCancel = 1;
    }
    void FileStarted(const std::string& src, const std::string& target) override {
        started.push_back(src + " -> " + target);
    }
    void FileFinished(const CFileOutcome& outcome) override { finished.push_back(outcome); }

    static std::string PageLine(int page) { return "Conversion of <" + std::to_string(page) + "> page started."; }
    int PageLines() const { return Count("Conversion of <"); }
};

class ConvertTest : public qmtest::IsolatedTest {
protected:
    void Prepare(RecordingJob& job, const std::string& pdf, int kind = kRunNoImages) {
        m_source = pdf;
        job.m_strOutDir = m_out.path();
        job.m_nKind = kind;
    }
    // The conversion of the prepared file through a batch run of one.
    static CFileOutcome Convert(RecordingJob& job, const std::string& pdf) {
        const std::vector<CFileOutcome> outcomes = CBatchRunner(&job).Run({pdf});
        EXPECT_EQ(job.finished.size(), 1u);
        return outcomes.at(0);
    }
    ConvertResult Convert(RecordingJob& job) { return Convert(job, m_source).m_result; }
    std::string m_source;
    TempDir m_out;
};

TEST_F(ConvertTest, PageSelectionProgressAndCancel) {
    const std::string ten = Pdf("ten.pdf", 10);
    RecordingJob job;
    Prepare(job, ten);
    EXPECT_EQ(Convert(job), ConvertResult::kOk);
    EXPECT_EQ(job.m_messages.front(), "Reading text content from pdf started.");
    EXPECT_EQ(job.PageLines(), 10);
    // The divisor is last - first (9), so the last two pages pass 100.
    EXPECT_EQ(job.progress, (std::vector<int>{11, 22, 33, 44, 55, 66, 77, 88, 100, 111}));
    ASSERT_EQ(job.started.size(), 1u);
    EXPECT_EQ(job.started[0], ten + " -> " + m_out.path() + "/ten.rtf");

    // A cancel finishes the page under way and keeps the document.
    RecordingJob cancel;
    Prepare(cancel, ten);
    cancel.cancelAfterPage = 5;
    EXPECT_EQ(Convert(cancel), ConvertResult::kOk);
    EXPECT_EQ(cancel.PageLines(), 5);
    const std::string rtf = qmtest::ReadFile(m_out / "ten.rtf");
    EXPECT_EQ(qmtest::CountOccurrences(rtf, "\\sbkpage"), 4);
    EXPECT_EQ(rtf.back(), '}');

    // A one-page range keeps the bar at zero.
    RecordingJob one;
    Prepare(one, Pdf("one.pdf", 1));
    EXPECT_EQ(Convert(one), ConvertResult::kOk);
    EXPECT_EQ(one.progress, std::vector<int>{INT_MIN});
}

TEST_F(ConvertTest, UnwritableOutputFailsWithResult50) {
    RecordingJob job;
    Prepare(job, Pdf("one.pdf", 1));
    // A folder where the document should go makes the file impossible to open.
    std::string blocker = m_out / "one.rtf";
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    EXPECT_EQ(Convert(job), ConvertResult::kOutputFailed);
}

TEST_F(ConvertTest, NamesComeFromTheLastDotAndDocumentsGetOrdinaryPermissions) {
    RecordingJob job;
    Prepare(job, Pdf("report.final.pdf", 1));
    job.m_strOutDir = m_out.path() + "/";
    const CFileOutcome outcome = Convert(job, m_source);
    EXPECT_EQ(outcome.m_result, ConvertResult::kOk);
    EXPECT_EQ(outcome.m_strTarget, m_out.path() + "/report.final.rtf");
    EXPECT_TRUE(qmtest::FileExists(m_out / "report.final.rtf"));
    // Written under a private name, the document still gets ordinary permissions.
    struct stat st {};
    ASSERT_EQ(stat((m_out / "report.final.rtf").c_str(), &st), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

// The Word step happens once, in the batch run, for a finished document;
// a cancel stops the run after the file under way, and the files after it
// are reported as not started.
TEST_F(ConvertTest, BatchMakesWordDocumentsAndStopsAtACancel) {
    const std::string one = Pdf("one.pdf", 1), two = Pdf("two.pdf", 2);
    RecordingJob job;
    Prepare(job, one);
    job.m_nOutputFormat = 1;
    job.cancelAfterPage = 1;
    const std::vector<CFileOutcome> outcomes = CBatchRunner(&job).Run({two, one});
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].m_strTarget, m_out.path() + "/two.doc");
    EXPECT_TRUE(outcomes[0].m_bCancelled);
    EXPECT_FALSE(outcomes[0].m_bNotStarted);
    EXPECT_TRUE(qmtest::FileExists(m_out / "two.doc"));
    EXPECT_FALSE(qmtest::FileExists(m_out / "two.rtf"));
    EXPECT_TRUE(outcomes[1].m_bNotStarted);
    EXPECT_FALSE(qmtest::FileExists(m_out / "one.doc"));
    EXPECT_EQ(job.finished.size(), 2u);
}

// Everything a conversion numbers (shape ids) or reads from the settings
// starts afresh with each conversion: the desktop application converting a
// file twice in one session writes the same document twice.
TEST_F(ConvertTest, SecondConversionInOneProcessWritesTheSameDocument) {
    const std::string ps =
        "%!PS\n/Helvetica findfont 12 scalefont setfont\n"
        "72 700 moveto (Drawn and written) show\n72 690 moveto 300 690 lineto stroke\n"
        "100 400 moveto 200 500 lineto 300 400 lineto closepath fill\n"
        "gsave 300 300 translate 90 rotate 0 0 moveto (Turned) show grestore\nshowpage\n";
    ASSERT_TRUE(qmtest::MakePdf(ps, m_dir / "drawn.pdf"));
    RecordingJob job;
    Prepare(job, m_dir / "drawn.pdf", kRunFlowing);
    job.m_nRemoveImages = 1;
    ASSERT_EQ(Convert(job), ConvertResult::kOk);
    const std::string first = qmtest::ReadFile(m_out / "drawn.rtf");
    ASSERT_NE(first.find("\\shplid1"), std::string::npos);
    RecordingJob again;
    Prepare(again, m_dir / "drawn.pdf", kRunFlowing);
    again.m_nRemoveImages = 1;
    ASSERT_EQ(Convert(again), ConvertResult::kOk);
    EXPECT_TRUE(qmtest::SameText(first, qmtest::ReadFile(m_out / "drawn.rtf")));
}

// Text turned on an upright page goes into text boxes that word processors
// show as text (upwards and downwards as vertical text flow), and a page
// turned upside down by /Rotate reads in order, not mirrored or reversed.
TEST_F(ConvertTest, TurnedTextAndTurnedPagesReadAsShown) {
    const std::string ps =
        "%!PS\n<< /PageSize [612 792] >> setpagedevice /Helvetica findfont 12 scalefont setfont\n"
        "72 700 moveto (upright body) show\n"
        "gsave 40 300 translate 90 rotate 0 0 moveto (upward label) show grestore\n"
        "gsave 580 600 translate 270 rotate 0 0 moveto (downward label) show grestore\n"
        "gsave 200 250 translate 45 rotate 0 0 moveto (diagonal stamp) show grestore\n"
        "gsave 450 120 translate 180 rotate 0 0 moveto (inverted footer) show grestore\nshowpage\n"
        "[{ThisPage} << /Rotate 180 >> /PUT pdfmark\n[-1 0 0 -1 612 792] concat\n"
        "72 700 moveto (first line of a turned page) show 72 680 moveto (second line) show\nshowpage\n";
    // Ghostscript would otherwise turn the page to the way most of its text runs.
    ASSERT_TRUE(qmtest::MakePdf(ps, m_dir / "turned.pdf", {"-dAutoRotatePages=/None"}));
    RecordingJob job;
    Prepare(job, m_dir / "turned.pdf", kRunFlowing);
    job.m_nRemoveImages = 1;
    ASSERT_EQ(Convert(job), ConvertResult::kOk);
    const std::string rtf = qmtest::ReadFile(m_out / "turned.rtf");
    const struct { const char* words; const char* turn; } labels[] = {
        {"{upward label}", "{\\sn txflTextFlow}{\\sv 2}"},
        {"{downward label}", "{\\sn txflTextFlow}{\\sv 3}"},
        {"{diagonal stamp}", "{\\sn rotation}{\\sv 20643840}"},
        {"{inverted footer}", "{\\sn rotation}{\\sv 11796480}"},
    };
    for (const auto& l : labels) {
        const size_t at = rtf.find(l.words);
        ASSERT_NE(at, std::string::npos) << l.words;
        const size_t shape = rtf.rfind("{\\shp{", at);
        ASSERT_NE(shape, std::string::npos) << l.words;
        const std::string head = rtf.substr(shape, at - shape);
        EXPECT_NE(head.find("{\\sn shapeType}{\\sv 202}"), std::string::npos) << l.words;
        EXPECT_NE(head.find(l.turn), std::string::npos) << l.words;
        EXPECT_NE(head.find("{\\shptxt"), std::string::npos) << l.words;
    }
    EXPECT_EQ(rtf.find("gTextUNICODE"), std::string::npos);
    const size_t first = rtf.find("{first line of a turned page}");
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(first, rtf.find("{second line}"));
}

TEST_F(ConvertTest, PageCountLeavesARunningConversionsSettingsAlone) {
    std::string pdf = Pdf("ten.pdf", 10);
    EXPECT_EQ(CConvertDoc::PageCount(pdf), 10);
    EXPECT_EQ(CConvertDoc::PageCount(m_dir / "absent.pdf"), 0);
    EXPECT_FALSE(globalParams) << "a query without a conversion must not leave settings behind";

    globalParams = std::make_unique<GlobalParams>();
    GlobalParams* running = globalParams.get();
    EXPECT_EQ(CConvertDoc::PageCount(pdf), 10);
    EXPECT_EQ(globalParams.get(), running);
    globalParams.reset();
}

// A link drawn a glyph at a time, to a later page, and a code listing in a
// fixed-pitch font of a name nothing knows.
TEST_F(ConvertTest, GlyphByGlyphLinkIsOneFieldToTheBookmarkOfItsPage) {
    const std::string ps =
        "%!PS\n/Times-Roman findfont 14 scalefont setfont\n"
        "/x 72 def (Contents) { 1 string dup 0 4 -1 roll put x 700 moveto dup show stringwidth pop 0.3 add x add /x exch def } forall\n"
        "[ /Rect [70 695 200 715] /Border [0 0 0] /Page 3 /View [/XYZ 0 792 0] /Subtype /Link /ANN pdfmark\n"
        "showpage\n72 700 moveto (Page two) show showpage\n72 700 moveto (Page three) show showpage\n";
    ASSERT_TRUE(qmtest::MakePdf(ps, m_dir / "linked.pdf"));
    RecordingJob job;
    Prepare(job, m_dir / "linked.pdf", kRunFlowing);
    ASSERT_EQ(Convert(job), ConvertResult::kOk);
    const std::string rtf = qmtest::ReadFile(m_out / "linked.rtf");

    const std::string field = "{\\field{\\*\\fldinst{HYPERLINK \\\\l \"page3\"}}{\\fldrslt ";
    const size_t at = rtf.find(field);
    ASSERT_NE(at, std::string::npos) << rtf;
    EXPECT_EQ(rtf.find("HYPERLINK", at + field.size()), std::string::npos) << "one field for the whole link";
    // The glyphs are one run: the link shows its word whole.
    EXPECT_NE(rtf.find("{Contents}", at), std::string::npos);

    const size_t page3 = rtf.find("Page three");
    const size_t mark = rtf.find("{\\*\\bkmkstart page3}{\\*\\bkmkend page3}");
    ASSERT_NE(mark, std::string::npos);
    EXPECT_LT(rtf.find("Page two"), mark);
    EXPECT_LT(mark, page3);
    EXPECT_EQ(rtf.find("bkmkstart page2"), std::string::npos) << "only linked pages get a bookmark";
}

}  // namespace
