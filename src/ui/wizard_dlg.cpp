// The wizard frame and page base.
#include "ui/wizard_dlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

CWizardPage::CWizardPage(MyConvertPara* job, const QString& title, QWidget* parent)
    : QWidget(parent), m_pJob(job) {
    m_pBody = new QVBoxLayout(this);
    auto* heading = new QLabel(title, this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 3);
    heading->setFont(bold);
    m_pBody->addWidget(heading);
    m_pBody->addSpacing(8);
}

CWizardDlg::CWizardDlg(MyConvertPara* job, QWidget* parent) : QWidget(parent), m_pJob(job) {
    auto* layout = new QVBoxLayout(this);
    m_pStack = new QStackedWidget(this);
    layout->addWidget(m_pStack, 1);

    auto* buttons = new QHBoxLayout;
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pBack = new QPushButton(QStringLiteral("< Back"), this);
    m_pNext = new QPushButton(QStringLiteral("Next >"), this);
    m_pLast = new QPushButton(QStringLiteral("Last >>"), this);
    m_pFinish = new QPushButton(QStringLiteral("Finish"), this);
    buttons->addWidget(m_pCancel);
    buttons->addStretch(1);
    for (QPushButton* b : {m_pBack, m_pNext, m_pLast, m_pFinish}) buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(m_pCancel, &QPushButton::clicked, this, &CWizardDlg::OnCancel);
    connect(m_pBack, &QPushButton::clicked, this, &CWizardDlg::OnBack);
    connect(m_pNext, &QPushButton::clicked, this, &CWizardDlg::OnNext);
    connect(m_pLast, &QPushButton::clicked, this, &CWizardDlg::OnLast);
    connect(m_pFinish, &QPushButton::clicked, this, &CWizardDlg::OnFinish);
}

void CWizardDlg::AddPage(CWizardPage* page) {
    m_pages.push_back({PageCount() + 1, page, false});
    m_pStack->addWidget(page);
}

CWizardPage* CWizardDlg::Page(int n) const {
    for (const Entry& e : m_pages)
        if (e.number == n) return e.page;
    return nullptr;
}

void CWizardDlg::ShowPage(int n) {
    const int count = PageCount();
    if (n < count) {
        if (n < 1) n = 1;
        m_pNext->setVisible(true);
        m_pLast->setVisible(true);
        m_pFinish->setVisible(false);
    } else {
        n = count;
        m_pNext->setVisible(false);
        m_pLast->setVisible(false);
        m_pFinish->setVisible(true);
    }
    m_pBack->setEnabled(true);
    m_pNext->setEnabled(true);

    // Hide before show: the page that is left stores what the next one
    // loads (the layout chosen on page 1 decides page 2).
    for (Entry& e : m_pages) {
        if (e.number != n && e.shown) {
            e.page->OnHide();
            e.shown = false;
        }
    }
    for (Entry& e : m_pages) {
        if (e.number == n && !e.shown) {
            e.page->OnShow();
            e.shown = true;
            m_pStack->setCurrentWidget(e.page);
        }
    }
    m_nCurrent = n;
}

void CWizardDlg::Reset() {
    // Opening the wizard starts from the job's current values, not from
    // what a page showed when the wizard was last closed.
    for (Entry& e : m_pages) e.shown = false;
    ShowPage(1);
}

void CWizardDlg::OnNext() { ShowPage(m_nCurrent + 1); }

void CWizardDlg::OnLast() { ShowPage(PageCount()); }

void CWizardDlg::OnBack() {
    if (m_nCurrent <= 1) {
        emit closeRequested();
        return;
    }
    ShowPage(m_nCurrent - 1);
}

void CWizardDlg::OnCancel() {
    for (Entry& e : m_pages) {
        if (e.number == m_nCurrent && e.shown) {
            e.page->OnHide();
            e.shown = false;
        }
    }
    emit closeRequested();
}

void CWizardDlg::OnFinish() { emit finishRequested(); }

QLineEdit* SummaryLine(QWidget* page, QVBoxLayout* body, const QString& label) {
    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(label, page);
    caption->setMinimumWidth(240);
    auto* value = new QLineEdit(page);
    value->setReadOnly(true);
    row->addWidget(caption);
    row->addWidget(value, 1);
    body->addLayout(row);
    return value;
}
