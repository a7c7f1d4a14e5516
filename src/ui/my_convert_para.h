// The job object of the desktop application: the conversion job of the core
// plus the settings record and the request state of the main window. Its
// callbacks run on the worker thread and reach the progress page through
// blocking queued signals, so every widget update happens on the interface
// thread while the worker waits for it.
#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control/convert_para.h"
#include "ui/app_settings.h"

class CConversionProgressDlg;
class QFile;
class QThread;

// Holds the worker at its next callback while the interface asks the user
// whether to cancel (the Windows program suspended the thread instead).
class CPauseGate {
public:
    void Pause();
    void Resume();
    void WaitWhilePaused();
    bool IsPaused();

private:
    QMutex m_mutex;
    QWaitCondition m_resumed;
    bool m_bPaused = false;
};

class MyConvertPara : public QObject, public CConvertPara {
    Q_OBJECT
public:
    explicit MyConvertPara(QObject* parent = nullptr);
    ~MyConvertPara() override;

    // Each does nothing on screen without a progress page; messages and
    // results still go to the run's log file.
    void ShowProgress(int32_t percent) override;
    void ShowMessage(const char* text) override;
    void FileStarted(const std::string& source, const std::string& target) override;
    // Logs the file's result and marks its rows "Success", or "Failed" when
    // it did not convert, and shows its target as their destination. A file
    // the user cancelled keeps its rows as they are.
    void FileFinished(const CFileOutcome& outcome) override;
    // The password typed for a locked file when it was listed.
    std::string PasswordFor(const std::string& source) const override;

    // Connects the callbacks to `page`; null detaches them.
    void AttachProgress(CConversionProgressDlg* page);

    // The log file of a run, in `folder` (made when missing): the lines the
    // command line shows with -v and one result line per file, named after
    // the run's start time. Opened and closed by the worker, which alone
    // writes it; false (and the run goes on without a log) when the file
    // cannot be made.
    bool OpenRunLog(const std::string& folder);
    void CloseRunLog();
    // The last log file opened; empty before the first.
    const QString& RunLogPath() const { return m_strRunLog; }
    CConversionProgressDlg* Progress() const { return m_pProgress.load(); }

    AppSettings m_settings;
    // Request state of the main window.
    std::vector<std::string> m_files;  // full paths in list order
    // Passwords of locked files, by path: each file may have its own. Read
    // by the worker, written only while no run is under way.
    std::map<std::string, std::string> m_passwords;
    bool m_bAllPages = true;
    bool m_bUseWizard = false;
    int32_t m_nImageFormat = 0;  // index of the picture format (see the picture wizard)
    bool m_bBusy = false;        // a run is under way; read and written on the interface thread
    QThread* m_pThread = nullptr;
    CPauseGate m_gate;

signals:
    void progressRequested(int percent);
    void messageRequested(const QString& text);
    void fileStartedRequested(const QString& source, const QString& target);
    void fileFinishedRequested(const QString& source, const QString& target, const QString& status,
                               const QString& reason);

private:
    // Emits through the blocking connection from the worker, or calls the
    // page directly on the interface thread (a blocking connection to the
    // own thread would deadlock).
    template <typename Direct, typename Emit>
    void Forward(Direct direct, Emit emitSignal);

    void LogLine(const QString& line);

    std::atomic<CConversionProgressDlg*> m_pProgress{nullptr};
    std::unique_ptr<QFile> m_pLog;
    QString m_strRunLog;
    std::vector<QMetaObject::Connection> m_connections;
};

// Why a file failed, as the user can act on it; empty for a converted file.
// `passwordGiven`: a password was tried on the file.

// Paths travel as the file system's bytes.
QString FromPath(const std::string& path);
std::string ToPath(const QString& path);
