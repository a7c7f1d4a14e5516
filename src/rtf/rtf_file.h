// The output RTF file of one conversion: header at construction, one write
// per page, the closing brace at destruction.
#pragma once

#include <cstdio>
#include <string>

class CRtfDocument;
class CRtfPage;

class CRtfFile {
public:
    CRtfFile(CRtfDocument* doc, const std::string& path);
    virtual ~CRtfFile();

    bool IsOk() const { return m_bOk; }
    bool Write(const std::string& text);
    bool WritePage(CRtfDocument* doc, int flags);
    // Writes the closing brace and closes the file; false when any write
    // or the close failed (a full disk shows here). Idempotent.
    bool Close();

    std::string BuildHeader();

private:
    bool m_bOk = false;
    CRtfDocument* m_pDoc = nullptr;
    bool m_bPageWritten = false;
    bool m_bOpen = false;
    std::FILE* m_file = nullptr;
    bool m_bWriteFailed = false;
};

// Line feeds of RTF text become CR LF on disk, as a text-mode file stores them.
std::string ToCrLf(const std::string& text);
