// Placeholder reader: it accepts a complete page XML document and reads no
// elements yet. The full reader replaces it.
#include "layout/xml_parse.h"

#include <cstring>

#include "control/rtf_document.h"

CRtfXmlParse::CRtfXmlParse(const std::string& path) : m_strPath(path) {
    m_file = std::fopen(path.c_str(), "rb");
    m_bOpen = m_file != nullptr;
}

CRtfXmlParse::~CRtfXmlParse() {
    if (m_file != nullptr) std::fclose(m_file);
}

bool CRtfXmlParse::ReadLine(std::string& line) {
    if (m_file == nullptr) return false;
    m_posLine = std::ftell(m_file);
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(m_file)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

void CRtfXmlParse::SeekLineStart() {
    if (m_file != nullptr) std::fseek(m_file, m_posLine, SEEK_SET);
}

int CRtfXmlParse::ReadFonts(CRtfDocument*) {
    if (m_file == nullptr) return 0;
    std::rewind(m_file);
    std::string line;
    int ok = 0;
    while (ReadLine(line)) {
        if (line.rfind("</pdf2xml>", 0) == 0) {
            ok = 1;
            break;
        }
    }
    std::rewind(m_file);
    return ok;
}

void CRtfXmlParse::GetDocInfo(DocInfo* info) const {
    if (info != nullptr && m_pInfo) *info = *m_pInfo;
}

int CRtfXmlParse::ParsePage(CRtfDocument*, int) { return 1; }

std::string CRtfXmlParse::GetFileName() const {
    auto slash = m_strPath.find_last_of('/');
    return slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
}
