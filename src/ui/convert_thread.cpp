// The worker of a run.
#include "ui/convert_thread.h"

#include "control/convert_doc.h"
#include "export/word_output.h"
#include "ui/my_convert_para.h"

namespace {
// Lets the interface finish showing the progress page before the first
// callback arrives.
constexpr unsigned long kStartDelayMs = 100;
}  // namespace

CConvertThread::CConvertThread(MyConvertPara* job, QObject* parent) : QThread(parent), m_pJob(job) {}

void CConvertThread::run() {
    QThread::msleep(kStartDelayMs);
    CRtf2Doc scope;
    MyConvertPara* job = m_pJob;
    // The cancel flag was cleared when the run started; clearing it here,
    // after the start delay, would lose a cancel made in the meantime.
    const bool documentRun = job->m_nKind != kRunExtractImages;
    const std::vector<std::string> files = job->m_files;

    QString lastOutput;
    QStringList failed;
    for (const std::string& path : files) {
        job->m_strSource = path;
        job->m_strOutDir = job->m_settings.m_strDestDir;
        job->m_nFirstPage = 1;
        job->m_nLastPage = -1;
        int result = CConvertDoc::Convert(job);
        if (job->m_nCancel != 0) {
            job->m_gate.WaitWhilePaused();
            emit runCancelled();
            return;
        }

        std::string target;
        if (documentRun) {
            target = job->m_strOutDir + "/" + job->m_strBaseName + ".rtf";
            // A failed conversion leaves its RTF file as the core left it;
            // only a finished document becomes a Word document.
            if (result == kResultOk && job->m_settings.m_strDocFormat == "doc") {
                std::string doc = job->m_strOutDir + "/" + job->m_strBaseName + ".doc";
                if (SaveAsWordDocument(target, doc))
                    target = doc;
                else
                    result = kResultOutputFailed;
            }
        } else {
            target = job->m_strOutDir + "/" + job->m_strBaseName;
        }
        job->m_nFileResult = result;
        job->FileFinished(path, target);
        if (result == kResultOk)
            lastOutput = FromPath(target);
        else
            failed.append(FromPath(path));
    }
    job->m_gate.WaitWhilePaused();
    emit runFinished(lastOutput, failed, documentRun);
}
