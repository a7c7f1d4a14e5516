// The progress page.
#include "ui/progress_dlg.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/my_convert_para.h"
#include "ui/ui_hooks.h"

namespace {

// Paths lose their beginning when cut short, a reason its end.
class CElideRight : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
    }
};

}  // namespace

CConversionProgressDlg::CConversionProgressDlg(MyConvertPara* job, QWidget* parent) : QWidget(parent), m_pJob(job) {
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Conversion Progress"), this);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    title->setFont(bold);
    layout->addWidget(title);

    // The reason of a failure stays in its row; the status line shows it
    // only until the next file begins.
    m_pList = new QTableWidget(0, 4, this);
    m_pList->setHorizontalHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Destination"),
                                        QStringLiteral("Status"), QStringLiteral("Reason")});
    m_pList->verticalHeader()->hide();
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setWordWrap(false);
    m_pList->setTextElideMode(Qt::ElideLeft);
    m_pList->setColumnWidth(0, 150);
    m_pList->setColumnWidth(1, 230);
    m_pList->setColumnWidth(2, 70);
    m_pList->setItemDelegateForColumn(3, new CElideRight(m_pList));
    m_pList->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_pList, 1);

    m_pStatus = new QLabel(this);
    layout->addWidget(m_pStatus);
    m_pBar = new QProgressBar(this);
    m_pBar->setRange(0, 100);
    m_pBar->setValue(0);
    layout->addWidget(m_pBar);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(m_pCancel);
    layout->addLayout(buttons);
    connect(m_pCancel, &QPushButton::clicked, this, &CConversionProgressDlg::OnCancel);
}

QString CConversionProgressDlg::StatusText() const { return m_pStatus->text(); }

int CConversionProgressDlg::Progress() const { return m_pBar->value(); }

int CConversionProgressDlg::RowOf(const QString& file) const {
    for (int row = 0; row < m_pList->rowCount(); ++row)
        if (m_pList->item(row, 0)->data(Qt::UserRole).toString() == file) return row;
    return -1;
}

QString CConversionProgressDlg::StatusOf(const QString& file) const {
    const int row = RowOf(file);
    return row < 0 ? QString() : m_pList->item(row, 2)->text();
}

QString CConversionProgressDlg::ReasonOf(const QString& file) const {
    const int row = RowOf(file);
    return row < 0 ? QString() : m_pList->item(row, 3)->text();
}

void CConversionProgressDlg::AddRow(const QString& file, const QString& destination) {
    int row = m_pList->rowCount();
    m_pList->insertRow(row);
    // The name shows, the path is the tooltip and what rows are found by.
    auto* name = new QTableWidgetItem(QFileInfo(file).fileName());
    name->setData(Qt::UserRole, file);
    name->setToolTip(file);
    m_pList->setItem(row, 0, name);
    auto* target = new QTableWidgetItem(destination);
    target->setToolTip(destination);
    m_pList->setItem(row, 1, target);
    m_pList->setItem(row, 2, new QTableWidgetItem(QStringLiteral("Converting...")));
    m_pList->setItem(row, 3, new QTableWidgetItem);
}

void CConversionProgressDlg::MarkDone(const QString& file, const QString& destination, const QString& status,
                                      const QString& reason) {
    bool found = false;
    for (int row = 0; row < m_pList->rowCount(); ++row) {
        if (m_pList->item(row, 0)->data(Qt::UserRole).toString() != file) continue;
        found = true;
        if (!destination.isEmpty()) {
            m_pList->item(row, 1)->setText(destination);
            m_pList->item(row, 1)->setToolTip(destination);
        }
        m_pList->item(row, 2)->setText(status);
        m_pList->item(row, 3)->setText(reason);
        m_pList->item(row, 3)->setToolTip(reason);
        m_pList->item(row, 2)->setToolTip(reason);
    }
    if (!found) {
        AddRow(file, destination);
        MarkDone(file, destination, status, reason);
    }
}

void CConversionProgressDlg::SetProgress(int percent) { m_pBar->setValue(std::clamp(percent, 0, 100)); }

void CConversionProgressDlg::SetStatusText(const QString& text) { m_pStatus->setText(text); }

void CConversionProgressDlg::ClearList() { m_pList->setRowCount(0); }

void CConversionProgressDlg::Reset() {
    ClearList();
    m_pBar->setValue(0);
    m_pStatus->clear();
}

void CConversionProgressDlg::OnCancel() {
    if (!m_pJob->m_bBusy) return;
    m_pJob->m_gate.Pause();
    int answer = qm::ui::ShowMessageBox(this, QStringLiteral("Do you want to cancel conversion Process?"),
                                        QStringLiteral("Quillmark"), QMessageBox::Information,
                                        {QStringLiteral("&Yes"), QStringLiteral("&No")});
    if (answer == 0) emit endRunRequested();
    m_pJob->m_gate.Resume();
}
