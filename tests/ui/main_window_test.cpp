// The main frame's own texts: its title and the warnings its buttons raise
// before anything runs.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "ui/converter_dlg.h"
#include "ui/wizard_to_word.h"
#include "ui_fixture.h"

namespace {

using uitest::FrameTest;
using MainWindow = FrameTest;

TEST_F(MainWindow, QuotedTexts) {
    EXPECT_EQ(m_frame->windowTitle(), "Quillmark");
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    const QString pdf = MakePdf("twice", 2);
    const struct { const char* what; std::function<void()> act; QString box; const char* caption; } cases[] = {
        {"word, empty list", [&] { m_frame->m_pConvertToWord->click(); }, "Please add a PDF file first.", "Quillmark"},
        {"images, empty list", [&] { m_frame->m_pExtractImages->click(); }, "Please add a PDF file first.", "Quillmark"},
        {"remove, no selection", [&] { page->m_pRemove->click(); }, "Please select a PDF file first.", "Quillmark"},
        {"same file twice", [&] { page->AddFiles({pdf}); page->AddFiles({pdf}); }, "Convert PDF File existing.", "Warning"},
        {"no output folder",
         [&] {
             page->m_pOutDir->clear();
             m_frame->m_pConvertToWord->click();
         },
         "Please Input the saved path!", "Quillmark"},
    };
    for (const auto& c : cases) {
        m_boxes.clear();
        c.act();
        ASSERT_EQ(BoxTexts(), QStringList{c.box}) << c.what;
        EXPECT_EQ(m_boxes[0].caption, c.caption) << c.what;
    }
    EXPECT_FALSE(m_job->m_bBusy);
    EXPECT_EQ(m_frame->CurrentPage(), page);
    EXPECT_EQ(page->m_pList->rowCount(), 1);
    EXPECT_EQ(m_job->m_files, std::vector<std::string>{pdf.toStdString()});
    uitest::Screenshot(m_frame.get(), "main-window");

    EXPECT_EQ(page->m_pList->item(0, 2)->text(), "2") << "the page count";
}

// Texts that once went out misspelt.
TEST_F(MainWindow, ButtonAndWizardTextsAreSpeltRight) {
    EXPECT_EQ(m_frame->m_pExtractImages->text(), "Extract Images");
    CWizardToWordSetp5Dlg summary(m_job.get());
    QStringList labels;
    for (const QLabel* label : summary.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("Page range to convert:")) << labels.join('|').toStdString();
    EXPECT_EQ(summary.m_pOnlyLast->text(),
              "Only show this last screen in the future. It is easy to reverse this choice.");
}

}  // namespace
