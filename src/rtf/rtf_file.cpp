// Placeholder writer: header, page breaks and the closing brace. The full
// writer replaces it.
#include "rtf/rtf_file.h"

#include "control/rtf_document.h"

std::string ToCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

CRtfFile::CRtfFile(CRtfDocument* doc, const std::string& path) : m_pDoc(doc) {
    m_file = std::fopen(path.c_str(), "wb");
    if (m_file == nullptr) return;
    m_bOpen = true;
    m_bOk = Write(BuildHeader());
}

CRtfFile::~CRtfFile() { Close(); }

bool CRtfFile::Close() {
    if (!m_bOpen) return m_bOk && !m_bWriteFailed;
    Write("}");
    if (std::fclose(m_file) != 0) m_bWriteFailed = true;
    m_file = nullptr;
    m_bOpen = false;
    return m_bOk && !m_bWriteFailed;
}

bool CRtfFile::Write(const std::string& text) {
    if (!m_bOpen) return false;
    std::string bytes = ToCrLf(text);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
    if (!ok) m_bWriteFailed = true;
    return ok;
}

std::string CRtfFile::BuildHeader() {
    return "{\\rtf\\ansi\\deff0\\ansicpg1252\n{\\fonttbl\n{\\f0\\froman Times New Roman;}}\n{\\colortbl}\n"
           "\\jexpand\\viewkind1\\viewscale100\n";
}

bool CRtfFile::WritePage(CRtfDocument* doc, int flags) {
    if (doc == nullptr || doc->GetPage() == nullptr) return false;
    std::string text;
    if (m_bPageWritten && (flags & 1) == 0) text = "\\pard\\sect\\sectd\\sbkpage";
    if (!text.empty() && !Write(text)) return false;
    m_bPageWritten = true;
    return true;
}
