// The wizard of a conversion to a document: layout, image filter, character
// spacing, page range, and a summary that fills the job's request.
#pragma once

#include <QString>
#include <string>

#include "ui/wizard_dlg.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CWizardToWordSetp1Dlg : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardToWordSetp1Dlg(MyConvertPara* job, QWidget* parent = nullptr);
    void OnShow() override;
    void OnHide() override;
    // In the order of the Layout names "FLOWING", "NO IMAGES", "PlAIN TEXT",
    // "EXACT". The texts are labels beside the buttons, as a radio button
    // cannot wrap its text to the page's width.
    QRadioButton* m_pLayouts[4] = {};
    QLabel* m_pLayoutTexts[4] = {};
};

class CWizardToWordSetp2Dlg : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardToWordSetp2Dlg(MyConvertPara* job, QWidget* parent = nullptr);
    void OnShow() override;
    void OnHide() override;
    QRadioButton* m_pRemove = nullptr;
    QRadioButton* m_pAnchor = nullptr;
};

class CWizardToWordSetp3Dlg : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardToWordSetp3Dlg(MyConvertPara* job, QWidget* parent = nullptr);
    void OnShow() override;
    void OnHide() override;
    QRadioButton* m_pYes = nullptr;
    QRadioButton* m_pNo = nullptr;
};

class CWizardToWordSetp4Dlg : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardToWordSetp4Dlg(MyConvertPara* job, QWidget* parent = nullptr);
    void OnShow() override;
    void OnHide() override;
    QRadioButton* m_pAll = nullptr;
    QRadioButton* m_pPageNumber = nullptr;
    QLineEdit* m_pRange = nullptr;
};

class CWizardToWordSetp5Dlg : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardToWordSetp5Dlg(MyConvertPara* job, QWidget* parent = nullptr);
    void OnShow() override;
    QLineEdit* m_pSource = nullptr;
    QLineEdit* m_pOutput = nullptr;
    QLineEdit* m_pFormat = nullptr;
    QLineEdit* m_pRange = nullptr;
    QLineEdit* m_pLayout = nullptr;
    QLineEdit* m_pImageFilter = nullptr;
    QLineEdit* m_pPreserve = nullptr;
    QCheckBox* m_pOnlyLast = nullptr;
};

class CWizardToWordDlg : public CWizardDlg {
    Q_OBJECT
public:
    explicit CWizardToWordDlg(MyConvertPara* job, QWidget* parent = nullptr);
    // Page 1 again, the image filter back at the saved choice.
    void Reset() override;

    CWizardToWordSetp1Dlg* m_pStep1;
    CWizardToWordSetp2Dlg* m_pStep2;
    CWizardToWordSetp3Dlg* m_pStep3;
    CWizardToWordSetp4Dlg* m_pStep4;
    CWizardToWordSetp5Dlg* m_pStep5;
};

// Applies a page-range choice of a wizard to the request: "Yes" selects
// every page, anything else is parsed into the page list. Returns what is
// wrong with a text that is no page range, empty when nothing is.
std::string ApplyPageChoice(MyConvertPara* job, const std::string& allPages);
// The message that stops a run whose chosen page range cannot be read
// (it names the bad part), empty when the range is fine.
QString PageRangeProblem(const MyConvertPara* job);
// That message for an error of ParsePageRange, empty for none.
QString PageRangeMessage(const std::string& error);
