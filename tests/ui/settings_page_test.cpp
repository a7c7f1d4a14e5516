// The settings page's buttons, and every value it offers reaching a run: each
// case once was a value the page showed and saved but no run read.
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "ui/app_settings.h"
#include "ui/converter_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/set_dlg.h"
#include "ui/wizard_to_word.h"
#include "ui_fixture.h"

namespace {

using uitest::FrameTest;
using uitest::WaitUntil;

QString Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}

class SettingsPage : public FrameTest {
protected:
    CSetDlg* Page() const { return m_frame->m_pSetPage; }
    CStoredSettings Stored() const {
        CStoredSettings s;
        EXPECT_TRUE(s.Load());
        return s;
    }
    // Runs the listed files as a fast run and waits for its end.
    void RunFast() {
        m_frame->m_pConvertToWord->click();
        ASSERT_TRUE(m_job->m_bBusy);
        ASSERT_TRUE(WaitUntil([this] { return !m_job->m_bBusy; }));
    }
};

TEST_F(SettingsPage, SaveDefaultAndCancelDoWhatTheySay) {
    CStoredSettings before = CStoredSettings::PageDefaults();
    before.m_strLayout = "EXACT";
    before.m_strLanguage = "English";
    ASSERT_TRUE(before.Save());
    m_frame->ShowSettingsPage();
    Page()->m_pLoad->click();
    ASSERT_EQ(Page()->m_pLayout->currentText(), "EXACT");

    // Cancel: the page goes, nothing is stored, the run's record is as it was.
    const AppSettings record = m_job->m_settings;
    Page()->m_pLayout->setCurrentText("PlAIN TEXT");
    Page()->m_pPreserve->setCurrentText("No");
    Page()->m_pCancel->click();
    EXPECT_EQ(m_frame->CurrentPage(), m_frame->m_pConvertPage);
    EXPECT_EQ(Stored(), before);
    EXPECT_EQ(m_job->m_settings.m_strLayout, record.m_strLayout);
    EXPECT_EQ(m_job->m_settings.m_strPreserve, record.m_strPreserve);

    // Default: the page shows the page defaults and stores nothing.
    m_frame->ShowSettingsPage();
    Page()->m_pDefault->click();
    EXPECT_EQ(Page()->m_pLayout->currentText(), "FLOWING");
    EXPECT_EQ(Page()->m_pDocFormat->currentText(), "rtf");
    EXPECT_EQ(Page()->m_pPreserve->currentText(), "Yes");
    EXPECT_EQ(Page()->m_pLogDir->text(), FromPath(DefaultLogFolder()));
    EXPECT_EQ(Stored(), before);

    // Save: every field into the file and the record; the stored Language,
    // which the page no longer offers, is kept.
    Page()->m_pDestDir->setText(Work("docs"));
    Page()->m_pLogDir->setText(Work("logs"));
    Page()->m_pDocFormat->setCurrentText("doc");
    Page()->m_pAutoOpen->setCurrentText("No");
    Page()->m_pLayout->setCurrentText("NO IMAGES");
    Page()->m_pImageFilter->setCurrentText("Yes");
    Page()->m_pPreserve->setCurrentText("No");
    Page()->m_pAllPages->setCurrentText("Yes");
    Page()->m_pSave->click();
    CStoredSettings after;
    after.m_strDestDir = Work("docs").toStdString();
    after.m_strDocFormat = "doc";
    after.m_strAutoOpen = "No";
    after.m_strLanguage = "English";
    after.m_strLogDir = Work("logs").toStdString();
    after.m_strLayout = "NO IMAGES";
    after.m_strImageFilter = "Yes";
    after.m_strPreserve = "No";
    after.m_strAllPages = "Yes";
    EXPECT_EQ(Stored(), after);
    EXPECT_EQ(static_cast<const CStoredSettings&>(m_job->m_settings), after);
    EXPECT_EQ(m_frame->CurrentPage(), m_frame->m_pConvertPage);
}

TEST_F(SettingsPage, OffersNoLanguageChoice) {
    QStringList labels;
    for (const QLabel* label : Page()->findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("Log folder:")) << labels.join('|').toStdString();
    EXPECT_FALSE(labels.contains("Language:")) << "one interface language: nothing to choose";
}

// One case per value of the page: set it on the page, Save, run, and see it
// in what the run did.
TEST_F(SettingsPage, EachSettingReachesTheRun) {
    const struct Case {
        const char* setting;
        std::function<void(CSetDlg*)> set;
        std::function<void()> check;
    } cases[] = {
        {"DestDir", [&](CSetDlg* p) { p->m_pDestDir->setText(Work("dest")); },
         [&] { EXPECT_TRUE(QFile::exists(Work("dest/two.rtf"))); }},
        {"DocFormat", [&](CSetDlg* p) { p->m_pDocFormat->setCurrentText("doc"); },
         [&] { EXPECT_TRUE(QFile::exists(Work("out/two.doc"))); }},
        {"AutoOpen", [&](CSetDlg* p) { p->m_pAutoOpen->setCurrentText("No"); },
         [&] { EXPECT_EQ(BoxTexts(), QStringList{"Document Generation complete."}) << "no offer to open"; }},
        {"LogDir", [&](CSetDlg* p) { p->m_pLogDir->setText(Work("logs")); },
         [&] {
             const QStringList logs = QDir(Work("logs")).entryList({"quillmark-*.log"}, QDir::Files);
             ASSERT_EQ(logs.size(), 1) << "a log file per run";
             const QString log = Slurp(Work("logs/") + logs[0]);
             EXPECT_TRUE(log.contains("Conversion of <2> page started.\n")) << log.toStdString();
             EXPECT_TRUE(log.endsWith(Work("two.pdf") + " -> " + Work("out/two.rtf") + "\n")) << log.toStdString();
         }},
        {"Layout", [&](CSetDlg* p) { p->m_pLayout->setCurrentText("PlAIN TEXT"); },
         [&] { EXPECT_EQ(m_job->m_nKind, kRunPlainText); }},
        {"ImageFilter", [&](CSetDlg* p) { p->m_pImageFilter->setCurrentText("Yes"); },
         [&] { EXPECT_EQ(m_job->m_nRemoveImages, 1); }},
        {"Preserve", [&](CSetDlg* p) { p->m_pPreserve->setCurrentText("No"); },
         [&] { EXPECT_FALSE(m_job->m_bPreserveSpacing); }},
        {"AllPages",
         [&](CSetDlg* p) {
             p->m_pAllPages->setCurrentText("No");
             p->m_pPageRange->setText("2");
         },
         [&] {
             EXPECT_EQ(m_job->m_pages, (std::vector<CPageSpan>{{2, 2}}));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        // Each case starts from the page defaults, saved.
        m_frame->ShowSettingsPage();
        Page()->m_pDefault->click();
        Page()->m_pDestDir->setText(Work("out"));
        Page()->m_pSave->click();
        m_job->m_nKind = kRunExact;
        m_job->m_nRemoveImages = 0;
        m_job->m_bPreserveSpacing = true;
        m_frame->ShowSettingsPage();
        c.set(Page());
        Page()->m_pSave->click();
        m_boxes.clear();
        m_answer = [](const qm::ui::MessageBoxRequest&) { return 1; };
        m_frame->m_pConvertPage->AddFiles({MakePdf("two", 2)});
        RunFast();
        c.check();
        QDir(Work("out")).removeRecursively();
    }
}

// The wizard's spacing page decides its run and only its run.
TEST_F(SettingsPage, WizardSpacingChoiceHoldsForItsRunOnly) {
    m_frame->m_pConvertPage->m_pOutDir->setText(Work("out"));
    m_frame->m_pConvertPage->AddFiles({MakePdf("one", 1)});
    m_frame->m_pConvertPage->m_pWizard->setChecked(true);
    m_frame->m_pConvertToWord->click();
    CWizardToWordDlg* wizard = m_frame->m_pWordWizard;
    ASSERT_EQ(m_frame->CurrentPage(), wizard);
    wizard->ShowPage(3);
    EXPECT_TRUE(wizard->m_pStep3->m_pYes->isChecked()) << "the saved choice";
    wizard->m_pStep3->m_pNo->setChecked(true);
    wizard->m_pLast->click();
    EXPECT_EQ(wizard->m_pStep5->m_pPreserve->text(), "No");
    wizard->m_pFinish->click();
    ASSERT_TRUE(WaitUntil([this] { return !m_job->m_bBusy; }));
    EXPECT_FALSE(m_job->m_bPreserveSpacing);
    EXPECT_EQ(m_job->m_settings.m_strPreserve, "Yes") << "the saved value is untouched";

    m_frame->m_pConvertPage->AddFiles({MakePdf("two", 1)});
    m_frame->m_pConvertPage->m_pFast->setChecked(true);
    RunFast();
    EXPECT_TRUE(m_job->m_bPreserveSpacing) << "a fast run takes the saved choice";
}

// A log folder that cannot be made: the run goes on and says so.
TEST_F(SettingsPage, UnwritableLogFolderDoesNotStopTheRun) {
    QFile blocker(Work("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_job->m_settings.m_strLogDir = Work("file/logs").toStdString();
    m_frame->m_pConvertPage->m_pOutDir->setText(Work("out"));
    m_frame->m_pConvertPage->m_pRtf->setChecked(true);
    m_frame->m_pConvertPage->AddFiles({MakePdf("one", 1)});
    QStringList messages;
    QObject::connect(
        m_job.get(), &MyConvertPara::messageRequested, m_frame.get(), [&](const QString& t) { messages << t; },
        Qt::BlockingQueuedConnection);
    RunFast();
    EXPECT_TRUE(messages.contains("The log file of this run cannot be written in the log folder."));
    EXPECT_TRUE(QFile::exists(Work("out/one.rtf")));
}

// The file list shows names in a column that takes the free width, the
// path in the tooltip; PDFs dropped from a file manager are listed, other
// files refused by name.
TEST_F(SettingsPage, FileListNamesAndDrops) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    const QString pdf = MakePdf("report", 2);
    page->AddFiles({pdf});
    ASSERT_EQ(page->m_pList->rowCount(), 1);
    EXPECT_EQ(page->m_pList->item(0, 0)->text(), "report.pdf");
    EXPECT_EQ(page->m_pList->item(0, 0)->toolTip(), pdf);
    QCoreApplication::processEvents();
    EXPECT_GT(page->m_pList->columnWidth(0), page->m_pList->viewport()->width() / 2);

    const QString text = Work("notes.txt");
    qmtest::WriteFile(text.toStdString(), "not a PDF");
    const QString dropped = MakePdf("dropped", 3);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped), QUrl::fromLocalFile(text)});
    const QPoint at = page->m_pList->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_frame.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_EQ(page->m_pList->rowCount(), 2);
    EXPECT_EQ(page->m_pList->item(1, 0)->text(), "dropped.pdf");
    EXPECT_EQ(page->m_pList->item(1, 2)->text(), "3");
    EXPECT_EQ(m_job->m_files.back(), dropped.toStdString());
    EXPECT_EQ(BoxTexts(), QStringList{"Only PDF files can be converted. Not added:\n" + text});

    // A drop of text that names no file is not taken.
    QMimeData words;
    words.setText("report.pdf");
    QDragEnterEvent textEnter(at, Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_frame.get(), &textEnter);
    EXPECT_FALSE(textEnter.isAccepted());
    uitest::Screenshot(m_frame.get(), "main-window-dropped");
}

}  // namespace
