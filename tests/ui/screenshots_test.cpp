// Pictures of every page of the desktop application, for the documentation
// and for a look at what a change did to the windows (scripts/screenshots.sh
// runs these and copies the README's picture). The progress page with a
// failed file is taken by Run.RangeBeyondTheLastPageFailsTheFile.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "ui/converter_dlg.h"
#include "ui/set_dlg.h"
#include "ui/wizard_ex_image.h"
#include "ui/wizard_to_word.h"
#include "ui_fixture.h"

namespace {

using Screenshots = uitest::FrameTest;

TEST_F(Screenshots, EveryPage) {
    CCONVERTERDlg* page = m_frame->m_pConvertPage;
    // Plain folder names rather than the test's own, which are temporary.
    page->m_pOutDir->setText("/home/user/Documents");
    page->AddFiles({MakePdf("sample", 3), MakePdf("annual-report", 2)});
    ASSERT_EQ(page->m_pList->rowCount(), 2);
    uitest::Screenshot(m_frame.get(), "readme-main-window");

    m_frame->ShowSettingsPage();
    m_frame->m_pSetPage->m_pDefault->click();
    m_frame->m_pSetPage->m_pDestDir->setText("/home/user/Documents");
    m_frame->m_pSetPage->m_pLogDir->setText("/home/user/.local/state/Quillmark");
    uitest::Screenshot(m_frame.get(), "page-settings");
    m_frame->ShowAboutPage();
    uitest::Screenshot(m_frame.get(), "page-about");
    m_frame->ShowConvertPage();

    page->m_pWizard->setChecked(true);
    m_frame->m_pConvertToWord->click();
    CWizardToWordDlg* word = m_frame->m_pWordWizard;
    ASSERT_EQ(m_frame->CurrentPage(), word);
    for (int n = 1; n <= word->PageCount(); ++n) {
        word->ShowPage(n);
        uitest::Screenshot(m_frame.get(), QStringLiteral("page-word-wizard-%1").arg(n));
    }
    word->m_pCancel->click();
    ASSERT_EQ(m_frame->CurrentPage(), page);

    m_frame->m_pExtractImages->click();
    CWizardExImageDlg* images = m_frame->m_pImageWizard;
    ASSERT_EQ(m_frame->CurrentPage(), images);
    for (int n = 1; n <= images->PageCount(); ++n) {
        images->ShowPage(n);
        uitest::Screenshot(m_frame.get(), QStringLiteral("page-image-wizard-%1").arg(n));
    }
    images->m_pCancel->click();
    EXPECT_EQ(m_frame->CurrentPage(), page);
    EXPECT_FALSE(m_job->m_bBusy);
}

}  // namespace
