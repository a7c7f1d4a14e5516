// The output RTF file of one conversion.
//
// The pipeline makes one writer per document before the first page: the
// constructor opens the file and writes the header (font table, colour
// table, information group, view settings). WritePage assembles a page's
// whole RTF in memory (page break, floating objects, page setup, body in
// the document's layout, leftover fragments) and appends it in one write.
// Destroying the writer closes the document group and the file.
//
// RTF text is built with "\n" line ends; Write stores each as CR LF, byte
// for byte what a Windows text-mode file holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

class CLayoutDocument;
class CRtfPage;

// The four layouts a document is written in.
enum RtfLayout : int32_t { kLayoutFlowing = 0, kLayoutExact = 1, kLayoutNoImages = 2, kLayoutPlainText = 3 };

// The document information group; every field empty leaves the group out.
struct RtfDocInfo {
    std::string author;
    std::string op;
    std::string third;
    std::string subject;
};

// Whether a drawn path's shape text is a white fill over (nearly) the whole
// page of `width` x `height` twips: the page's own background, which the
// exact layout leaves out.
bool IsPageBackground(const std::string& shape, int32_t width, int32_t height);

class CRtfFile {
public:
    // `tables` gives the font and colour tables of the header (none: empty
    // tables).
    CRtfFile(const CLayoutDocument* tables, const RtfDocInfo& info, const std::string& path);
    virtual ~CRtfFile();
    CRtfFile(const CRtfFile&) = delete;
    CRtfFile& operator=(const CRtfFile&) = delete;

    // The file is open and its header written.
    bool IsOk() const { return m_bOk; }
    bool IsOpen() const { return m_bOpen; }
    // Appends `text` (LF line ends stored as CR LF); false when the file is
    // not open or the write fails.
    bool Write(const std::string& text);
    // Writes `page` in `layout`. `flags` bit 0: first page of the converted
    // range (no page break), bit 1: last page of the range.
    bool WritePage(CRtfPage* page, int layout, int flags);
    // Writes the closing brace and closes the file; false when any write
    // or the close failed. Idempotent.
    bool Close();

    std::string BuildHeader();
    std::string BuildFontTable();
    std::string BuildColorTable();
    std::string BuildInfo();
    std::string BuildPageSetup(CRtfPage* page);
    // The break written after each section of a flowing page.
    std::string BuildSectionBreak(CRtfPage* page);
    // The body of a page in EXACT, NO IMAGES or PLAIN TEXT layout.
    std::string BuildFixedBody(CRtfPage* page, int mode);
    // The body of a page in FLOWING layout; `last` drops the document's
    // final empty paragraph.
    std::string BuildFlowingBody(CRtfPage* page, bool last);
    // The end of a flowing body: no break after the page's last section
    // (`lastBreak`, the break appended after it), and on the last page no
    // closing " \par" unless that is all the body holds.
    static void TrimFlowingBody(std::string& body, const std::string& lastBreak, bool last);

private:
    bool m_bOk = false;
    std::string m_strSpare;
    const CLayoutDocument* m_pTables = nullptr;
    RtfDocInfo m_info;
    bool m_bPageWritten = false;
    bool m_bOpen = false;
    std::FILE* m_file = nullptr;
    bool m_bWriteFailed = false;
    // Lower-case face name to RTF font-family control word.
    std::unordered_map<std::string, std::string> m_families;
};

// Line feeds of RTF text become CR LF on disk, as a text-mode file stores them.
std::string ToCrLf(const std::string& text);
