#include "control/batch_runner.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "control/convert_doc.h"
#include "control/worker_report.h"
#include "export/word_output.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/worker.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One file under way in a worker.
struct CRunningFile {
    qm::CWorkerProcess worker;
    size_t index = 0;
    std::string source;
    std::string target;
    std::string folder;  // where its partial document is made
    Clock::time_point started;
    std::string report;
    bool timedOut = false;
};

// The outcome of a worker that ended without a whole report: killed for its
// time, out of memory, stopped, or crashed.
CFileOutcome OutcomeOfLostWorker(const CRunningFile& file, const CConvertPara& job) {
    CFileOutcome outcome;
    outcome.m_strSource = file.source;
    outcome.m_strTarget = file.target;
    const int sig = file.worker.TermSignal();
    // An allocation that fails in C code of the PDF core aborts, and one
    // that nothing checks crashes: with a memory limit set, that is what
    // such an end most likely means.
    const bool memorySignal = sig == SIGABRT || sig == SIGSEGV || sig == SIGBUS;
    if (file.timedOut) {
        outcome.m_result = ConvertResult::kTimedOut;
    } else if (job.m_nCancel >= kCancelNow) {
        outcome.m_bCancelled = true;
        outcome.m_bAbandoned = true;
    } else if (file.worker.ExitCode() == qm::kWorkerOutOfMemory || (job.m_nMaxMemoryMiB > 0 && memorySignal)) {
        outcome.m_result = ConvertResult::kOutOfMemory;
    } else {
        outcome.m_result = ConvertResult::kWorkerCrashed;
        outcome.m_nWorkerSignal = sig;
    }
    outcome.m_fSeconds = SecondsSince(file.started);
    outcome.m_nPeakKiB = file.worker.PeakKiB();
    return outcome;
}

}  // namespace

void CBatchRunner::MakeWordDocument(CFileOutcome& outcome) {
    // A document cut short by a stop at once was never put in place.
    if (!qm::FileExists(outcome.m_strTarget)) return;
    const std::string doc = WordDocumentPath(outcome.m_strTarget);
    if (SaveAsWordDocument(outcome.m_strTarget, doc)) outcome.m_strTarget = doc;
    else outcome.m_result = ConvertResult::kOutputFailed;
}

CFileOutcome CBatchRunner::ConvertOne(const std::string& file) {
    const Clock::time_point started = Clock::now();
    CFileOutcome outcome = CConvertDoc::Convert(m_pJob, file);
    outcome.m_bCancelled = m_pJob->m_nCancel != 0;
    // Only a finished document becomes a Word document; one that a
    // cancel cut short keeps the pages done and becomes one too.
    if (outcome.m_result == ConvertResult::kOk && m_pJob->m_nKind != kRunExtractImages &&
        m_pJob->m_nOutputFormat != 0 && !outcome.m_bAbandoned)
        MakeWordDocument(outcome);
    m_pJob->FileConverted(outcome);
    outcome.m_fSeconds = SecondsSince(started);
    return outcome;
}

std::vector<CFileOutcome> CBatchRunner::Run(const std::vector<std::string>& files) {
    CRtf2Doc scope;
    std::vector<CFileOutcome> outcomes(files.size());
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
    // Every file of the run is reported once, whatever becomes of it.
    auto report = [&](size_t index, CFileOutcome outcome) {
        m_pJob->FileFinished(outcome);
        outcomes[index] = std::move(outcome);
    };

    const bool isolated = m_pJob->UsesWorkers();
    const size_t slots = static_cast<size_t>(std::max(1, m_pJob->m_nJobs));
    const long long memoryLimit = m_pJob->m_nMaxMemoryMiB * 1024LL * 1024LL;
    std::vector<std::unique_ptr<CRunningFile>> running;
    bool stopPassedOn = false;
    // Waits until a worker ended (or, with `all`, every one) and reports
    // its file. A worker past its time is killed; a stop at once is passed
    // on to every worker, which then abandons its file as this process would.
    auto collect = [&](bool all) {
        while (!running.empty()) {
            if (m_pJob->m_nCancel >= kCancelNow && !stopPassedOn) {
                stopPassedOn = true;
                for (const auto& file : running) file->worker.Signal(SIGTERM);
            }
            std::vector<pollfd> fds;
            int waitMs = qm::kStopPollMs;
            const Clock::time_point now = Clock::now();
            for (const auto& file : running) {
                fds.push_back({file->worker.ReportFd(), POLLIN, 0});
                if (m_pJob->m_fTimeoutSeconds > 0) {
                    const double left =
                        m_pJob->m_fTimeoutSeconds - std::chrono::duration<double>(now - file->started).count();
                    waitMs = std::min(waitMs, std::max(0, static_cast<int>(left * 1000.0) + 1));
                }
            }
            poll(fds.data(), fds.size(), waitMs);
            bool ended = false;
            for (size_t i = 0; i < running.size();) {
                CRunningFile& file = *running[i];
                bool done = !file.worker.ReadReport(file.report);
                if (!done && m_pJob->m_fTimeoutSeconds > 0 && SecondsSince(file.started) >= m_pJob->m_fTimeoutSeconds) {
                    file.timedOut = true;
                    file.worker.Kill();
                    // What it wrote before it died is still in the pipe.
                    file.worker.ReadReport(file.report);
                    done = true;
                }
                if (!done) {
                    ++i;
                    continue;
                }
                file.worker.Reap();
                CFileOutcome outcome;
                // A whole report means the file was done (its document in
                // place) even when its time ran out while the worker ended.
                if (!DecodeOutcome(file.report, outcome)) {
                    outcome = OutcomeOfLostWorker(file, *m_pJob);
                    // A killed worker could not remove its partial document
                    // nor its workspace; it is dead now, so they are stale.
                    qm::RemoveStalePartials(file.folder);
                    qm::RemoveStaleWorkspaces();
                } else if (outcome.m_nPeakKiB <= 0) {
                    outcome.m_nPeakKiB = file.worker.PeakKiB();
                }
                report(file.index, std::move(outcome));
                running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
                ended = true;
            }
            if (ended && !all) return;
        }
    };

    for (size_t index = 0; index < files.size(); ++index) {
        const std::string& file = files[index];
        CFileOutcome early;
        early.m_strSource = file;
        if (m_pJob->m_nCancel != 0) {
            early.m_bCancelled = true;
            early.m_bNotStarted = true;
            report(index, std::move(early));
            continue;
        }
        if (!isolated) m_pJob->FileBegins(file);
        // Two inputs of one run that map to the same output (a/report.pdf
        // and b/report.pdf) would leave only the later result, silently:
        // the first to come claims the name and the other fails untouched.
        const std::string target = CConvertDoc::TargetFor(m_pJob, file);
        const auto [claim, fresh] = claimed.emplace(target, file);
        if (!fresh) {
            early.m_strTarget = target;
            early.m_result = ConvertResult::kNameCollision;
            early.m_strCollidesWith = claim->second;
            report(index, std::move(early));
            continue;
        }
        // A finished output is only ever put in place whole, so one that
        // exists is complete and a resumed run need not make it again.
        if (m_pJob->m_bSkipExisting) {
            const std::string done = CConvertDoc::FinalOutputFor(m_pJob, file);
            if (!done.empty() && qm::FileExists(done)) {
                early.m_strTarget = done;
                early.m_bSkipped = true;
                report(index, std::move(early));
                continue;
            }
        }
        const std::string folder = CConvertDoc::OutputFolderFor(m_pJob, file);
        if (swept.insert(folder).second) qm::RemoveStalePartials(folder);
        if (!isolated) {
            report(index, ConvertOne(file));
            continue;
        }

        if (running.size() >= slots) collect(false);
        // A stop may have come while waiting for a free worker.
        if (m_pJob->m_nCancel != 0) {
            early.m_bCancelled = true;
            early.m_bNotStarted = true;
            report(index, std::move(early));
            continue;
        }
        auto started = std::make_unique<CRunningFile>();
        started->index = index;
        started->source = file;
        started->target = target;
        started->folder = folder;
        started->started = Clock::now();
        // The worker's copy of this process's output buffers is never
        // written (it ends with _exit), but what is in them would be lost
        // to interleaving; they go out before it is made.
        std::fflush(stdout);
        std::fflush(stderr);
        const bool ok = started->worker.Start(
            [this, &file](int reportFd) {
                m_pJob->FileBegins(file);
                CFileOutcome outcome = ConvertOne(file);
                // The file's own high-water mark: the worker began as a
                // copy of a run that converted nothing.
                outcome.m_nPeakKiB = qm::OwnAndChildrenPeakKiB();
                const std::string bytes = EncodeOutcome(outcome);
                size_t written = 0;
                while (written < bytes.size()) {
                    const ssize_t n = write(reportFd, bytes.data() + written, bytes.size() - written);
                    if (n < 0 && errno == EINTR) continue;
                    if (n <= 0) return 1;
                    written += static_cast<size_t>(n);
                }
                return 0;
            },
            memoryLimit);
        if (!ok) {
            // No process can be made (the system's process or memory limits):
            // a retry later may find room.
            early.m_strTarget = target;
            early.m_result = ConvertResult::kWorkerCrashed;
            early.m_nWorkerSignal = -1;
            report(index, std::move(early));
            continue;
        }
        running.push_back(std::move(started));
    }
    collect(true);
    return outcomes;
}
