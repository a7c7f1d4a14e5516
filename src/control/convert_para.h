// The conversion job: what to convert and how, filled by an application
// (the desktop program or the command line), and the callbacks through
// which the conversion reports back to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Kind of run: the four document layouts and picture extraction.
enum RunKind : int32_t {
    kRunFlowing = 0,
    kRunExact = 1,
    kRunNoImages = 2,
    kRunPlainText = 3,
    kRunExtractImages = 4,
};

// Result codes of a file's conversion.
enum ConvertResult : int32_t {
    kResultOk = 0,
    kResultPdfFailed = 49,     // the PDF does not open, or no document is made from its page XML
    kResultOutputFailed = 50,  // the RTF output file does not open
    kResultPageFailed = 51,    // a page cannot be begun or ended
    kResultNoPages = 52,       // the PDF opens but has no page that can be read
    kResultWorkspaceFailed = 53,  // the PDF's copy or its page XML cannot be written (disk full)
    kResultNoRenderer = 54,    // picture extraction without a Ghostscript that starts
};

constexpr int kPageListSize = 100;

// Values of the cancel flag: any non-zero value stops the page loop before
// the next page; kCancelNow also abandons the work under way and the
// unfinished document.
constexpr int32_t kCancelAfterPage = 1;
constexpr int32_t kCancelNow = 2;

class CConvertPara {
public:
    CConvertPara() = default;
    virtual ~CConvertPara() = default;
    CConvertPara(const CConvertPara&) = delete;
    CConvertPara& operator=(const CConvertPara&) = delete;

    virtual void ShowProgress(int32_t percent) = 0;
    virtual void ShowMessage(const char* text) = 0;
    virtual void FileStarted(const std::string& source, const std::string& target) = 0;
    virtual void FileFinished(const std::string& source, const std::string& target) = 0;
    // Something the user must hear of even when log lines are not shown: a
    // file converted with parts left out. A log line unless the application
    // shows warnings otherwise.
    virtual void ShowWarning(const char* text) { ShowMessage(text); }

    // Whether `page` is among the selected pages.
    bool IsPageSelected(int32_t page) const {
        if (m_nPageFlags & 1) return true;
        for (int32_t p : m_pages)
            if (p == page) return true;
        return false;
    }

    int32_t m_nCurPage = 0;
    int32_t m_pages[kPageListSize] = {};
    int32_t m_nFirstPage = 1;
    int32_t m_nLastPage = -1;
    uint32_t m_nPageFlags = 1;  // bit 0: every page from first to last
    int32_t m_nOutputFormat = 0;  // non-zero: Word document (".doc")
    int32_t m_nKind = kRunFlowing;
    std::string m_strSource;
    std::string m_strWorkspace;
    std::string m_strBaseName;
    std::string m_strXmlPath;
    std::string m_strRtfPath;
    std::string m_strOutDir;
    std::string m_strUserPassword;
    std::string m_strFontKey;
    std::string m_strDevice = "jpeg";
    int32_t m_nRemoveImages = 0;
    // The PDF core's error code (ErrorCodes.h) when the source did not
    // open: tells a missing file, a damaged one and a locked one apart.
    int32_t m_nPdfError = 0;
    // Written by the interface thread, read by the worker between pages.
    std::atomic<int32_t> m_nCancel{0};
};
