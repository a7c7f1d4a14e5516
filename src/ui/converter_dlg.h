// The conversion page: the list of PDF files with their sizes and page
// counts, the output folder, the page range, the output format and the
// conversion method. Before every run it fills the job's request from its
// controls (PrepareRequest).
#pragma once

#include <QWidget>

class QLineEdit;
class QMimeData;
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

    // Files dropped from a file manager (text/uri-list): whether the drop
    // holds any local file, and listing its PDFs as if added; other files
    // are refused with a message naming them.
    bool CanTakeDrop(const QMimeData* data) const;
    void AddDropped(const QMimeData* data);

public slots:
    void OnAdd();
    void OnRemove();
    void OnRemoveAll();
    void OnBrowse();

private:
    MyConvertPara* m_pJob;
};
