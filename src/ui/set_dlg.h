// The settings page: shows the stored settings from its creation on, puts
// back the page defaults on "Default", and on "Save" copies its fields into
// the job's settings record and stores them.
#pragma once

#include <QWidget>

#include "ui/app_settings.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class MyConvertPara;

class CSetDlg : public QWidget {
    Q_OBJECT
public:
    explicit CSetDlg(MyConvertPara* job, QWidget* parent = nullptr);

    // The page's own copy of the nine values.
    const CStoredSettings& Fields() const { return m_fields; }

    QLineEdit* m_pDestDir = nullptr;
    QPushButton* m_pBrowseDest = nullptr;
    QComboBox* m_pDocFormat = nullptr;
    QComboBox* m_pAutoOpen = nullptr;
    QLineEdit* m_pLogDir = nullptr;
    QPushButton* m_pBrowseLog = nullptr;
    QComboBox* m_pLayout = nullptr;
    QComboBox* m_pImageFilter = nullptr;
    QComboBox* m_pPreserve = nullptr;
    // "Yes", or "No" with the range of the conversion page's "Page
    // Number:" in its own field (empty: the choice made there stays).
    QComboBox* m_pAllPages = nullptr;
    QLineEdit* m_pPageRange = nullptr;
    QPushButton* m_pLoad = nullptr;
    QPushButton* m_pDefault = nullptr;
    QPushButton* m_pSave = nullptr;
    QPushButton* m_pCancel = nullptr;

public slots:
    // The stored values, or the page defaults when none are stored.
    void Load();
    void Default();
    void Save();
    void Cancel();

signals:
    // After a save: first the tab bar goes back to "Convert PDF" (the main
    // window applies the saved values then), then the conversion page shows.
    void selectConvertTab();
    void showConvertPage();

private:
    void ShowFields();
    // False, with a message naming the bad part, when the range field holds
    // no page range.
    bool ReadFields();

    MyConvertPara* m_pJob;
    CStoredSettings m_fields;
};
