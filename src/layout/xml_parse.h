// Reads the page XML document back into the layout model.
//
// This is no general XML parser: the text output device writes one element
// per line, and the reader recognises each line by the text at its start.
// One reader serves one document. It reads the document header when it is
// made, all font specifications once (ReadFonts), and then one page per
// ParsePage call, in increasing page order, handing every text fragment to
// the page through the document.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class CLayoutDocument;

class CRtfXmlParse {
public:
    struct DocInfo {
        std::string author;
        std::string keywords;
        std::string date;
        std::string subject;
    };

    // Opens the file and reads the document header.
    explicit CRtfXmlParse(const std::string& path);
    virtual ~CRtfXmlParse();
    CRtfXmlParse(const CRtfXmlParse&) = delete;
    CRtfXmlParse& operator=(const CRtfXmlParse&) = delete;

    // Reads every font specification of the document into the document's
    // font and colour tables; 0 when the document is incomplete or a font
    // cannot be added. Leaves the file at its beginning.
    bool ReadFonts(CLayoutDocument* doc);
    void GetDocInfo(DocInfo* info) const;
    // Reads page `page` into the document's current page. True also when
    // the file holds no such page; false at end of file or without a
    // current page.
    bool ParsePage(CLayoutDocument* doc, int page);
    std::string GetFileName() const;
    // Records in `doc` the pages that the links of a page XML line lead to.
    void NoteLinkedPages(const std::string& line, CLayoutDocument* doc) const;
    bool IsOpen() const { return m_bOpen; }

    // Attribute keywords and their ids; "Angle=" and "cSpace=" share id 30.
    static int Keyword(const std::string& token);
    // The value of a `name="value"` token without quotes and '>'; false
    // (and an empty value) when no name precedes the '='.
    static bool AttrValue(const std::string& token, std::string& value);
    // atol as the Windows runtime has it: leading blanks, a sign, digits;
    // anything else ends the number, and an overflow gives the nearest limit.
    static int32_t AtoL(const std::string& text);
    // Splits a start line at spaces, runs of spaces counting as one.
    static std::vector<std::string> Tokenize(const std::string& line);
    // Entity decoding of a data line's content and the RTF escaping of braces.
    static std::string DecodeContent(const std::string& content);

private:
    bool ReadLine(std::string& line);
    void SeekLineStart();
    bool ReadText(CLayoutDocument* doc, const std::string& startLine);

    std::FILE* m_file = nullptr;
    std::unique_ptr<DocInfo> m_pInfo;
    long m_posLine = 0;
    // getline's buffer, kept for the whole document.
    char* m_pLineBuf = nullptr;
    std::size_t m_nLineBufSize = 0;
    bool m_bOpen = false;
    std::string m_strPath;
    int32_t m_nPage = 0;
};
