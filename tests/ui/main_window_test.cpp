// The main frame and the conversion page: the file list, the request that
// a run starts from, and the frame's own buttons.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "ui/converter_dlg.h"
#include "ui_fixture.h"

namespace {

using uitest::FrameTest;

class MainWindow : public FrameTest {
protected:
    QString MakeFile(const QString& name, int bytes) {
        QFile f(Work(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(bytes, 'x'));
        return Work(name);
    }
    QString Cell(int row, int column) const {
        QTableWidgetItem* item = m_frame->m_pConvertPage->m_pList->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }
};

TEST_F(MainWindow, SameFileTwiceWarnsOnceAndListsOnce) {
    EXPECT_EQ(m_frame->windowTitle(), "DEDUdIdaz");
    const QString pdf = MakePdf("twice", 2);
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    page->AddFiles({pdf});
    uitest::Screenshot(m_frame.get(), "main-window");
    page->AddFiles({pdf});
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "Convert PDF File existing.");
    EXPECT_EQ(m_boxes[0].caption, "Warning");
    EXPECT_EQ(page->m_pList->rowCount(), 1);
    EXPECT_EQ(m_job->m_files, std::vector<std::string>{pdf.toStdString()});
    EXPECT_EQ(Cell(0, 0), pdf);
    EXPECT_EQ(Cell(0, 2), "2");
}

TEST_F(MainWindow, FileSizesAreGroupedByThrees) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    page->AddFiles({MakeFile("small.pdf", 999), MakeFile("round.pdf", 1000), MakeFile("big.pdf", 1234567)});
    EXPECT_EQ(Cell(0, 1), "999 Byte");
    EXPECT_EQ(Cell(1, 1), "1,000 Byte");
    EXPECT_EQ(Cell(2, 1), "1,234,567 Byte");
    EXPECT_EQ(Cell(0, 2), "0") << "a file that is no PDF has no pages";
    EXPECT_TRUE(m_boxes.empty());
}

// Parsing the range is checked in page_range_test; here, that the request
// carries its pages and the choices of the page.
TEST_F(MainWindow, PageRangeFillsThePageList) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    page->AddFiles({MakeFile("any.pdf", 10)});
    page->m_pOutDir->setText(Work("out"));
    m_job->m_nPageFlags = 1;
    page->m_pPageNumber->setChecked(true);
    page->m_pPageRange->setText("1, 3, 10-12");
    ASSERT_TRUE(page->PrepareRequest());
    std::vector<int32_t> got;
    for (int32_t p : m_job->m_pages)
        if (p != 0) got.push_back(p);
    EXPECT_EQ(got, (std::vector<int32_t>{1, 3, 10, 11, 12}));
    EXPECT_EQ(m_job->m_nPageFlags & 1u, 0u);
    EXPECT_FALSE(m_job->m_bAllPages);
    EXPECT_EQ(m_job->m_settings.m_strAllPages, "1, 3, 10-12");
    page->m_pAllPages->setChecked(true);
    page->m_pRtf->setChecked(true);
    ASSERT_TRUE(page->PrepareRequest());
    EXPECT_EQ(m_job->m_nPageFlags & 1u, 1u);
    EXPECT_EQ(m_job->m_settings.m_strAllPages, "Yes");
    EXPECT_EQ(m_job->m_settings.m_strDocFormat, "rtf");
    EXPECT_EQ(m_job->m_nOutputFormat, 0);
    EXPECT_EQ(m_job->m_settings.m_strSourceDir, (m_work.path() + "/").toStdString());
}

TEST_F(MainWindow, ValidationMessagesStartNothing) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    m_frame->m_pConvertToWord->click();
    m_frame->m_pExtractImages->click();
    page->m_pRemove->click();
    EXPECT_EQ(BoxTexts(), (QStringList{"Please add a PDF file first.", "Please add a PDF file first.",
                                       "Please select a PDF file first."}));

    m_boxes.clear();
    page->AddFiles({MakeFile("a.pdf", 5), MakeFile("b.pdf", 6), MakeFile("c.pdf", 7)});
    page->m_pOutDir->clear();
    m_frame->m_pConvertToWord->click();
    EXPECT_EQ(BoxTexts(), QStringList{"Please Input the saved path!"});
    EXPECT_FALSE(m_job->m_bBusy);
    EXPECT_EQ(m_frame->CurrentPage(), page);

    page->m_pList->selectRow(1);
    page->m_pRemove->click();
    EXPECT_EQ(page->m_pList->rowCount(), 2);
    EXPECT_EQ(m_job->m_files, (std::vector<std::string>{Work("a.pdf").toStdString(), Work("c.pdf").toStdString()}));
    page->m_pRemoveAll->click();
    EXPECT_EQ(page->m_pList->rowCount(), 0);
    EXPECT_TRUE(m_job->m_files.empty());
}

TEST_F(MainWindow, BusyRunIgnoresTheActionButtonsAndHelp) {
    m_frame->m_pConvertPage->AddFiles({MakeFile("a.pdf", 5)});
    m_job->m_bBusy = true;
    m_frame->m_pConvertToWord->click();
    m_frame->m_pExtractImages->click();
    m_frame->m_pTabHelp->click();
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(m_opened.empty());
    EXPECT_EQ(m_frame->CurrentPage(), m_frame->m_pConvertPage);
    m_job->m_bBusy = false;

    m_frame->m_pTabHelp->click();
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_TRUE(m_opened[0].toLocalFile().endsWith("/Quillmark.html"));
    EXPECT_TRUE(QFile::exists(m_opened[0].toLocalFile()));
}

}  // namespace
