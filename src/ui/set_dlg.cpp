// The settings page.
#include "ui/set_dlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

#include "control/page_range.h"

#include "ui/my_convert_para.h"
#include "ui/ui_hooks.h"
#include "ui/wizard_to_word.h"

namespace {

QComboBox* Choices(const QStringList& items, bool editable, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->addItems(items);
    box->setEditable(editable);
    return box;
}

// A value outside the offered choices (a hand-edited file, a page-range
// text in AllPages) is shown as it is rather than replaced.
void Select(QComboBox* box, const std::string& value) {
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    if (box->isEditable()) {
        box->setCurrentText(text);
        return;
    }
    int index = box->findText(text);
    if (index < 0) {
        box->addItem(text);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

std::string Text(QComboBox* box) { return box->currentText().toUtf8().toStdString(); }

QWidget* FolderRow(QLineEdit*& edit, QPushButton*& browse, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    edit = new QLineEdit(row);
    browse = new QPushButton(QStringLiteral("Browse"), row);
    layout->addWidget(edit, 1);
    layout->addWidget(browse);
    return row;
}

}  // namespace

CSetDlg::CSetDlg(MyConvertPara* job, QWidget* parent) : QWidget(parent), m_pJob(job) {
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Settings"), this);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    title->setFont(bold);
    layout->addWidget(title);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Save documents to:"), FolderRow(m_pDestDir, m_pBrowseDest, this));
    m_pDocFormat = Choices({QStringLiteral("doc"), QStringLiteral("rtf")}, false, this);
    form->addRow(QStringLiteral("Output format:"), m_pDocFormat);
    m_pAutoOpen = Choices({QStringLiteral("Yes"), QStringLiteral("No")}, false, this);
    form->addRow(QStringLiteral("Open the document after conversion:"), m_pAutoOpen);
    // The interface has one language, so the page offers no choice; the
    // stored Language value is kept as it is.
    form->addRow(QStringLiteral("Log folder:"), FolderRow(m_pLogDir, m_pBrowseLog, this));
    m_pLayout = Choices({QStringLiteral("FLOWING"), QStringLiteral("NO IMAGES"), QStringLiteral("PlAIN TEXT"),
                         QStringLiteral("EXACT")},
                        false, this);
    form->addRow(QStringLiteral("Document layout:"), m_pLayout);
    m_pImageFilter = Choices({QStringLiteral("Yes"), QStringLiteral("No")}, false, this);
    form->addRow(QStringLiteral("Remove images:"), m_pImageFilter);
    m_pPreserve = Choices({QStringLiteral("Yes"), QStringLiteral("No")}, false, this);
    form->addRow(QStringLiteral("Preserve character spacing:"), m_pPreserve);
    m_pAllPages = Choices({QStringLiteral("Yes"), QStringLiteral("No")}, false, this);
    form->addRow(QStringLiteral("Convert all pages:"), m_pAllPages);
    m_pPageRange = new QLineEdit(this);
    m_pPageRange->setPlaceholderText(QStringLiteral("1,3,7,10-15"));
    form->addRow(QStringLiteral("Page range:"), m_pPageRange);
    connect(m_pAllPages, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { m_pPageRange->setEnabled(text != QStringLiteral("Yes")); });
    layout->addLayout(form);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_pLoad = new QPushButton(QStringLiteral("Load"), this);
    m_pDefault = new QPushButton(QStringLiteral("Default"), this);
    m_pSave = new QPushButton(QStringLiteral("Save"), this);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* b : {m_pLoad, m_pDefault, m_pSave, m_pCancel}) buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(m_pLoad, &QPushButton::clicked, this, &CSetDlg::Load);
    connect(m_pDefault, &QPushButton::clicked, this, &CSetDlg::Default);
    connect(m_pSave, &QPushButton::clicked, this, &CSetDlg::Save);
    connect(m_pCancel, &QPushButton::clicked, this, &CSetDlg::Cancel);
    connect(m_pBrowseDest, &QPushButton::clicked, this, [this] {
        QString folder = qm::ui::PickFolder(this, QStringLiteral("Select Folder:"), m_pDestDir->text());
        if (!folder.isEmpty()) m_pDestDir->setText(folder);
    });
    connect(m_pBrowseLog, &QPushButton::clicked, this, [this] {
        QString folder = qm::ui::PickFolder(this, QStringLiteral("Select Folder:"), m_pLogDir->text());
        if (!folder.isEmpty()) m_pLogDir->setText(folder);
    });

    Load();
}

void CSetDlg::Load() {
    CStoredSettings stored;
    m_fields = stored.Load() ? stored : CStoredSettings::PageDefaults();
    ShowFields();
}

void CSetDlg::Default() {
    m_fields = CStoredSettings::PageDefaults();
    ShowFields();
}

void CSetDlg::Save() {
    if (!ReadFields()) return;
    static_cast<CStoredSettings&>(m_pJob->m_settings) = m_fields;
    // A file that cannot be written leaves the record changed and nothing
    // stored, silently, as a registry failure did.
    m_fields.Save();
    emit selectConvertTab();
    emit showConvertPage();
}

void CSetDlg::Cancel() { emit showConvertPage(); }

void CSetDlg::ShowFields() {
    m_pDestDir->setText(FromPath(m_fields.m_strDestDir));
    Select(m_pDocFormat, m_fields.m_strDocFormat);
    Select(m_pAutoOpen, m_fields.m_strAutoOpen);
    m_pLogDir->setText(FromPath(m_fields.m_strLogDir));
    Select(m_pLayout, m_fields.m_strLayout);
    Select(m_pImageFilter, m_fields.m_strImageFilter);
    Select(m_pPreserve, m_fields.m_strPreserve);
    // AllPages holds "Yes", "No" or a range text; a range means "No" with
    // that range.
    const std::string& all = m_fields.m_strAllPages;
    const bool every = all == "Yes";
    Select(m_pAllPages, every ? "Yes" : "No");
    m_pPageRange->setText(every || all == "No" ? QString()
                                               : QString::fromUtf8(all.data(), static_cast<qsizetype>(all.size())));
    m_pPageRange->setEnabled(!every);
}

bool CSetDlg::ReadFields() {
    std::string all = "Yes";
    if (Text(m_pAllPages) != "Yes") {
        all = m_pPageRange->text().trimmed().toUtf8().toStdString();
        std::vector<CPageSpan> spans;
        if (all.empty()) {
            all = "No";
        } else if (const QString problem = PageRangeMessage(ParsePageRange(all, spans)); !problem.isEmpty()) {
            qm::ui::ShowMessageBox(this, problem, QStringLiteral("Quillmark"), QMessageBox::Warning);
            m_pPageRange->setFocus();
            return false;
        }
    }
    m_fields.m_strDestDir = ToPath(m_pDestDir->text());
    m_fields.m_strDocFormat = Text(m_pDocFormat);
    m_fields.m_strAutoOpen = Text(m_pAutoOpen);
    m_fields.m_strLogDir = ToPath(m_pLogDir->text());
    m_fields.m_strLayout = Text(m_pLayout);
    m_fields.m_strImageFilter = Text(m_pImageFilter);
    m_fields.m_strPreserve = Text(m_pPreserve);
    m_fields.m_strAllPages = all;
    return true;
}
