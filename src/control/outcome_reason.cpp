#include "control/outcome_reason.h"

#include <ErrorCodes.h>

namespace {

// The folder of the outcome's document or pictures.
std::string TargetFolder(const CFileOutcome& outcome) {
    const auto slash = outcome.m_strTarget.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : outcome.m_strTarget.substr(0, slash);
}

}  // namespace

std::string ReasonFor(const CFileOutcome& outcome, bool passwordGiven) {
    switch (outcome.m_result) {
        case ConvertResult::kOk: return {};
        case ConvertResult::kPdfFailed:
            switch (outcome.m_nPdfError) {
                case errOpenFile: return "the file cannot be read";
                case errEncrypted: return passwordGiven ? "the password is wrong" : "the PDF needs a password";
                case errNone: return "the PDF does not open";
                default: return "the file is not a PDF or is damaged beyond repair";
            }
        case ConvertResult::kOutputFailed: return "the document cannot be written in " + TargetFolder(outcome);
        case ConvertResult::kPageFailed: return "a page could not be converted";
        case ConvertResult::kNoPages: return "the PDF has no pages that can be read";
        case ConvertResult::kWorkspaceFailed: return "the temporary folder cannot be written (is the disk full?)";
        case ConvertResult::kNoPageSelected: return "the page range selects none of its pages";
        case ConvertResult::kNoRenderer: return "Ghostscript is missing or failed, so pictures could not be written";
        case ConvertResult::kTimedOut: return "it ran past the time limit (--timeout) and was stopped";
        case ConvertResult::kOutOfMemory: return "it needed more memory than the limit allows (--max-memory)";
        case ConvertResult::kWorkerCrashed:
            if (outcome.m_nWorkerSignal < 0) return "no process could be started to convert it";
            if (outcome.m_nWorkerSignal == 0) return "the conversion ended without a result";
            return "the conversion crashed (signal " + std::to_string(outcome.m_nWorkerSignal) + ")";
        case ConvertResult::kNameCollision:
            return "name collision: " + outcome.m_strCollidesWith + " of this run is written to " +
                   outcome.m_strTarget + " too; not converted";
        default: return "the conversion failed";
    }
}

std::string ReasonCodeFor(const CFileOutcome& outcome, bool passwordGiven) {
    if (outcome.m_bSkipped) return "output_exists";
    if (outcome.m_bNotStarted) return "not_started";
    if (outcome.m_bAbandoned) return "stopped";
    switch (outcome.m_result) {
        case ConvertResult::kOk: return outcome.m_bPagesLeft ? "pages_left" : "";
        case ConvertResult::kPdfFailed:
            switch (outcome.m_nPdfError) {
                case errOpenFile: return "input_not_readable";
                case errEncrypted: return passwordGiven ? "wrong_password" : "pdf_encrypted";
                case errNone: return "pdf_not_opened";
                default: return "not_a_pdf";
            }
        case ConvertResult::kOutputFailed: return "output_not_writable";
        case ConvertResult::kPageFailed: return "page_failed";
        case ConvertResult::kNoPages: return "no_pages";
        case ConvertResult::kWorkspaceFailed: return "disk_full";
        case ConvertResult::kNoPageSelected: return "no_page_selected";
        case ConvertResult::kNoRenderer: return "no_renderer";
        case ConvertResult::kNameCollision: return "name_collision";
        case ConvertResult::kTimedOut: return "time_limit";
        case ConvertResult::kOutOfMemory: return "memory_limit";
        case ConvertResult::kWorkerCrashed: return outcome.m_nWorkerSignal < 0 ? "no_worker" : "crashed";
        case ConvertResult::kPictureLeftOut: return "picture_left_out";
        default: return "conversion_failed";
    }
}

bool IsRetryable(const CFileOutcome& outcome) {
    if (outcome.m_bSkipped || outcome.m_bNotStarted || outcome.m_bAbandoned) return false;
    return outcome.m_result == ConvertResult::kOutputFailed || outcome.m_result == ConvertResult::kWorkspaceFailed ||
           outcome.m_result == ConvertResult::kNoRenderer ||
           (outcome.m_result == ConvertResult::kWorkerCrashed && outcome.m_nWorkerSignal < 0);
}
