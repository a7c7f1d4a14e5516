// The conversion spine: page selection, progress, result codes, cancelling,
// file naming and the workspace's lifetime.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

#include <GlobalParams.h>

#include "control/convert_doc.h"
#include "support/test_util.h"

namespace {

using qmtest::TempDir;

class RecordingJob : public CConvertPara {
public:
    std::vector<std::string> messages;
    std::vector<int> progress;
    std::vector<std::string> started;
    int cancelAfterPage = 0;

    void ShowProgress(int32_t p) override { progress.push_back(p); }
    void ShowMessage(const char* text) override {
        messages.push_back(text);
        if (cancelAfterPage != 0 && messages.back() == PageLine(cancelAfterPage)) m_nCancel = 1;
    }
    void FileStarted(const std::string& src, const std::string& target) override {
        started.push_back(src + " -> " + target);
    }
    void FileFinished(const std::string&, const std::string&) override {}

    static std::string PageLine(int page) { return "Conversion of <" + std::to_string(page) + "> page started."; }
    int PageLines() const {
        int n = 0;
        for (const auto& m : messages) n += m.rfind("Conversion of <", 0) == 0 ? 1 : 0;
        return n;
    }
};

// Every test gets its own temp folder as TMPDIR, so leftover workspaces show.
class ConvertTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        m_oldTmp = old != nullptr ? old : "";
        setenv("TMPDIR", m_tmp.path().c_str(), 1);
    }
    void TearDown() override {
        EXPECT_TRUE(qmtest::Workspaces(m_tmp.path()).empty()) << "a workspace was left behind";
        if (m_oldTmp.empty()) unsetenv("TMPDIR"); else setenv("TMPDIR", m_oldTmp.c_str(), 1);
    }
    std::string Pdf(const std::string& name, int pages) {
        std::string path = m_files / name;
        EXPECT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(pages), path));
        return path;
    }
    void Prepare(RecordingJob& job, const std::string& pdf, int kind = kRunNoImages) {
        job.m_strSource = pdf;
        job.m_strOutDir = m_out.path();
        job.m_nKind = kind;
    }

    TempDir m_tmp;
    TempDir m_files;
    TempDir m_out;
    std::string m_oldTmp;
};

TEST_F(ConvertTest, AllPagesLogsEachPageAndReportsProgress) {
    RecordingJob job;
    Prepare(job, Pdf("ten.pdf", 10));
    EXPECT_EQ(CConvertDoc::Convert(&job), 0);
    EXPECT_EQ(job.messages.front(), "Reading text content from pdf started.");
    EXPECT_EQ(job.PageLines(), 10);
    // The divisor is last - first (9), so the last two pages pass 100.
    EXPECT_EQ(job.progress, (std::vector<int>{11, 22, 33, 44, 55, 66, 77, 88, 100, 111}));
    EXPECT_EQ(job.m_nLastPage, 10);
    ASSERT_EQ(job.started.size(), 1u);
    EXPECT_EQ(job.started[0], job.m_strSource + " -> " + m_out.path() + "/ten.rtf");
    std::string rtf = qmtest::ReadFile(m_out / "ten.rtf");
    EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u);
    EXPECT_EQ(rtf.back(), '}');
}

TEST_F(ConvertTest, PageListSelectsExactlyThosePages) {
    RecordingJob job;
    Prepare(job, Pdf("ten.pdf", 10));
    job.m_nPageFlags = 0;
    job.m_pages[0] = 3;
    job.m_pages[1] = 7;
    EXPECT_EQ(CConvertDoc::Convert(&job), 0);
    EXPECT_EQ(job.messages, (std::vector<std::string>{"Reading text content from pdf started.",
                                                      RecordingJob::PageLine(3), RecordingJob::PageLine(7)}));
    std::string rtf = qmtest::ReadFile(m_out / "ten.rtf");
    // Two pages: one page break between them.
    EXPECT_EQ(qmtest::CountOccurrences(rtf, "\\sbkpage"), 1);
}

TEST_F(ConvertTest, OnePageRangeKeepsTheBarAtZero) {
    RecordingJob job;
    Prepare(job, Pdf("one.pdf", 1));
    EXPECT_EQ(CConvertDoc::Convert(&job), 0);
    ASSERT_EQ(job.progress.size(), 1u);
    EXPECT_EQ(job.progress[0], INT_MIN);
}

TEST_F(ConvertTest, CancelFinishesThePageUnderWayAndKeepsTheDocument) {
    RecordingJob job;
    Prepare(job, Pdf("ten.pdf", 10));
    job.cancelAfterPage = 5;
    EXPECT_EQ(CConvertDoc::Convert(&job), 0);
    EXPECT_EQ(job.PageLines(), 5);
    std::string rtf = qmtest::ReadFile(m_out / "ten.rtf");
    EXPECT_EQ(qmtest::CountOccurrences(rtf, "\\sbkpage"), 4);
    EXPECT_EQ(rtf.back(), '}');
}

TEST_F(ConvertTest, PasswordProtectedPdfFailsBeforeAnyFileRow) {
    RecordingJob job;
    std::string pdf = m_files / "locked.pdf";
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(2), pdf,
                                {"-sOwnerPassword=owner", "-sUserPassword=secret", "-dEncryptionR=3", "-dKeyLength=128"}));
    Prepare(job, pdf);
    EXPECT_EQ(CConvertDoc::Convert(&job), kResultPdfFailed);
    EXPECT_TRUE(job.started.empty());
    EXPECT_FALSE(qmtest::FileExists(m_out / "locked.rtf"));

    RecordingJob withPassword;
    Prepare(withPassword, pdf);
    withPassword.m_strUserPassword = "secret";
    EXPECT_EQ(CConvertDoc::Convert(&withPassword), 0);
    EXPECT_TRUE(qmtest::FileExists(m_out / "locked.rtf"));
}

TEST_F(ConvertTest, NotAPdfFailsWithResult49) {
    RecordingJob job;
    std::string path = m_files / "notes.pdf";
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fputs("just some text\n", f);
        std::fclose(f);
    }
    Prepare(job, path);
    EXPECT_EQ(CConvertDoc::Convert(&job), kResultPdfFailed);
    RecordingJob missing;
    Prepare(missing, m_files / "absent.pdf");
    EXPECT_EQ(CConvertDoc::Convert(&missing), kResultPdfFailed);
}

TEST_F(ConvertTest, FailedConversionLeavesAnExistingDocumentUntouched) {
    std::string existing = m_out / "notes.rtf";
    {
        FILE* f = std::fopen(existing.c_str(), "wb");
        std::fputs("my earlier document", f);
        std::fclose(f);
    }
    std::string path = m_files / "notes.pdf";
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fputs("%PDF-1.4\ngarbage", f);
        std::fclose(f);
    }
    RecordingJob job;
    Prepare(job, path);
    EXPECT_NE(CConvertDoc::Convert(&job), 0);
    EXPECT_EQ(qmtest::ReadFile(existing), "my earlier document");
    // Nothing but the old document is in the folder: no partial file either.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(m_out.path())) entries += e.path() == existing ? 0 : 1;
    EXPECT_EQ(entries, 0);
}

TEST_F(ConvertTest, StopNowKeepsNoDocumentAndNoWorkspace) {
    struct StopNow : RecordingJob {
        void ShowMessage(const char* text) override {
            RecordingJob::ShowMessage(text);
            if (m_nCancel != 0) m_nCancel = kCancelNow;
        }
    } stop;
    Prepare(stop, Pdf("ten.pdf", 10));
    stop.cancelAfterPage = 3;
    EXPECT_EQ(CConvertDoc::Convert(&stop), 0);
    EXPECT_FALSE(qmtest::FileExists(m_out / "ten.rtf"));
}

TEST_F(ConvertTest, UnwritableOutputFailsWithResult50) {
    RecordingJob job;
    Prepare(job, Pdf("one.pdf", 1));
    // A folder where the document should go makes the file impossible to open.
    std::string blocker = m_out / "one.rtf";
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    EXPECT_EQ(CConvertDoc::Convert(&job), kResultOutputFailed);
}

TEST_F(ConvertTest, NamesComeFromTheLastDotAndTheOutputFolderLosesItsSlash) {
    RecordingJob job;
    Prepare(job, Pdf("report.final.pdf", 1));
    job.m_strOutDir = m_out.path() + "/";
    EXPECT_EQ(CConvertDoc::Convert(&job), 0);
    EXPECT_EQ(job.m_strBaseName, "report.final");
    EXPECT_EQ(job.m_strOutDir, m_out.path());
    EXPECT_EQ(job.m_strRtfPath, m_out.path() + "/report.final.rtf");
    EXPECT_TRUE(qmtest::FileExists(m_out / "report.final.rtf"));
    // Written under a private name, the document still gets ordinary permissions.
    struct stat st {};
    ASSERT_EQ(stat((m_out / "report.final.rtf").c_str(), &st), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_NE(job.m_strWorkspace.find("tmpd"), std::string::npos);
    EXPECT_FALSE(qmtest::FileExists(job.m_strWorkspace));
}

TEST_F(ConvertTest, MissingOutputFolderIsMade) {
    RecordingJob job;
    Prepare(job, Pdf("one.pdf", 1));
    job.m_strOutDir = m_out.path() + "/new/deeper";
    EXPECT_EQ(CConvertDoc::Convert(&job), 0);
    EXPECT_TRUE(qmtest::FileExists(m_out.path() + "/new/deeper/one.rtf"));
}

TEST_F(ConvertTest, PageCountLeavesARunningConversionsSettingsAlone) {
    std::string pdf = Pdf("ten.pdf", 10);
    EXPECT_EQ(CConvertDoc::PageCount(pdf), 10);
    EXPECT_EQ(CConvertDoc::PageCount(m_files / "absent.pdf"), 0);
    EXPECT_FALSE(globalParams) << "a query without a conversion must not leave settings behind";

    globalParams = std::make_unique<GlobalParams>();
    GlobalParams* running = globalParams.get();
    EXPECT_EQ(CConvertDoc::PageCount(pdf), 10);
    EXPECT_EQ(globalParams.get(), running);
    globalParams.reset();
}

}  // namespace
