// The picture-extraction wizard.
#include "ui/wizard_ex_image.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/my_convert_para.h"
#include "ui/ui_hooks.h"
#include "ui/wizard_to_word.h"

const ImageFormatEntry kImageFormats[9] = {
    {"Same as in the document", 0, "jpeg"}, {"BMP", 1, "bmp16m"}, {"JPG", 2, "jpeg"},
    {"PNG", 3, "png16m"},                   {"TIFF", 4, "tiff24nc"}, {"PCX", 5, "pcx24b"},
    {"PBM", 7, "pbm"},                      {"PNM", 8, "pnm"},       {"PPM", 9, "ppm"},
};

namespace {
QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

CWizardExtractImage1Dlg::CWizardExtractImage1Dlg(MyConvertPara* job, QWidget* parent)
    : CWizardPage(job, QStringLiteral("Image Extraction"), parent) {
    m_pBody->addWidget(new QLabel(QStringLiteral("Image Format:"), this));
    m_pFormats = new QListWidget(this);
    for (const ImageFormatEntry& f : kImageFormats) m_pFormats->addItem(QString::fromLatin1(f.name));
    m_pFormats->setMaximumHeight(190);
    m_pBody->addWidget(m_pFormats);

    m_pBody->addWidget(new QLabel(QStringLiteral("Destination Folder:"), this));
    auto* dest = new QHBoxLayout;
    m_pDestination = new QLineEdit(this);
    m_pBrowse = new QPushButton(QStringLiteral("Browse"), this);
    dest->addWidget(m_pDestination, 1);
    dest->addWidget(m_pBrowse);
    m_pBody->addLayout(dest);

    auto* group = new QButtonGroup(this);
    auto* range = new QHBoxLayout;
    m_pPageNumbers = new QRadioButton(QStringLiteral("Page Numbers:"), this);
    m_pRange = new QLineEdit(this);
    range->addWidget(m_pPageNumbers);
    range->addWidget(m_pRange, 1);
    m_pBody->addLayout(range);
    m_pAllPages = new QRadioButton(QStringLiteral("All Pages"), this);
    m_pBody->addWidget(m_pAllPages);
    group->addButton(m_pPageNumbers);
    group->addButton(m_pAllPages);
    m_pBody->addStretch(1);

    connect(m_pPageNumbers, &QRadioButton::toggled, m_pRange, &QLineEdit::setEnabled);
    connect(m_pBrowse, &QPushButton::clicked, this, [this] {
        QString folder = qm::ui::PickFolder(this, QStringLiteral("Browse For Folder:"), m_pDestination->text());
        if (!folder.isEmpty()) m_pDestination->setText(folder);
    });
}

void CWizardExtractImage1Dlg::OnShow() {
    const AppSettings& s = m_pJob->m_settings;
    const auto found = m_pFormats->findItems(Q(s.m_strImageFormat), Qt::MatchExactly);
    if (!found.isEmpty()) m_pFormats->setCurrentItem(found.first());
    if (s.m_strAllPages == "Yes") {
        m_pAllPages->setChecked(true);
        m_pRange->setEnabled(false);
    } else {
        // Windows showed the last page number of the previous run here,
        // which then replaced the range the user had typed on the
        // conversion page; the range text itself is shown instead.
        m_pPageNumbers->setChecked(true);
        m_pRange->setEnabled(true);
        m_pRange->setText(Q(s.m_strAllPages));
    }
    // The output-folder copy is empty until this page has been left once;
    // showing it empty would send the pictures away from the folder chosen
    // on the conversion page.
    m_pDestination->setText(FromPath(s.m_strOutDirCopy.empty() ? s.m_strDestDir : s.m_strOutDirCopy));
}

void CWizardExtractImage1Dlg::OnHide() {
    AppSettings& s = m_pJob->m_settings;
    if (QListWidgetItem* item = m_pFormats->currentItem()) s.m_strImageFormat = item->text().toStdString();
    s.m_strDestDir = ToPath(m_pDestination->text());
    s.m_strOutDirCopy = s.m_strDestDir;
    s.m_strAllPages = m_pAllPages->isChecked() ? std::string("Yes") : m_pRange->text().toStdString();
    ApplyPageChoice(m_pJob, s.m_strAllPages);
}

CWizardExtractImage2Dlg::CWizardExtractImage2Dlg(MyConvertPara* job, QWidget* parent)
    : CWizardPage(job, QStringLiteral("Summary"), parent) {
    m_pRange = SummaryLine(this, m_pBody, QStringLiteral("Page Range for Image(s) Extraction:"));
    m_pFormat = SummaryLine(this, m_pBody, QStringLiteral("Final Image Format:"));
    m_pDestination = SummaryLine(this, m_pBody, QStringLiteral("Destination Folder:"));
    m_pBody->addStretch(1);
}

void CWizardExtractImage2Dlg::OnShow() {
    MyConvertPara* job = m_pJob;
    const AppSettings& s = job->m_settings;
    m_pRange->setText(s.m_strAllPages == "Yes" ? QStringLiteral("All Pages") : Q(s.m_strAllPages));
    m_pFormat->setText(Q(s.m_strImageFormat));
    m_pDestination->setText(FromPath(s.m_strDestDir));
    for (const ImageFormatEntry& f : kImageFormats) {
        if (s.m_strImageFormat == f.name) {
            job->m_nImageFormat = f.index;
            job->m_strDevice = f.device;
        }
    }
    job->m_nKind = kRunExtractImages;
    job->m_nRemoveImages = 0;
}

CWizardExImageDlg::CWizardExImageDlg(MyConvertPara* job, QWidget* parent) : CWizardDlg(job, parent) {
    m_pStep1 = new CWizardExtractImage1Dlg(job, this);
    m_pStep2 = new CWizardExtractImage2Dlg(job, this);
    AddPage(m_pStep1);
    AddPage(m_pStep2);
}

void CWizardExImageDlg::Reset() {
    m_pJob->m_settings.m_strImageFormat = "JPG";
    CWizardDlg::Reset();
}
