// The progress page.
#include "ui/progress_dlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/my_convert_para.h"
#include "ui/ui_hooks.h"

CConversionProgressDlg::CConversionProgressDlg(MyConvertPara* job, QWidget* parent) : QWidget(parent), m_pJob(job) {
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Conversion Progress"), this);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    title->setFont(bold);
    layout->addWidget(title);

    m_pList = new QTableWidget(0, 3, this);
    m_pList->setHorizontalHeaderLabels(
        {QStringLiteral("File Name"), QStringLiteral("Destination"), QStringLiteral("Status")});
    m_pList->verticalHeader()->hide();
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setWordWrap(false);
    m_pList->setTextElideMode(Qt::ElideLeft);
    m_pList->setColumnWidth(0, 280);
    m_pList->setColumnWidth(1, 280);
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

QString CConversionProgressDlg::StatusOf(const QString& file) const {
    for (int row = 0; row < m_pList->rowCount(); ++row)
        if (m_pList->item(row, 0)->text() == file) return m_pList->item(row, 2)->text();
    return {};
}

void CConversionProgressDlg::AddRow(const QString& file, const QString& destination) {
    int row = m_pList->rowCount();
    m_pList->insertRow(row);
    m_pList->setItem(row, 0, new QTableWidgetItem(file));
    m_pList->setItem(row, 1, new QTableWidgetItem(destination));
    m_pList->setItem(row, 2, new QTableWidgetItem(QStringLiteral("Converting...")));
}

void CConversionProgressDlg::MarkDone(const QString& file, const QString& destination, const QString& status) {
    bool found = false;
    for (int row = 0; row < m_pList->rowCount(); ++row) {
        if (m_pList->item(row, 0)->text() != file) continue;
        found = true;
        if (!destination.isEmpty()) m_pList->item(row, 1)->setText(destination);
        m_pList->item(row, 2)->setText(status);
    }
    if (!found) {
        AddRow(file, destination);
        m_pList->item(m_pList->rowCount() - 1, 2)->setText(status);
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
