// The conversion job: what to convert and how, filled by an application
// (the desktop program or the command line), and the callbacks through
// which the conversion reports back to it. The conversion only reads the
// job (and its cancel flag); what becomes of each file comes back as a
// CFileOutcome.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Kind of run: the four document layouts and picture extraction.
enum RunKind : int32_t {
    kRunFlowing = 0,
    kRunExact = 1,
    kRunNoImages = 2,
    kRunPlainText = 3,
    kRunExtractImages = 4,
};

// Result of a file's conversion; the numbers are the codes users and
// callers have always seen.
enum class ConvertResult : int32_t {
    kOk = 0,
    kPdfFailed = 49,        // the PDF does not open, or no document is made from its page XML
    kOutputFailed = 50,     // the RTF output file does not open or cannot be written
    kPageFailed = 51,       // a page cannot be begun
    kNoPages = 52,          // the PDF opens but has no page that can be read
    kWorkspaceFailed = 53,  // the PDF's copy or its page XML cannot be written (disk full)
    kNoRenderer = 54,       // picture extraction without a Ghostscript that starts
    kNameCollision = 55,    // an earlier file of the run has the same output name; nothing was written
    kNoPageSelected = 56,   // the page range selects none of the PDF's pages
    kTimedOut = 57,         // the file ran past the job's time limit; its worker was killed
    kOutOfMemory = 58,      // the file needed more memory than the job's limit allows
    kWorkerCrashed = 59,    // the worker converting the file died (m_nWorkerSignal)
    kPictureLeftOut = 81,   // extraction: a picture of the last page had a placement that cannot be rendered
};

// Pages first to last, both included: a range list rather than a list of
// numbers, so that "1-100000" costs no more than "7".
struct CPageSpan {
    int32_t m_nFirst = 0;
    int32_t m_nLast = 0;
    bool operator==(const CPageSpan&) const = default;
};

// Values of the cancel flag: any non-zero value stops the page loop before
// the next page; kCancelNow also abandons the work under way and the
// unfinished document.
constexpr int32_t kCancelAfterPage = 1;
constexpr int32_t kCancelNow = 2;

// What became of one file of a run.
struct CFileOutcome {
    std::string m_strSource;
    // The document (".rtf", or ".doc" once the Word step made it), or for
    // a picture run the output folder and base name that the page folders
    // of the pictures start with.
    std::string m_strTarget;
    ConvertResult m_result = ConvertResult::kOk;
    // The PDF core's error code (ErrorCodes.h) when the source did not
    // open: tells a missing file, a damaged one and a locked one apart.
    int32_t m_nPdfError = 0;
    // The run was cancelled while this file was converted (its document
    // keeps the pages done, or nothing after a stop at once), or before it
    // began (then it was not touched).
    bool m_bCancelled = false;
    bool m_bNotStarted = false;
    // A stop at once came before the document was put in place: nothing of
    // this file was written and an earlier document of its name is kept.
    // (A stop that comes after the rename leaves a complete document.)
    bool m_bAbandoned = false;
    // A cancel ended the page loop before every selected page was done: the
    // document (or the picture folders) holds only the pages before it.
    bool m_bPagesLeft = false;
    // kNameCollision: the earlier file of the run whose output this one
    // would have replaced.
    std::string m_strCollidesWith;
    // Its final output was already there and the job asked to skip such
    // files: nothing was converted or written.
    bool m_bSkipped = false;
    // Pages written into the document (or whose pictures were extracted).
    int32_t m_nPages = 0;
    // What the job gathered while the file converted (FileConverted): the
    // warnings it was shown, and the problems the PDF core skipped.
    std::vector<std::string> m_warnings;
    int32_t m_nPdfProblems = 0;
    // The file's conversion time, and the memory high-water mark in KiB of
    // its worker plus its Ghostscript (0: converted in the run's own
    // process, where only the run's high-water mark is known).
    double m_fSeconds = 0.0;
    long m_nPeakKiB = 0;
    // kWorkerCrashed: the signal that ended the worker (0: it exited
    // without a report; -1: no worker could be made).
    int32_t m_nWorkerSignal = 0;
};

class CConvertPara {
public:
    CConvertPara() = default;
    virtual ~CConvertPara() = default;
    CConvertPara(const CConvertPara&) = delete;
    CConvertPara& operator=(const CConvertPara&) = delete;

    virtual void ShowProgress(int32_t percent) = 0;
    virtual void ShowMessage(const char* text) = 0;
    virtual void FileStarted(const std::string& source, const std::string& target) = 0;
    // A file of a batch run is about to be converted, and is done (see
    // CBatchRunner).
    virtual void FileBegins(const std::string& /*source*/) {}
    virtual void FileFinished(const CFileOutcome& outcome) = 0;
    // Called in the process that converted the file (a worker, or the run's
    // own), right after the conversion: the job moves into the outcome what
    // it gathered meanwhile, which then reaches FileFinished with it.
    virtual void FileConverted(CFileOutcome& /*outcome*/) {}
    // Something the user must hear of even when log lines are not shown: a
    // file converted with parts left out. A log line unless the application
    // shows warnings otherwise.
    virtual void ShowWarning(const char* text) { ShowMessage(text); }

    // The password that opens `source`: the job's one password, unless the
    // application keeps one per file.
    virtual std::string PasswordFor(const std::string& /*source*/) const { return m_strUserPassword; }

    // Whether `page` is among the selected pages.
    bool IsPageSelected(int32_t page) const {
        if (m_nPageFlags & 1) return true;
        for (const CPageSpan& span : m_pages)
            if (page >= span.m_nFirst && page <= span.m_nLast) return true;
        return false;
    }
    // Whether any of the pages 1 to `count` is selected.
    bool AnyPageSelected(int32_t count) const {
        if (count <= 0) return false;
        if (m_nPageFlags & 1) return true;
        for (const CPageSpan& span : m_pages)
            if (span.m_nFirst <= count && span.m_nLast >= 1 && span.m_nFirst <= span.m_nLast) return true;
        return false;
    }

    // The pages when bit 0 of m_nPageFlags is clear.
    std::vector<CPageSpan> m_pages;
    uint32_t m_nPageFlags = 1;  // bit 0: every page from first to last
    int32_t m_nOutputFormat = 0;  // non-zero: Word document (".doc")
    int32_t m_nKind = kRunFlowing;
    std::string m_strOutDir;
    std::string m_strUserPassword;
    std::string m_strFontKey;
    std::string m_strDevice = "jpeg";
    int32_t m_nRemoveImages = 0;
    // Runs keep the PDF's character scaling and the gaps between the pieces
    // of a line (CLayoutContext::m_bPreserveSpacing).
    bool m_bPreserveSpacing = true;
    // Non-empty: each output goes to the folder of its source relative to
    // this folder, under m_strOutDir (see CConvertDoc::RelativeFolderUnder).
    std::string m_strMirrorRoot;
    // A file whose final output exists is skipped, not converted again.
    bool m_bSkipExisting = false;
    // Workers: with any of these set, each file is converted in a process
    // of its own, at most m_nJobs (at least 1) at once; one that runs longer
    // than m_fTimeoutSeconds is killed, and none may map more than
    // m_nMaxMemoryMiB (nor may its Ghostscript). Only a caller with a single
    // thread may ask for them (see platform/worker.h).
    int32_t m_nJobs = 0;
    double m_fTimeoutSeconds = 0.0;
    int64_t m_nMaxMemoryMiB = 0;
    bool UsesWorkers() const { return m_nJobs > 0 || m_fTimeoutSeconds > 0 || m_nMaxMemoryMiB > 0; }
    // Written by the interface thread, read by the worker between pages.
    std::atomic<int32_t> m_nCancel{0};
};
