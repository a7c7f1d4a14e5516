// The conversion page: the list of PDF files with their sizes and page
// counts, the output folder, the page range, the output format and the
// conversion method. Before every run it fills the job's request from its
// controls (PrepareRequest).
#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class MyConvertPara;

class CCONVERTERDlg : public QWidget {
    Q_OBJECT
public:
    explicit CCONVERTERDlg(MyConvertPara* job, QWidget* parent = nullptr);

    // Lists each path not listed yet, with its size and page count; a path
    // already listed gets the warning "Convert PDF File existing.".
    void AddFiles(const QStringList& paths);
    // Validates the page and fills the job's request; false (after telling
    // the user why) when nothing may start.
    bool PrepareRequest();
    // Empties the list and the job's file array.
    void ResetList();

    QTableWidget* m_pList = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pRemove = nullptr;
    QPushButton* m_pRemoveAll = nullptr;
    QLineEdit* m_pOutDir = nullptr;
    QPushButton* m_pBrowse = nullptr;
    QRadioButton* m_pAllPages = nullptr;
    QRadioButton* m_pPageNumber = nullptr;
    QLineEdit* m_pPageRange = nullptr;
    QRadioButton* m_pRtf = nullptr;
    QRadioButton* m_pDoc = nullptr;
    QRadioButton* m_pWizard = nullptr;
    QRadioButton* m_pFast = nullptr;

public slots:
    void OnAdd();
    void OnRemove();
    void OnRemoveAll();
    void OnBrowse();

private:
    MyConvertPara* m_pJob;
};
