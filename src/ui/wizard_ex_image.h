// The wizard of a picture extraction: format, destination and page range,
// then a summary that picks the Ghostscript device and makes the run a
// picture extraction.
#pragma once

#include "ui/wizard_dlg.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

struct ImageFormatEntry {
    const char* name;
    int index;
    const char* device;
};
// The formats offered. "PSD" (index 6) is left out: Ghostscript has no
// device that writes it.
extern const ImageFormatEntry kImageFormats[9];

class CWizardExtractImage1Dlg : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardExtractImage1Dlg(MyConvertPara* job, QWidget* parent = nullptr);
    void OnShow() override;
    void OnHide() override;
    QListWidget* m_pFormats = nullptr;
    QLineEdit* m_pDestination = nullptr;
    QPushButton* m_pBrowse = nullptr;
    QRadioButton* m_pPageNumbers = nullptr;
    QLineEdit* m_pRange = nullptr;
    QRadioButton* m_pAllPages = nullptr;
};

class CWizardExtractImage2Dlg : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardExtractImage2Dlg(MyConvertPara* job, QWidget* parent = nullptr);
    void OnShow() override;
    QLineEdit* m_pRange = nullptr;
    QLineEdit* m_pFormat = nullptr;
    QLineEdit* m_pDestination = nullptr;
};

class CWizardExImageDlg : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizardExImageDlg(MyConvertPara* job, QWidget* parent = nullptr);
    // The format name goes back to "JPG", then page 1.
    void Reset() override;

    CWizardExtractImage1Dlg* m_pStep1;
    CWizardExtractImage2Dlg* m_pStep2;
};
