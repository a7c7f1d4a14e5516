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
        case ConvertResult::kNameCollision:
            return "name collision: " + outcome.m_strCollidesWith + " of this run is written to " +
                   outcome.m_strTarget + " too; not converted";
        default: return "the conversion failed";
    }
}
