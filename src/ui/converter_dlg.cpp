// The conversion page.
#include "ui/converter_dlg.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "control/convert_doc.h"
#include "control/page_range.h"
#include "ui/my_convert_para.h"
#include "ui/ui_hooks.h"
#include "ui/wizard_to_word.h"

namespace {

QGroupBox* Group(const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    QFont bold = box->font();
    bold.setBold(true);
    box->setFont(bold);
    return box;
}

// Children of a bold group box take the normal weight back.
template <typename T>
T* Plain(T* widget) {
    QFont f = widget->font();
    f.setBold(false);
    widget->setFont(f);
    return widget;
}

}  // namespace

CCONVERTERDlg::CCONVERTERDlg(MyConvertPara* job, QWidget* parent) : QWidget(parent), m_pJob(job) {
    auto* layout = new QVBoxLayout(this);

    auto* files = Group(QStringLiteral("PDF Files"), this);
    auto* filesLayout = new QVBoxLayout(files);
    m_pList = Plain(new QTableWidget(0, 3, files));
    m_pList->setHorizontalHeaderLabels(
        {QStringLiteral("PDF file"), QStringLiteral("file size"), QStringLiteral("pages")});
    // The name takes what the size and page columns leave of the width; the
    // full path is its tooltip.
    m_pList->setColumnWidth(1, 100);
    m_pList->setColumnWidth(2, 70);
    m_pList->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pList->horizontalHeader()->setFont(m_pList->font());
    m_pList->verticalHeader()->hide();
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setShowGrid(true);
    m_pList->setWordWrap(false);
    m_pList->setTextElideMode(Qt::ElideMiddle);
    filesLayout->addWidget(m_pList);
    auto* fileButtons = new QHBoxLayout;
    m_pAdd = Plain(new QPushButton(QStringLiteral("Add PDF Files"), files));
    m_pRemove = Plain(new QPushButton(QStringLiteral("Remove"), files));
    m_pRemoveAll = Plain(new QPushButton(QStringLiteral("Remove  All"), files));
    fileButtons->addWidget(m_pAdd);
    fileButtons->addWidget(m_pRemove);
    fileButtons->addWidget(m_pRemoveAll);
    fileButtons->addStretch(1);
    filesLayout->addLayout(fileButtons);
    layout->addWidget(files, 1);

    auto* outRow = new QHBoxLayout;
    outRow->addWidget(new QLabel(QStringLiteral("Save file to:"), this));
    m_pOutDir = new QLineEdit(FromPath(DefaultFolder()), this);
    outRow->addWidget(m_pOutDir, 1);
    m_pBrowse = new QPushButton(QStringLiteral("Browse"), this);
    outRow->addWidget(m_pBrowse);
    layout->addLayout(outRow);

    auto* groups = new QHBoxLayout;
    auto* range = Group(QStringLiteral("Page Range"), this);
    auto* rangeLayout = new QGridLayout(range);
    m_pAllPages = Plain(new QRadioButton(QStringLiteral("All Pages"), range));
    m_pPageNumber = Plain(new QRadioButton(QStringLiteral("Page Number:"), range));
    m_pPageRange = Plain(new QLineEdit(QStringLiteral("1"), range));
    rangeLayout->addWidget(m_pAllPages, 0, 0, 1, 2);
    rangeLayout->addWidget(m_pPageNumber, 1, 0);
    rangeLayout->addWidget(m_pPageRange, 1, 1);
    auto* rangeGroup = new QButtonGroup(this);
    rangeGroup->addButton(m_pAllPages);
    rangeGroup->addButton(m_pPageNumber);
    groups->addWidget(range);

    auto* format = Group(QStringLiteral("Output File Format"), this);
    auto* formatLayout = new QVBoxLayout(format);
    m_pRtf = Plain(new QRadioButton(QStringLiteral("Rich Text Format  (*.rtf)"), format));
    m_pDoc = Plain(new QRadioButton(QStringLiteral("Word Document  (*.doc)"), format));
    formatLayout->addWidget(m_pRtf);
    formatLayout->addWidget(m_pDoc);
    groups->addWidget(format);

    auto* method = Group(QStringLiteral("Conversion Methods"), this);
    auto* methodLayout = new QVBoxLayout(method);
    m_pWizard = Plain(new QRadioButton(QStringLiteral("Wizard Conversion"), method));
    m_pFast = Plain(new QRadioButton(QStringLiteral("Fast Conversion"), method));
    methodLayout->addWidget(m_pWizard);
    methodLayout->addWidget(m_pFast);
    groups->addWidget(method);
    layout->addLayout(groups);

    m_pAllPages->setChecked(true);
    m_pPageRange->setEnabled(false);
    m_pDoc->setChecked(true);
    m_pFast->setChecked(true);

    connect(m_pPageNumber, &QRadioButton::toggled, m_pPageRange, &QLineEdit::setEnabled);
    connect(m_pAdd, &QPushButton::clicked, this, &CCONVERTERDlg::OnAdd);
    connect(m_pRemove, &QPushButton::clicked, this, &CCONVERTERDlg::OnRemove);
    connect(m_pRemoveAll, &QPushButton::clicked, this, &CCONVERTERDlg::OnRemoveAll);
    connect(m_pBrowse, &QPushButton::clicked, this, &CCONVERTERDlg::OnBrowse);
}

void CCONVERTERDlg::AddFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        const std::string bytes = ToPath(path);
        if (std::find(m_pJob->m_files.begin(), m_pJob->m_files.end(), bytes) != m_pJob->m_files.end()) {
            qm::ui::ShowMessageBox(this, QStringLiteral("Convert PDF File existing."), QStringLiteral("Warning"),
                                   QMessageBox::Warning);
            continue;
        }
        bool locked = false;
        int pages = CConvertDoc::PageCount(bytes, m_pJob->PasswordFor(bytes), &locked);
        // A locked file asks for its password until it opens or the user
        // gives up; then it stays listed and fails with the reason.
        for (bool wrong = false; locked; wrong = true) {
            const std::optional<QString> password = qm::ui::AskPassword(this, path, wrong);
            if (!password) break;
            pages = CConvertDoc::PageCount(bytes, password->toStdString(), &locked);
            if (!locked) m_pJob->m_passwords[bytes] = password->toStdString();
        }
        const auto size = static_cast<uint64_t>(std::max<qint64>(QFileInfo(path).size(), 0));
        const int row = m_pList->rowCount();
        m_pList->insertRow(row);
        auto* name = new QTableWidgetItem(QFileInfo(path).fileName());
        name->setToolTip(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
        m_pList->setItem(row, 0, name);
        m_pList->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(FormatFileSize(size))));
        m_pList->setItem(row, 2, new QTableWidgetItem(QString::number(pages)));
        m_pJob->m_files.push_back(bytes);
    }
}

namespace {

// The local files of a drop; a drop of anything else (text, a web link)
// gives none.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

bool IsPdf(const QString& path) {
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) && file.read(1024).contains("%PDF-");
}

}  // namespace

bool CCONVERTERDlg::CanTakeDrop(const QMimeData* data) const { return !DroppedFiles(data).isEmpty(); }

void CCONVERTERDlg::AddDropped(const QMimeData* data) {
    const QStringList files = DroppedFiles(data);
    QStringList pdfs, refused;
    for (const QString& f : files) (IsPdf(f) ? pdfs : refused) << f;
    AddFiles(pdfs);
    if (!refused.isEmpty())
        qm::ui::ShowMessageBox(
            this, QStringLiteral("Only PDF files can be converted. Not added:\n%1").arg(refused.join('\n')),
            QStringLiteral("Quillmark"), QMessageBox::Warning);
}

void CCONVERTERDlg::OnAdd() { AddFiles(qm::ui::PickPdfFiles(this)); }

void CCONVERTERDlg::OnRemove() {
    const int row = m_pList->currentRow();
    if (row < 0 || m_pList->selectionModel()->selectedRows().isEmpty()) {
        qm::ui::ShowMessageBox(this, QStringLiteral("Please select a PDF file first."), QStringLiteral("Quillmark"),
                               QMessageBox::Warning);
        return;
    }
    m_pList->removeRow(row);
    if (row < static_cast<int>(m_pJob->m_files.size())) {
        m_pJob->m_passwords.erase(m_pJob->m_files[row]);
        m_pJob->m_files.erase(m_pJob->m_files.begin() + row);
    }
}

void CCONVERTERDlg::OnRemoveAll() { ResetList(); }

void CCONVERTERDlg::ResetList() {
    m_pList->setRowCount(0);
    m_pJob->m_files.clear();
    m_pJob->m_passwords.clear();
}

void CCONVERTERDlg::OnBrowse() {
    QString folder = qm::ui::PickFolder(this, QStringLiteral("Browse For Folder:"), m_pOutDir->text());
    if (!folder.isEmpty()) m_pOutDir->setText(folder);
}

bool CCONVERTERDlg::PrepareRequest() {
    MyConvertPara* job = m_pJob;
    AppSettings& s = job->m_settings;
    if (job->m_files.empty()) {
        qm::ui::ShowMessageBox(this, QStringLiteral("Please add a PDF file first."), QStringLiteral("Quillmark"),
                               QMessageBox::Warning);
        return false;
    }
    s.m_strDestDir = ToPath(m_pOutDir->text());
    if (m_pAllPages->isChecked()) {
        job->m_bAllPages = true;
        job->m_nPageFlags |= 1;
        s.m_strAllPages = "Yes";
    } else {
        job->m_bAllPages = false;
        job->m_nPageFlags &= ~0xFu;
        s.m_strAllPages = m_pPageRange->text().toStdString();
        if (const QString problem = PageRangeMessage(ParsePageRange(s.m_strAllPages, job->m_pages));
            !problem.isEmpty()) {
            qm::ui::ShowMessageBox(this, problem, QStringLiteral("Quillmark"), QMessageBox::Warning);
            m_pPageRange->setFocus();
            return false;
        }
    }
    if (m_pRtf->isChecked()) {
        job->m_nOutputFormat = 0;
        s.m_strDocFormat = "rtf";
    } else {
        job->m_nOutputFormat = 1;
        s.m_strDocFormat = "doc";
    }
    job->m_bUseWizard = m_pWizard->isChecked();
    if (s.m_strDestDir.empty()) {
        qm::ui::ShowMessageBox(this, QStringLiteral("Please Input the saved path!"), QStringLiteral("Quillmark"),
                               QMessageBox::Warning);
        return false;
    }
    std::string first = job->m_files.front();
    auto slash = first.find_last_of('/');
    s.m_strSourceDir = slash == std::string::npos ? std::string("./") : first.substr(0, slash + 1);
    return true;
}
