// The conversion wizards: navigation, what each page loads and stores, and
// the request the summaries fill.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "ui/converter_dlg.h"
#include "ui/wizard_ex_image.h"
#include "ui/wizard_to_word.h"
#include "ui_fixture.h"

namespace {

using uitest::FrameTest;

class Wizard : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        m_pdf = MakePdf("input", 1);
        CCONVERTERDlg* page = m_frame->m_pConvertPage;
        page->AddFiles({m_pdf});
        page->m_pOutDir->setText(Work("out"));
        page->m_pWizard->setChecked(true);
    }
    // Opens the to-Word wizard as the action button does.
    CWizardToWordDlg* OpenWordWizard() {
        m_frame->m_pConvertToWord->click();
        EXPECT_EQ(m_frame->CurrentPage(), reinterpret_cast<QWidget*>(m_frame->m_pWordWizard));
        return m_frame->m_pWordWizard;
    }
    static bool Shows(const CWizardDlg* w, bool next, bool last, bool finish) {
        return w->m_pNext->isVisible() == next && w->m_pLast->isVisible() == last &&
               w->m_pFinish->isVisible() == finish && w->m_pBack->isEnabled() && w->m_pNext->isEnabled();
    }
    QString m_pdf;
};

TEST_F(Wizard, NoImagesDisablesAnchoringAndStoresRemoveImages) {
    CWizardToWordDlg* w = OpenWordWizard();
    ASSERT_EQ(w->CurrentPage(), 1);
    m_job->m_settings.m_strImageFilter = "No";
    w->m_pStep1->m_pLayouts[1]->setChecked(true);  // NO IMAGES
    w->m_pNext->click();
    EXPECT_EQ(m_job->m_settings.m_strLayout, "NO IMAGES");
    ASSERT_EQ(w->CurrentPage(), 2);
    EXPECT_FALSE(w->m_pStep2->m_pAnchor->isEnabled());
    EXPECT_TRUE(w->m_pStep2->m_pRemove->isChecked());
    EXPECT_EQ(m_job->m_settings.m_strImageFilter, "No") << "stored when the page is left";
    w->m_pNext->click();
    EXPECT_EQ(m_job->m_settings.m_strImageFilter, "Yes");

    // Back to page 1, choose a layout with pictures: anchoring returns.
    w->m_pBack->click();
    w->m_pBack->click();
    ASSERT_EQ(w->CurrentPage(), 1);
    w->m_pStep1->m_pLayouts[3]->setChecked(true);  // EXACT
    w->m_pNext->click();
    EXPECT_TRUE(w->m_pStep2->m_pAnchor->isEnabled());
    EXPECT_TRUE(w->m_pStep2->m_pAnchor->isChecked());
    w->m_pNext->click();
    EXPECT_EQ(m_job->m_settings.m_strImageFilter, "No");
}

TEST_F(Wizard, LastFromPageOneShowsTheSummaryAsThingsStand) {
    m_job->m_settings.m_strAutoOpen = "No";
    m_job->m_settings.m_strImageFilter = "Yes";
    m_job->m_settings.m_strPreserve = "No";
    CWizardToWordDlg* w = OpenWordWizard();
    EXPECT_TRUE(Shows(w, true, true, false));
    w->m_pStep1->m_pLayouts[2]->setChecked(true);  // PlAIN TEXT
    w->m_pLast->click();
    ASSERT_EQ(w->CurrentPage(), 5);
    EXPECT_TRUE(Shows(w, false, false, true));
    CWizardToWordSetp5Dlg* s = w->m_pStep5;
    EXPECT_EQ(s->m_pSource->text(), m_work.path() + "/");
    EXPECT_EQ(s->m_pOutput->text(), Work("out"));
    EXPECT_EQ(s->m_pFormat->text(), "doc");
    EXPECT_EQ(s->m_pRange->text(), "All Pages");
    EXPECT_EQ(s->m_pLayout->text(), "PlAIN TEXT");
    EXPECT_EQ(s->m_pImageFilter->text(), "Remove Images") << "pages 2 to 4 were not passed";
    EXPECT_EQ(s->m_pPreserve->text(), "No");
    EXPECT_EQ(m_job->m_nKind, kRunPlainText);
    EXPECT_EQ(m_job->m_nOutputFormat, 1);
    EXPECT_EQ(m_job->m_settings.m_nAutoOpen, 0);
    EXPECT_EQ(m_job->m_nRemoveImages, 1);
    uitest::Screenshot(m_frame.get(), "word-wizard-5-summary");

    // "Next >" past the last page stays on it.
    w->ShowPage(9);
    EXPECT_EQ(w->CurrentPage(), 5);
    w->ShowPage(-3);
    EXPECT_EQ(w->CurrentPage(), 1);
}

TEST_F(Wizard, ImageWizardPicksTheDevice) {
    const struct { const char* name; int index; const char* device; } cases[] = {
        {"Same as in the document", 0, "jpeg"}, {"BMP", 1, "bmp16m"}, {"JPG", 2, "jpeg"},
        {"PNG", 3, "png16m"},                   {"TIFF", 4, "tiff24nc"}, {"PCX", 5, "pcx24b"},
        {"PBM", 7, "pbm"},                      {"PNM", 8, "pnm"},       {"PPM", 9, "ppm"},
    };
    CWizardExImageDlg* w = m_frame->m_pImageWizard;
    for (const auto& c : cases) {
        m_frame->m_pExtractImages->click();
        ASSERT_EQ(w->CurrentPage(), 1);
        EXPECT_EQ(w->m_pStep1->m_pFormats->currentItem()->text(), "JPG") << "reset to JPG";
        auto items = w->m_pStep1->m_pFormats->findItems(c.name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        w->m_pStep1->m_pFormats->setCurrentItem(items.first());
        w->m_pNext->click();
        ASSERT_EQ(w->CurrentPage(), 2);
        EXPECT_TRUE(Shows(w, false, false, true));
        EXPECT_EQ(m_job->m_nImageFormat, c.index) << c.name;
        EXPECT_EQ(m_job->m_strDevice, c.device) << c.name;
        EXPECT_EQ(w->m_pStep2->m_pFormat->text(), c.name);
        w->m_pCancel->click();
    }
}

}  // namespace
