// The job's callbacks as the progress page shows them, and a window torn
// down while its worker runs.
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <climits>

#include "ui/converter_dlg.h"
#include "ui/progress_dlg.h"
#include "ui_fixture.h"

namespace {

using uitest::FrameTest;

class Progress : public FrameTest {};

TEST_F(Progress, CallbacksReachThePage) {
    CConversionProgressDlg* page = m_frame->m_pProgressPage;
    // Without a page every callback is a no-op.
    m_job->ShowMessage("lost");
    m_job->FileStarted("/in/a.pdf", "/out/a.doc");
    EXPECT_EQ(page->StatusText(), "");
    EXPECT_EQ(page->m_pList->rowCount(), 0);

    m_job->AttachProgress(page);
    const struct { int32_t percent; int shown; } cases[] = {{100, 100}, {101, 100}, {0, 0}, {-1, 0}, {INT_MIN, 0}};
    for (const auto& c : cases) {
        page->SetProgress(50);
        m_job->ShowProgress(c.percent);
        EXPECT_EQ(page->Progress(), c.shown) << c.percent;
    }

    m_job->ShowMessage("Conversion of <3> page started.");
    EXPECT_EQ(page->StatusText(), "Conversion of <3> page started.");
    m_job->FileStarted("/in/a.pdf", "/out/a.doc");
    m_job->FileStarted("/in/b.pdf", "/out/b.doc");
    EXPECT_EQ(page->StatusOf("/in/a.pdf"), "Converting...");
    auto finished = [this](const char* source, const char* target, ConvertResult result) {
        CFileOutcome outcome;
        outcome.m_strSource = source;
        outcome.m_strTarget = target;
        outcome.m_result = result;
        m_job->FileFinished(outcome);
    };
    finished("/in/a.pdf", "/out/a.doc", ConvertResult::kOk);
    finished("/in/b.pdf", "/out/b.rtf", ConvertResult::kPageFailed);
    // A file that failed before its row was made gets one.
    finished("/in/c.pdf", "/out/c.rtf", ConvertResult::kPdfFailed);
    EXPECT_EQ(page->StatusOf("/in/a.pdf"), "Success");
    EXPECT_EQ(page->StatusOf("/in/b.pdf"), "Failed");
    EXPECT_EQ(page->StatusOf("/in/c.pdf"), "Failed");
    // Each failed row keeps its reason, in its own column and as a tooltip.
    EXPECT_EQ(page->ReasonOf("/in/a.pdf"), "");
    EXPECT_EQ(page->ReasonOf("/in/b.pdf"), "a page could not be converted");
    EXPECT_EQ(page->ReasonOf("/in/c.pdf"), "the PDF does not open");
    EXPECT_EQ(page->m_pList->item(1, 2)->toolTip(), "a page could not be converted");
    EXPECT_EQ(page->m_pList->item(1, 1)->text(), "/out/b.rtf");
    EXPECT_EQ(page->m_pList->item(1, 0)->text(), "b.pdf") << "the name shows, the path is the tooltip";
    EXPECT_EQ(page->m_pList->item(1, 0)->toolTip(), "/in/b.pdf");
    EXPECT_EQ(page->m_pList->rowCount(), 3);

    // Cancel outside a run asks nothing.
    page->m_pCancel->click();
    EXPECT_TRUE(m_boxes.empty());
    m_job->AttachProgress(nullptr);
}

TEST_F(Progress, DestroyingTheWindowDuringARunStopsTheWorker) {
    m_frame->m_pConvertPage->AddFiles({MakePdf("one", 3), MakePdf("two", 3)});
    m_frame->m_pConvertPage->m_pOutDir->setText(Work("out"));
    m_frame->m_pConvertToWord->click();
    ASSERT_TRUE(m_job->m_bBusy);
    // Let the worker get under way and block on a call to the window.
    ASSERT_TRUE(uitest::WaitUntil([this] { return m_frame->m_pProgressPage->m_pList->rowCount() > 0; }));
    m_frame.reset();
    EXPECT_FALSE(m_job->m_bBusy);
    EXPECT_EQ(m_job->Progress(), nullptr);
    EXPECT_FALSE(QFile::exists(Work("out/two.doc"))) << "the run stopped after the file under way";
}

}  // namespace
