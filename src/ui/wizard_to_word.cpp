// The to-Word wizard.
#include "ui/wizard_to_word.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "control/page_range.h"
#include "ui/my_convert_para.h"

namespace {

const char* const kLayoutValues[4] = {"FLOWING", "NO IMAGES", "PlAIN TEXT", "EXACT"};

QRadioButton* Radio(const QString& text, QWidget* page, QVBoxLayout* body, QButtonGroup* group) {
    auto* radio = new QRadioButton(text, page);
    group->addButton(radio);
    body->addWidget(radio);
    return radio;
}

// A radio button with a word-wrapped text; a click on the text selects it.
class CWrappedRadio : public QWidget {
public:
    CWrappedRadio(const QString& text, QWidget* parent) : QWidget(parent) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        m_pRadio = new QRadioButton(this);
        m_pRadio->setAccessibleName(text);
        m_pLabel = new QLabel(text, this);
        m_pLabel->setWordWrap(true);
        m_pLabel->setBuddy(m_pRadio);
        row->addWidget(m_pRadio, 0, Qt::AlignTop);
        row->addWidget(m_pLabel, 1);
    }
    QRadioButton* m_pRadio;
    QLabel* m_pLabel;

protected:
    void mouseReleaseEvent(QMouseEvent*) override {
        if (m_pRadio->isEnabled()) m_pRadio->setChecked(true);
    }
};

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

std::string ApplyPageChoice(MyConvertPara* job, const std::string& allPages) {
    // The Windows wizards stored the choice but left the page-selection
    // flags as the main window had set them, so "All" after a page range
    // (or a range after "All Pages") was not what got converted.
    if (allPages == "Yes") {
        job->m_bAllPages = true;
        job->m_nPageFlags |= 1;
        return {};
    }
    job->m_bAllPages = false;
    job->m_nPageFlags &= ~0xFu;
    // A text that is not a range selects nothing; the run does not start
    // with it (see PageRangeProblem).
    return ParsePageRange(allPages, job->m_pages);
}

QString PageRangeProblem(const MyConvertPara* job) {
    if (job->m_bAllPages) return {};
    std::vector<CPageSpan> spans;
    return PageRangeMessage(ParsePageRange(job->m_settings.m_strAllPages, spans));
}

QString PageRangeMessage(const std::string& error) {
    if (error.empty()) return {};
    return QStringLiteral("The page range cannot be used: %1.").arg(QString::fromStdString(error));
}

CWizardToWordSetp1Dlg::CWizardToWordSetp1Dlg(MyConvertPara* job, QWidget* parent)
    : CWizardPage(job, QStringLiteral("Layout Options"), parent) {
    auto* group = new QButtonGroup(this);
    const QString texts[4] = {
        QStringLiteral("FLOWING TEXT- Retains page layout, columns, formatting, graphics, and preserves text flow."),
        QStringLiteral("NO IMAGES- Retains text formatting and text flow only. Discards images, layout, and column "
                       "settings."),
        QStringLiteral("PlAIN TEXT- Retains text flow only. Discards text formatting, images, layout, and column "
                       "settings."),
        QStringLiteral("EXACT- Produces an exact replica of your PDF! Retains everything from text formatting and "
                       "text flow to images, layout, and columns settings."),
    };
    for (int i = 0; i < 4; ++i) {
        auto* choice = new CWrappedRadio(texts[i], this);
        m_pLayouts[i] = choice->m_pRadio;
        m_pLayoutTexts[i] = choice->m_pLabel;
        group->addButton(choice->m_pRadio);
        m_pBody->addWidget(choice);
        m_pBody->addSpacing(6);
    }
    m_pBody->addStretch(1);
}

void CWizardToWordSetp1Dlg::OnShow() {
    for (int i = 0; i < 4; ++i)
        if (m_pJob->m_settings.m_strLayout == kLayoutValues[i]) m_pLayouts[i]->setChecked(true);
}

void CWizardToWordSetp1Dlg::OnHide() {
    for (int i = 0; i < 4; ++i)
        if (m_pLayouts[i]->isChecked()) m_pJob->m_settings.m_strLayout = kLayoutValues[i];
}

CWizardToWordSetp2Dlg::CWizardToWordSetp2Dlg(MyConvertPara* job, QWidget* parent)
    : CWizardPage(job, QStringLiteral("Image Filter"), parent) {
    auto* group = new QButtonGroup(this);
    m_pRemove = Radio(QStringLiteral("Remove Images"), this, m_pBody, group);
    m_pAnchor = Radio(QStringLiteral("Automatic Anchoring"), this, m_pBody, group);
    m_pBody->addStretch(1);
}

void CWizardToWordSetp2Dlg::OnShow() {
    const std::string& layout = m_pJob->m_settings.m_strLayout;
    // The text-only layouts have no pictures to anchor.
    const bool pictures = layout != "NO IMAGES" && layout != "PlAIN TEXT";
    m_pAnchor->setEnabled(pictures);
    (pictures && m_pJob->m_settings.m_strRunImageFilter != "Yes" ? m_pAnchor : m_pRemove)->setChecked(true);
}

void CWizardToWordSetp2Dlg::OnHide() {
    m_pJob->m_settings.m_strRunImageFilter = m_pRemove->isChecked() ? "Yes" : "No";
}

CWizardToWordSetp3Dlg::CWizardToWordSetp3Dlg(MyConvertPara* job, QWidget* parent)
    : CWizardPage(job, QStringLiteral("Preserve Character Spacing"), parent) {
    auto* group = new QButtonGroup(this);
    m_pYes = Radio(QStringLiteral("YES"), this, m_pBody, group);
    m_pNo = Radio(QStringLiteral("NO"), this, m_pBody, group);
    m_pBody->addStretch(1);
}

void CWizardToWordSetp3Dlg::OnShow() {
    (m_pJob->m_settings.m_strRunPreserve == "Yes" ? m_pYes : m_pNo)->setChecked(true);
}

void CWizardToWordSetp3Dlg::OnHide() { m_pJob->m_settings.m_strRunPreserve = m_pYes->isChecked() ? "Yes" : "No"; }

CWizardToWordSetp4Dlg::CWizardToWordSetp4Dlg(MyConvertPara* job, QWidget* parent)
    : CWizardPage(job, QStringLiteral("Conversion Range"), parent) {
    auto* group = new QButtonGroup(this);
    m_pAll = Radio(QStringLiteral("All"), this, m_pBody, group);
    auto* row = new QHBoxLayout;
    m_pPageNumber = new QRadioButton(QStringLiteral("Page Number"), this);
    group->addButton(m_pPageNumber);
    m_pRange = new QLineEdit(this);
    row->addWidget(m_pPageNumber);
    row->addWidget(m_pRange, 1);
    m_pBody->addLayout(row);
    m_pBody->addStretch(1);
    connect(m_pPageNumber, &QRadioButton::toggled, m_pRange, &QLineEdit::setEnabled);
}

void CWizardToWordSetp4Dlg::OnShow() {
    const std::string& all = m_pJob->m_settings.m_strAllPages;
    if (all == "Yes") {
        m_pAll->setChecked(true);
        m_pRange->setEnabled(false);
    } else {
        m_pPageNumber->setChecked(true);
        m_pRange->setEnabled(true);
        m_pRange->setText(Q(all));
    }
}

void CWizardToWordSetp4Dlg::OnHide() {
    std::string& all = m_pJob->m_settings.m_strAllPages;
    all = m_pAll->isChecked() ? std::string("Yes") : m_pRange->text().toStdString();
    ApplyPageChoice(m_pJob, all);
}

CWizardToWordSetp5Dlg::CWizardToWordSetp5Dlg(MyConvertPara* job, QWidget* parent)
    : CWizardPage(job, QStringLiteral("Output Summary"), parent) {
    m_pSource = SummaryLine(this, m_pBody, QStringLiteral("Source File Path:"));
    m_pOutput = SummaryLine(this, m_pBody, QStringLiteral("Output File Path:"));
    m_pFormat = SummaryLine(this, m_pBody, QStringLiteral("Output Format:"));
    m_pRange = SummaryLine(this, m_pBody, QStringLiteral("Page range to convert:"));
    m_pLayout = SummaryLine(this, m_pBody, QStringLiteral("Layout Selected:"));
    m_pImageFilter = SummaryLine(this, m_pBody, QStringLiteral("Image Filter:"));
    m_pPreserve = SummaryLine(this, m_pBody, QStringLiteral("Preserve Character Spacing:"));
    m_pBody->addSpacing(12);
    m_pOnlyLast = new QCheckBox(
        QStringLiteral("Only show this last screen in the future. It is easy to reverse this choice."), this);
    m_pBody->addWidget(m_pOnlyLast);
    m_pBody->addStretch(1);
}

void CWizardToWordSetp5Dlg::OnShow() {
    MyConvertPara* job = m_pJob;
    const AppSettings& s = job->m_settings;
    m_pSource->setText(FromPath(s.m_strSourceDir));
    m_pOutput->setText(FromPath(s.m_strDestDir));
    m_pFormat->setText(Q(s.m_strDocFormat));
    m_pRange->setText(s.m_strAllPages == "Yes" ? QStringLiteral("All Pages") : Q(s.m_strAllPages));
    m_pLayout->setText(Q(s.m_strLayout));
    m_pImageFilter->setText(s.m_strRunImageFilter == "Yes" ? QStringLiteral("Remove Images")
                                                           : QStringLiteral("Automatic Anchoring"));
    m_pPreserve->setText(Q(s.m_strRunPreserve));

    job->m_nOutputFormat = s.m_strDocFormat == "doc" ? 1 : 0;
    job->m_settings.m_nAutoOpen = s.m_strAutoOpen == "Yes" ? 1 : 0;
    const int code = LayoutCode(s.m_strLayout);
    if (code >= 0) job->m_nKind = code;
    job->m_nRemoveImages = s.m_strRunImageFilter == "Yes" ? 1 : 0;
    job->m_bPreserveSpacing = s.m_strRunPreserve == "Yes";
}

CWizardToWordDlg::CWizardToWordDlg(MyConvertPara* job, QWidget* parent) : CWizardDlg(job, parent) {
    m_pStep1 = new CWizardToWordSetp1Dlg(job, this);
    m_pStep2 = new CWizardToWordSetp2Dlg(job, this);
    m_pStep3 = new CWizardToWordSetp3Dlg(job, this);
    m_pStep4 = new CWizardToWordSetp4Dlg(job, this);
    m_pStep5 = new CWizardToWordSetp5Dlg(job, this);
    for (CWizardPage* p : std::initializer_list<CWizardPage*>{m_pStep1, m_pStep2, m_pStep3, m_pStep4, m_pStep5})
        AddPage(p);
}

void CWizardToWordDlg::Reset() {
    m_pJob->m_settings.m_strRunImageFilter = m_pJob->m_settings.m_strImageFilter;
    m_pJob->m_settings.m_strRunPreserve = m_pJob->m_settings.m_strPreserve;
    CWizardDlg::Reset();
}
