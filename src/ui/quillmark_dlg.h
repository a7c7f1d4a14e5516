// The main frame of the desktop application: the tab bar ("Convert PDF",
// "Settings", "Help", "About"), the action buttons "Convert to Word" and
// "Extract Images", and the pages, one shown at a time. It starts a run
// (directly or through a wizard), owns the worker thread of the run and
// takes the run's end back from it.
#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;
class QStackedWidget;
class CAboutDlg;
class CCONVERTERDlg;
class CConversionProgressDlg;
class CConvertThread;
class CSetDlg;
class CWizardExImageDlg;
class CWizardToWordDlg;
class MyConvertPara;

class CQuillmarkDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 771;
    static constexpr int kHeight = 563;

    explicit CQuillmarkDlg(MyConvertPara* job, QWidget* parent = nullptr);
    ~CQuillmarkDlg() override;

    QWidget* CurrentPage() const;
    bool TabBarVisible() const;

    QWidget* m_pTabBar = nullptr;
    QPushButton* m_pTabConvert = nullptr;
    QPushButton* m_pTabSettings = nullptr;
    QPushButton* m_pTabHelp = nullptr;
    QPushButton* m_pTabAbout = nullptr;
    QPushButton* m_pConvertToWord = nullptr;
    QPushButton* m_pExtractImages = nullptr;
    QStackedWidget* m_pPages = nullptr;
    CCONVERTERDlg* m_pConvertPage = nullptr;
    CSetDlg* m_pSetPage = nullptr;
    CAboutDlg* m_pAboutPage = nullptr;
    CWizardToWordDlg* m_pWordWizard = nullptr;
    CWizardExImageDlg* m_pImageWizard = nullptr;
    CConversionProgressDlg* m_pProgressPage = nullptr;

public slots:
    void OnConvertToWord();
    void OnExtractImages();
    void OnHelp();
    void ShowConvertPage();
    void ShowSettingsPage();
    void ShowAboutPage();
    // Applies the saved DocFormat, AutoOpen, AllPages and DestDir to the
    // conversion page and the request.
    void ApplySavedSettings();
    // Shows the progress page and starts the worker.
    void StartRun();
    // A wizard's Finish: the run starts when its page range can be read.
    void OnWizardFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    // PDFs dropped anywhere on the window go to the conversion page's list,
    // while no run or wizard is under way.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void OnEndRunRequested();
    void OnRunCancelled();
    void OnRunFinished(const QString& lastOutput, const QStringList& failed, bool documentRun);

private:
    void ShowPage(QWidget* page, bool tabBar);
    // The stored settings into the job and the conversion page.
    void LoadSettingsAtStart();
    // The end of every run: list, request and pages back to the start.
    void EndRun();

    MyConvertPara* m_pJob;
    QPointer<CConvertThread> m_pThread;
    bool m_bCloseAfterRun = false;
};
