// The worker of a run.
#include "ui/convert_thread.h"

#include "control/batch_runner.h"
#include "control/outcome_reason.h"
#include "ui/my_convert_para.h"

namespace {
// Lets the interface finish showing the progress page before the first
// callback arrives.
constexpr unsigned long kStartDelayMs = 100;
}  // namespace

CConvertThread::CConvertThread(MyConvertPara* job, QObject* parent) : QThread(parent), m_pJob(job) {}

void CConvertThread::run() {
    QThread::msleep(kStartDelayMs);
    MyConvertPara* job = m_pJob;
    // The cancel flag was cleared when the run started; clearing it here,
    // after the start delay, would lose a cancel made in the meantime.
    const bool documentRun = job->m_nKind != kRunExtractImages;
    job->m_strOutDir = job->m_settings.m_strDestDir;
    if (!job->OpenRunLog(job->m_settings.m_strLogDir))
        job->ShowMessage("The log file of this run cannot be written in the log folder.");
    const std::vector<CFileOutcome> outcomes = CBatchRunner(job).Run(job->m_files);
    job->CloseRunLog();
    job->m_gate.WaitWhilePaused();
    if (job->m_nCancel != 0) {
        emit runCancelled();
        return;
    }
    QString lastOutput;
    QStringList failed;
    for (const CFileOutcome& outcome : outcomes) {
        if (outcome.m_result == ConvertResult::kOk)
            lastOutput = FromPath(outcome.m_strTarget);
        else  // the reason stays with the name once the progress list is gone
            failed.append(FromPath(outcome.m_strSource) + ": " +
                          FromPath(ReasonFor(outcome, !job->PasswordFor(outcome.m_strSource).empty())));
    }
    emit runFinished(lastOutput, failed, documentRun);
}
