// Reads the page XML document back into the layout model, line by line,
// one page at a time in increasing page order.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

class CRtfDocument;

class CRtfXmlParse {
public:
    struct DocInfo {
        std::string author;
        std::string keywords;
        std::string date;
        std::string subject;
    };

    explicit CRtfXmlParse(const std::string& path);
    virtual ~CRtfXmlParse();

    int ReadFonts(CRtfDocument* doc);
    void GetDocInfo(DocInfo* info) const;
    int ParsePage(CRtfDocument* doc, int page);
    std::string GetFileName() const;
    bool IsOpen() const { return m_bOpen; }

private:
    bool ReadLine(std::string& line);
    void SeekLineStart();

    std::FILE* m_file = nullptr;
    std::unique_ptr<DocInfo> m_pInfo;
    long m_posLine = 0;
    bool m_bOpen = false;
    std::string m_strPath;
    int32_t m_nPage = 0;
};
