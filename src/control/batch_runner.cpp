#include "control/batch_runner.h"

#include <unordered_map>
#include <unordered_set>

#include "control/convert_doc.h"
#include "export/word_output.h"
#include "platform/files.h"

void CBatchRunner::MakeWordDocument(CFileOutcome& outcome) {
    // A document cut short by a stop at once was never put in place.
    if (!qm::FileExists(outcome.m_strTarget)) return;
    const std::string doc = WordDocumentPath(outcome.m_strTarget);
    if (SaveAsWordDocument(outcome.m_strTarget, doc))
        outcome.m_strTarget = doc;
    else
        outcome.m_result = ConvertResult::kOutputFailed;
}

std::vector<CFileOutcome> CBatchRunner::Run(const std::vector<std::string>& files) {
    CRtf2Doc scope;
    std::vector<CFileOutcome> outcomes;
    outcomes.reserve(files.size());
    // Output name -> the input that claimed it.
    std::unordered_map<std::string, std::string> claimed;
    // A run killed outright (SIGKILL, a crash) could not remove its partial
    // documents and workspaces; their names tell their owner, and the next
    // run in the same folders removes those whose owner is gone.
    const std::string outFolder = CConvertDoc::OutputFolderOf(m_pJob);
    qm::RemoveStalePartials(outFolder);
    qm::RemoveStaleWorkspaces();
    // A mirrored tree has partials in its subfolders too; each is swept
    // once, when the run first writes there.
    std::unordered_set<std::string> swept{outFolder};
    // Every file of the run is reported once, in order, whatever becomes of it.
    auto report = [&](CFileOutcome outcome) {
        m_pJob->FileFinished(outcome);
        outcomes.push_back(std::move(outcome));
    };
    for (const std::string& file : files) {
        CFileOutcome early;
        early.m_strSource = file;
        if (m_pJob->m_nCancel != 0) {
            early.m_bCancelled = true;
            early.m_bNotStarted = true;
            report(std::move(early));
            continue;
        }
        m_pJob->FileBegins(file);
        // Two inputs of one run that map to the same output (a/report.pdf
        // and b/report.pdf) would leave only the later result, silently:
        // the first to come claims the name and the other fails untouched.
        const std::string target = CConvertDoc::TargetFor(m_pJob, file);
        const auto [claim, fresh] = claimed.emplace(target, file);
        if (!fresh) {
            early.m_strTarget = target;
            early.m_result = ConvertResult::kNameCollision;
            early.m_strCollidesWith = claim->second;
            report(std::move(early));
            continue;
        }
        // A finished output is only ever put in place whole, so one that
        // exists is complete and a resumed run need not make it again.
        if (m_pJob->m_bSkipExisting) {
            const std::string done = CConvertDoc::FinalOutputFor(m_pJob, file);
            if (!done.empty() && qm::FileExists(done)) {
                early.m_strTarget = done;
                early.m_bSkipped = true;
                report(std::move(early));
                continue;
            }
        }
        if (const std::string folder = CConvertDoc::OutputFolderFor(m_pJob, file); swept.insert(folder).second)
            qm::RemoveStalePartials(folder);
        CFileOutcome outcome = CConvertDoc::Convert(m_pJob, file);
        outcome.m_bCancelled = m_pJob->m_nCancel != 0;
        // Only a finished document becomes a Word document; one that a
        // cancel cut short keeps the pages done and becomes one too.
        if (outcome.m_result == ConvertResult::kOk && m_pJob->m_nKind != kRunExtractImages &&
            m_pJob->m_nOutputFormat != 0 && !outcome.m_bAbandoned)
            MakeWordDocument(outcome);
        report(std::move(outcome));
    }
    return outcomes;
}
