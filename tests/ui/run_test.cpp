// Runs on the worker thread: real PDFs through the conversion, the Word
// output, the completion prompts, failures, cancelling between pages, and
// the command line's defaults from the saved settings.
#include <QComboBox>
#include <QFileInfo>
#include <optional>
#include <QLineEdit>
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

QByteArray Head(const QString& path, int n) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.read(n);
}

class Run : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        m_out = Work("out");
        QDir().mkpath(m_out);
        m_frame->m_pConvertPage->m_pOutDir->setText(m_out);
    }
    // Follows the job's callbacks from the interface thread: connected
    // after the run has attached the progress page, so the page has shown
    // each call when these run.
    void Follow() {
        if (m_following) return;
        m_following = true;
        QObject::connect(m_job.get(), &MyConvertPara::messageRequested, m_frame.get(),
                         [this](const QString& text) {
                             m_messages << text;
                             if (m_onMessage) m_onMessage(text);
                         },
                         Qt::BlockingQueuedConnection);
        QObject::connect(m_job.get(), &MyConvertPara::fileFinishedRequested, m_frame.get(),
                         [this](const QString& file, const QString&, const QString& status) {
                             m_statuses << QFileInfo(file).fileName() + "=" + status;
                         },
                         Qt::BlockingQueuedConnection);
    }
    void Start(QPushButton* button) {
        button->click();
        ASSERT_TRUE(m_job->m_bBusy);
        EXPECT_EQ(m_frame->CurrentPage(), reinterpret_cast<QWidget*>(m_frame->m_pProgressPage));
        EXPECT_FALSE(m_frame->TabBarVisible());
        Follow();
    }
    void RunToEnd(QPushButton* button) {
        Start(button);
        WaitForEnd();
    }
    void WaitForEnd() {
        ASSERT_TRUE(WaitUntil([this] { return !m_job->m_bBusy; }));
        EXPECT_EQ(m_frame->CurrentPage(), m_frame->m_pConvertPage);
        EXPECT_TRUE(m_frame->TabBarVisible());
        EXPECT_EQ(m_frame->m_pConvertPage->m_pList->rowCount(), 0);
        EXPECT_TRUE(m_job->m_files.empty());
    }

    QString m_out;
    bool m_following = false;
    QStringList m_messages;
    QStringList m_statuses;
    std::function<void(const QString&)> m_onMessage;
};

TEST_F(Run, FastRunWritesWordDocumentsAndOffersTheLastOne) {
    m_frame->m_pConvertPage->AddFiles({MakePdf("first", 2), MakePdf("second", 3)});
    m_job->m_settings.m_strLayout = "EXACT";
    QString statusAtPrompt;
    int barAtPrompt = -1;
    m_answer = [&](const qm::ui::MessageBoxRequest&) {
        statusAtPrompt = m_frame->m_pProgressPage->StatusText();
        barAtPrompt = m_frame->m_pProgressPage->Progress();
        return 0;  // "&Yes": view the document
    };
    RunToEnd(m_frame->m_pConvertToWord);

    EXPECT_EQ(m_job->m_nKind, kRunExact) << "the fast path takes the saved layout";
    EXPECT_EQ(m_statuses, (QStringList{"first.pdf=Success", "second.pdf=Success"}));
    EXPECT_TRUE(m_messages.contains("Conversion of <3> page started."));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "Document Generation complete. Do you want to view the document?");
    EXPECT_EQ(m_boxes[0].buttons, (QStringList{"&Yes", "&No"}));
    EXPECT_EQ(statusAtPrompt, "File converted successfully.");
    EXPECT_EQ(barAtPrompt, 100);
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].toLocalFile(), m_out + "/second.doc");

    EXPECT_EQ(Head(m_out + "/first.doc", 5), "{\\rtf");
    EXPECT_FALSE(QFile::exists(m_out + "/first.rtf"));
}

// A cancel abandons the file under way: no partial document under its name,
// and the document an earlier run left there stays.
TEST_F(Run, CancelAfterSayingNoOnceKeepsTheEarlierDocument) {
    qmtest::WriteFile((m_out + "/long.rtf").toStdString(), "earlier");
    m_frame->m_pConvertPage->AddFiles({MakePdf("long", 6), MakePdf("never", 1)});
    m_frame->m_pConvertPage->m_pRtf->setChecked(true);
    m_onMessage = [&](const QString& text) {
        if (text == "Conversion of <2> page started.") {
            m_answer = [](const qm::ui::MessageBoxRequest&) { return 1; };  // "&No"
            m_frame->m_pProgressPage->m_pCancel->click();
        } else if (text == "Conversion of <3> page started.") {
            m_answer = [](const qm::ui::MessageBoxRequest&) { return 0; };  // "&Yes"
            m_frame->m_pProgressPage->m_pCancel->click();
        }
    };
    RunToEnd(m_frame->m_pConvertToWord);

    ASSERT_EQ(m_boxes.size(), 2u) << "the two cancel questions and no completion prompt";
    EXPECT_EQ(BoxTexts(), QStringList(2, "Do you want to cancel conversion Process?"));
    EXPECT_EQ(m_boxes[0].caption, "Quillmark");
    EXPECT_TRUE(m_messages.contains("Conversion of <3> page started."));
    EXPECT_FALSE(m_messages.contains("Conversion of <4> page started."));
    EXPECT_TRUE(m_statuses.isEmpty()) << "a cancelled file is not marked";
    EXPECT_EQ(Head(m_out + "/long.rtf", 100), "earlier");
    EXPECT_EQ(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList{"long.rtf"}) << "no partial document";
    EXPECT_EQ(m_frame->m_pProgressPage->m_pList->rowCount(), 0);
    EXPECT_EQ(m_frame->m_pProgressPage->Progress(), 0);
}

TEST_F(Run, CancelRightAfterTheStartIsNotLost) {
    m_frame->m_pConvertPage->AddFiles({MakePdf("early", 3)});
    m_answer = [](const qm::ui::MessageBoxRequest&) { return 0; };
    Start(m_frame->m_pConvertToWord);
    m_frame->m_pProgressPage->m_pCancel->click();
    WaitForEnd();
    EXPECT_EQ(BoxTexts(), QStringList{"Do you want to cancel conversion Process?"});
    EXPECT_FALSE(m_messages.contains("Conversion of <2> page started."));
    EXPECT_FALSE(QFile::exists(m_out + "/early.doc"));
}

TEST_F(Run, ClosingDuringARunCancelsItFirst) {
    m_frame->m_pConvertPage->AddFiles({MakePdf("closing", 4)});
    m_frame->m_pConvertPage->m_pRtf->setChecked(true);
    m_onMessage = [&](const QString& text) {
        if (text == "Conversion of <1> page started.") m_frame->close();
    };
    Start(m_frame->m_pConvertToWord);
    EXPECT_TRUE(m_frame->isVisible()) << "the window stays until the worker is done";
    ASSERT_TRUE(WaitUntil([this] { return !m_frame->isVisible(); }));
    EXPECT_FALSE(m_job->m_bBusy);
    EXPECT_FALSE(m_messages.contains("Conversion of <2> page started."));
    EXPECT_TRUE(m_boxes.empty());
}

// A range that cannot be read stops the run where it was typed, on the
// conversion page and on a wizard's range page, and names the bad part.
TEST_F(Run, UnreadablePageRangeIsRefusedNamingTheBadPart) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    page->AddFiles({MakePdf("four", 4)});
    page->m_pPageNumber->setChecked(true);
    page->m_pPageRange->setText("1, 3x");
    m_frame->m_pConvertToWord->click();
    EXPECT_EQ(BoxTexts(), QStringList{"The page range cannot be used: \"3x\" is not a page number or a range such "
                                      "as 10-15."});
    EXPECT_FALSE(m_job->m_bBusy);
    EXPECT_EQ(m_frame->CurrentPage(), page);

    m_boxes.clear();
    page->m_pPageRange->setText("2");
    page->m_pWizard->setChecked(true);
    m_frame->m_pConvertToWord->click();
    CWizardToWordDlg* wizard = m_frame->m_pWordWizard;
    ASSERT_EQ(m_frame->CurrentPage(), wizard);
    wizard->ShowPage(4);
    EXPECT_EQ(wizard->m_pStep4->m_pRange->text(), "2") << "the range typed on the conversion page";
    wizard->m_pStep4->m_pRange->setText("0-3");
    wizard->m_pLast->click();
    wizard->m_pFinish->click();
    EXPECT_EQ(BoxTexts(), QStringList{"The page range cannot be used: \"0-3\": pages are numbered from 1."});
    EXPECT_FALSE(m_job->m_bBusy);
    EXPECT_EQ(m_frame->CurrentPage(), wizard) << "the wizard stays for the user to correct the range";
    uitest::Screenshot(m_frame.get(), "wizard-bad-range");
}

// A range that reads well but lies beyond a file's last page fails that
// file instead of giving it an empty document; the failed file is named,
// keeps its reason in its row, and there is no offer to view a document.
TEST_F(Run, RangeBeyondTheLastPageFailsTheFile) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    page->AddFiles({MakePdf("four", 4), MakePdf("twelve", 12)});
    page->m_pPageNumber->setChecked(true);
    page->m_pPageRange->setText("9");
    QString reason;
    m_answer = [&](const qm::ui::MessageBoxRequest&) {
        reason = m_frame->m_pProgressPage->ReasonOf(Work("four.pdf"));
        uitest::Screenshot(m_frame.get(), "progress-failed-file");
        return 0;
    };
    RunToEnd(m_frame->m_pConvertToWord);
    EXPECT_EQ(m_statuses, (QStringList{"four.pdf=Failed", "twelve.pdf=Success"}));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "These files could not be converted:\n" + Work("four.pdf") +
                                   ": the page range selects none of its pages");
    EXPECT_FALSE(QFile::exists(m_out + "/four.doc"));
    EXPECT_TRUE(QFile::exists(m_out + "/twelve.doc"));
    EXPECT_EQ(reason, "the page range selects none of its pages");
}

// A locked PDF asks for its password when it is listed, again after a
// wrong one; each file keeps its own for the run. A file whose prompt was
// cancelled stays listed and fails with the reason.
TEST_F(Run, LockedPdfAsksForItsPasswordWhenListed) {
    const QString first = MakePdf("first", 2, "one"), second = MakePdf("second", 2, "two");
    const QString locked = MakePdf("locked", 2, "u");
    std::vector<qm::ui::PasswordRequest> asked;
    QStringList answers = {"guess", "one", "two"};
    qm::ui::SetPasswordHook([&](const qm::ui::PasswordRequest& r) -> std::optional<QString> {
        asked.push_back(r);
        if (answers.isEmpty()) return std::nullopt;
        return answers.takeFirst();
    });
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    page->AddFiles({first, second, MakePdf("open", 1), locked});
    qm::ui::SetPasswordHook({});
    ASSERT_EQ(asked.size(), 4u) << "none for the open file, one for the cancelled";
    EXPECT_EQ(asked[0].file, first);
    EXPECT_FALSE(asked[0].wrongBefore);
    EXPECT_TRUE(asked[1].wrongBefore);
    EXPECT_EQ(asked[2].file, second);
    EXPECT_FALSE(asked[2].wrongBefore);
    EXPECT_EQ(asked[3].file, locked);
    ASSERT_EQ(page->m_pList->rowCount(), 4) << "a cancelled prompt keeps the file listed";
    EXPECT_EQ(page->m_pList->item(0, 2)->text(), "2");
    EXPECT_EQ(page->m_pList->item(1, 2)->text(), "2");
    EXPECT_TRUE(m_boxes.empty());

    page->m_pRtf->setChecked(true);
    QString reason;
    m_answer = [&](const qm::ui::MessageBoxRequest&) {
        reason = m_frame->m_pProgressPage->ReasonOf(locked);
        return 1;
    };
    RunToEnd(m_frame->m_pConvertToWord);
    EXPECT_EQ(m_statuses,
              (QStringList{"first.pdf=Success", "second.pdf=Success", "open.pdf=Success", "locked.pdf=Failed"}));
    EXPECT_TRUE(QFile::exists(m_out + "/first.rtf"));
    EXPECT_TRUE(QFile::exists(m_out + "/second.rtf"));
    EXPECT_FALSE(QFile::exists(m_out + "/locked.rtf"));
    EXPECT_EQ(reason, "the PDF needs a password");
}

// The saved settings, the settings page and the wizards: each test is a way
// in which a saved or chosen value once did not reach the run.
class Settings : public Run {
protected:
    int PageLines() const { return static_cast<int>(m_messages.filter(" page started.").size()); }
    // A new main window on a new job, as at the program's start.
    void Restart() {
        m_frame.reset();
        m_job = std::make_unique<MyConvertPara>();
        m_frame = std::make_unique<CQuillmarkDlg>(m_job.get());
        m_frame->show();
        m_following = false;
    }
};

TEST_F(Settings, SavedSettingsHoldFromTheStart) {
    CStoredSettings saved = CStoredSettings::PageDefaults();
    saved.m_strDestDir = Work("saved-out").toStdString();
    saved.m_strDocFormat = "rtf";
    saved.m_strAutoOpen = "No";
    saved.m_strLayout = "EXACT";
    saved.m_strImageFilter = "Yes";
    saved.m_strAllPages = "2-3";
    ASSERT_TRUE(saved.Save());
    Restart();
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    EXPECT_EQ(page->m_pOutDir->text(), Work("saved-out"));
    EXPECT_TRUE(page->m_pRtf->isChecked());
    EXPECT_TRUE(page->m_pPageNumber->isChecked());
    EXPECT_EQ(page->m_pPageRange->text(), "2-3");

    page->AddFiles({MakePdf("four", 4)});
    RunToEnd(m_frame->m_pConvertToWord);
    EXPECT_EQ(m_job->m_nKind, kRunExact);
    EXPECT_EQ(m_job->m_nRemoveImages, 1) << "the saved image filter";
    EXPECT_EQ(PageLines(), 2);
    EXPECT_TRUE(QFile::exists(Work("saved-out/four.rtf")));
    EXPECT_EQ(BoxTexts(), QStringList{"Document Generation complete."}) << "AutoOpen No: no offer to open";

    // The wizard starts from the saved image filter too.
    page->m_pWizard->setChecked(true);
    page->AddFiles({MakePdf("again", 1)});
    m_frame->m_pConvertToWord->click();
    m_frame->m_pWordWizard->ShowPage(2);
    EXPECT_TRUE(m_frame->m_pWordWizard->m_pStep2->m_pRemove->isChecked());
}

TEST_F(Settings, SaveNeverNarrowsThePagesShown) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    CSetDlg* settings = m_frame->m_pSetPage;
    m_frame->ShowSettingsPage();
    settings->m_pDefault->click();
    ASSERT_EQ(settings->m_pAllPages->currentText(), "No");
    settings->m_pDestDir->setText(Work("chosen"));
    settings->m_pSave->click();
    EXPECT_TRUE(page->m_pAllPages->isChecked()) << "\"No\" must not switch to the page number";
    EXPECT_EQ(page->m_pOutDir->text(), Work("chosen")) << "Save fills the output folder";
    EXPECT_EQ(m_frame->CurrentPage(), page);

    page->AddFiles({MakePdf("three", 3)});
    RunToEnd(m_frame->m_pConvertToWord);
    EXPECT_EQ(PageLines(), 3);

    // A range typed on the conversion page stays through a Save with "No";
    // "Yes" and a range text are what they say.
    page->m_pPageNumber->setChecked(true);
    page->m_pPageRange->setText("2-3");
    settings->m_pSave->click();
    EXPECT_TRUE(page->m_pPageNumber->isChecked());
    EXPECT_EQ(page->m_pPageRange->text(), "2-3");
    settings->m_pAllPages->setCurrentText("Yes");
    settings->m_pSave->click();
    EXPECT_TRUE(page->m_pAllPages->isChecked());
    settings->m_pAllPages->setCurrentText("No");
    settings->m_pPageRange->setText("5-9");
    settings->m_pSave->click();
    EXPECT_TRUE(page->m_pPageNumber->isChecked());
    EXPECT_EQ(page->m_pPageRange->text(), "5-9");

    // The settings page's range is checked on Save, which then saves nothing.
    m_boxes.clear();
    m_frame->ShowSettingsPage();
    settings->m_pPageRange->setText("5-x");
    settings->m_pSave->click();
    EXPECT_EQ(BoxTexts(), QStringList{"The page range cannot be used: \"5-x\" is not a page number or a range such "
                                      "as 10-15."});
    EXPECT_EQ(m_frame->CurrentPage(), settings);
    CStoredSettings stored;
    ASSERT_TRUE(stored.Load());
    EXPECT_EQ(stored.m_strAllPages, "5-9");
    // A saved range comes back on the page as "No" with that range.
    settings->m_pLoad->click();
    EXPECT_EQ(settings->m_pAllPages->currentText(), "No");
    EXPECT_EQ(settings->m_pPageRange->text(), "5-9");
    uitest::Screenshot(m_frame.get(), "settings");
}

TEST_F(Settings, RemoveImagesOfOneWizardRunDoesNotStick) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    page->AddFiles({MakePdf("first", 1)});
    page->m_pWizard->setChecked(true);
    m_frame->m_pConvertToWord->click();
    CWizardToWordDlg* wizard = m_frame->m_pWordWizard;
    ASSERT_EQ(m_frame->CurrentPage(), wizard);
    wizard->ShowPage(2);
    EXPECT_TRUE(wizard->m_pStep2->m_pAnchor->isChecked()) << "the saved choice: keep pictures";
    wizard->m_pStep2->m_pRemove->setChecked(true);
    wizard->m_pLast->click();
    EXPECT_EQ(wizard->m_pStep5->m_pImageFilter->text(), "Remove Images");
    wizard->m_pFinish->click();
    ASSERT_TRUE(m_job->m_bBusy);
    Follow();
    WaitForEnd();
    EXPECT_EQ(m_job->m_nRemoveImages, 1);

    page->AddFiles({MakePdf("second", 1)});
    page->m_pFast->setChecked(true);
    RunToEnd(m_frame->m_pConvertToWord);
    EXPECT_EQ(m_job->m_nRemoveImages, 0) << "a fast run takes the saved choice, not the last wizard's";

    page->AddFiles({MakePdf("third", 1)});
    page->m_pWizard->setChecked(true);
    m_frame->m_pConvertToWord->click();
    wizard->ShowPage(2);
    EXPECT_TRUE(wizard->m_pStep2->m_pAnchor->isChecked()) << "the next wizard starts at the saved choice";
    EXPECT_EQ(m_job->m_settings.m_strImageFilter, "No") << "the saved value is untouched";
}

// The settings folder of the fixture is in the environment the command
// line inherits.
class CommandLine : public uitest::SettingsFolder {
protected:
    static int RunCli(const QStringList& args) {
        std::vector<std::string> argv;
        for (const QString& a : args) argv.push_back(a.toStdString());
        return qmtest::RunCli(argv).status;
    }
};

TEST_F(CommandLine, TakesFormatDefaultFromSavedSettings) {
    MakePdf("cli", 1);
    CStoredSettings saved = CStoredSettings::PageDefaults();
    saved.m_strDocFormat = "doc";
    saved.m_strLayout = "PlAIN TEXT";
    ASSERT_TRUE(saved.Save());
    ASSERT_EQ(RunCli({"-q", "-o", Work("b"), Work("cli.pdf")}), 0);
    EXPECT_TRUE(QFile::exists(Work("b/cli.doc")));
    EXPECT_FALSE(QFile::exists(Work("b/cli.rtf")));

    // A given option wins over the saved one.
    ASSERT_EQ(RunCli({"-q", "-f", "rtf", "-l", "exact", "-o", Work("c"), Work("cli.pdf")}), 0);
    EXPECT_TRUE(QFile::exists(Work("c/cli.rtf")));
}

}  // namespace
