// The application's job object and its pause gate.
#include "ui/my_convert_para.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QThread>

#include "control/outcome_reason.h"
#include "ui/progress_dlg.h"

QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

void CPauseGate::Pause() {
    QMutexLocker lock(&m_mutex);
    m_bPaused = true;
}

void CPauseGate::Resume() {
    QMutexLocker lock(&m_mutex);
    m_bPaused = false;
    m_resumed.wakeAll();
}

void CPauseGate::WaitWhilePaused() {
    QMutexLocker lock(&m_mutex);
    while (m_bPaused) m_resumed.wait(&m_mutex);
}

bool CPauseGate::IsPaused() {
    QMutexLocker lock(&m_mutex);
    return m_bPaused;
}

MyConvertPara::MyConvertPara(QObject* parent) : QObject(parent) {}

MyConvertPara::~MyConvertPara() = default;

void MyConvertPara::AttachProgress(CConversionProgressDlg* page) {
    for (const auto& c : m_connections) disconnect(c);
    m_connections.clear();
    m_pProgress = page;
    if (page == nullptr) return;
    m_connections = {
        connect(this, &MyConvertPara::progressRequested, page, &CConversionProgressDlg::SetProgress,
                Qt::BlockingQueuedConnection),
        connect(this, &MyConvertPara::messageRequested, page, &CConversionProgressDlg::SetStatusText,
                Qt::BlockingQueuedConnection),
        connect(this, &MyConvertPara::fileStartedRequested, page, &CConversionProgressDlg::AddRow,
                Qt::BlockingQueuedConnection),
        connect(this, &MyConvertPara::fileFinishedRequested, page, &CConversionProgressDlg::MarkDone,
                Qt::BlockingQueuedConnection),
    };
}

template <typename Direct, typename Emit>
void MyConvertPara::Forward(Direct direct, Emit emitSignal) {
    CConversionProgressDlg* page = m_pProgress.load();
    if (page == nullptr) return;
    m_gate.WaitWhilePaused();
    if (QThread::currentThread() == page->thread())
        direct(page);
    else
        emitSignal();
}

void MyConvertPara::ShowProgress(int32_t percent) {
    Forward([&](CConversionProgressDlg* p) { p->SetProgress(percent); }, [&] { emit progressRequested(percent); });
}

bool MyConvertPara::OpenRunLog(const std::string& folder) {
    CloseRunLog();
    const QString dir = FromPath(folder);
    if (dir.isEmpty() || !QDir().mkpath(dir)) return false;
    const QString stem = dir + "/quillmark-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    // Two runs within a second keep both logs.
    for (int n = 1; n < 100; ++n) {
        auto file = std::make_unique<QFile>(n == 1 ? stem + ".log" : stem + "-" + QString::number(n) + ".log");
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Text)) {
            m_strRunLog = file->fileName();
            m_pLog = std::move(file);
            return true;
        }
        if (!file->exists()) return false;
    }
    return false;
}

void MyConvertPara::CloseRunLog() { m_pLog.reset(); }

void MyConvertPara::LogLine(const QString& line) {
    if (!m_pLog) return;
    m_pLog->write(line.toUtf8() + '\n');
    m_pLog->flush();
}

void MyConvertPara::ShowMessage(const char* text) {
    const QString t = QString::fromLatin1(text);
    LogLine(t);
    Forward([&](CConversionProgressDlg* p) { p->SetStatusText(t); }, [&] { emit messageRequested(t); });
}

void MyConvertPara::FileStarted(const std::string& source, const std::string& target) {
    const QString s = FromPath(source), t = FromPath(target);
    Forward([&](CConversionProgressDlg* p) { p->AddRow(s, t); }, [&] { emit fileStartedRequested(s, t); });
}

std::string MyConvertPara::PasswordFor(const std::string& source) const {
    const auto it = m_passwords.find(source);
    return it != m_passwords.end() ? it->second : m_strUserPassword;
}

void MyConvertPara::FileFinished(const CFileOutcome& outcome) {
    const QString s = FromPath(outcome.m_strSource), t = FromPath(outcome.m_strTarget);
    const bool passwordGiven = !PasswordFor(outcome.m_strSource).empty();
    if (outcome.m_bNotStarted) LogLine(s + ": not converted (cancelled)");
    else if (outcome.m_bAbandoned) LogLine(s + ": stopped, no document written");
    else if (outcome.m_result != ConvertResult::kOk) LogLine(s + ": " + FromPath(ReasonFor(outcome, passwordGiven)));
    else LogLine(s + " -> " + t + (outcome.m_bPagesLeft ? " (cancelled: pages converted so far)" : ""));
    if (outcome.m_bCancelled) return;
    // Windows marked every file "Success" as it could not tell a failure.
    const QString status =
        outcome.m_result == ConvertResult::kOk ? QStringLiteral("Success") : QStringLiteral("Failed");
    const QString reason = FromPath(ReasonFor(outcome, passwordGiven));
    Forward([&](CConversionProgressDlg* p) { p->MarkDone(s, t, status, reason); },
            [&] { emit fileFinishedRequested(s, t, status, reason); });
}
