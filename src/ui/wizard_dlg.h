// The frame of the conversion wizards: numbered pages shown one at a time
// and the buttons "Cancel", "< Back", "Next >", "Last >>" and "Finish". A page
// loads its fields from the job when it is shown and stores them when it is
// hidden, so leaving a page is what commits its choices.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class MyConvertPara;

class CWizardPage : public QWidget {
    Q_OBJECT
public:
    CWizardPage(MyConvertPara* job, const QString& title, QWidget* parent = nullptr);

    // Loads the page's controls from the job.
    virtual void OnShow() {}
    // Stores the page's controls into the job.
    virtual void OnHide() {}

protected:
    MyConvertPara* m_pJob;
    QVBoxLayout* m_pBody;
};

class CWizardDlg : public QWidget {
    Q_OBJECT
public:
    CWizardDlg(MyConvertPara* job, QWidget* parent = nullptr);

    // Pages are numbered from 1 in the order they are added.
    void AddPage(CWizardPage* page);
    // Shows page n (clamped to 1 and the page count): the page shown so far
    // is hidden (and stores its fields) and page n shown (and loads them).
    void ShowPage(int n);
    // Page 1 again, every page loading afresh.
    virtual void Reset();

    int CurrentPage() const { return m_nCurrent; }
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    CWizardPage* Page(int n) const;

    QPushButton* m_pCancel = nullptr;
    QPushButton* m_pBack = nullptr;
    QPushButton* m_pNext = nullptr;
    QPushButton* m_pLast = nullptr;
    QPushButton* m_pFinish = nullptr;

public slots:
    void OnNext();
    void OnLast();
    void OnBack();
    void OnCancel();
    void OnFinish();

signals:
    // The main window shows the conversion page again.
    void closeRequested();
    // The main window starts the run.
    void finishRequested();

protected:
    struct Entry {
        int number;
        CWizardPage* page;
        bool shown;
    };
    MyConvertPara* m_pJob;
    std::vector<Entry> m_pages;
    int m_nCurrent = 0;
    QStackedWidget* m_pStack;
};

// A read-only line of a summary page.
class QLineEdit;
QLineEdit* SummaryLine(QWidget* page, QVBoxLayout* body, const QString& label);
