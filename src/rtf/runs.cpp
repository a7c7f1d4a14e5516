// Placeholder run encoding: plain paragraphs of the words' text. The full
// run writers replace it.
#include "rtf/runs.h"

std::string FormatRun(const TRtfWord<void>& word, int8_t, bool) { return "{" + word.m_strText + "}"; }
std::string FormatRuns(const CRtfSentence& words, int8_t rise, bool trim) {
    std::string out;
    for (TRtfWord<void>* w : words) out += FormatRun(*w, rise, trim);
    return out;
}
std::string FormatPlainRun(const TRtfWord<void>& word) { return "{" + word.m_strText + "}"; }
std::string PlainRuns(const CRtfSentence& words) {
    std::string out;
    for (TRtfWord<void>* w : words) out += FormatPlainRun(*w);
    return out;
}
std::string StripLinks(const std::string& s) { return s; }
std::string AddHyperlinks(const CRtfXmlText&, const std::string& s) { return s; }
std::string WriteFragment(CRtfXmlText& text) { return WriteLine(text); }
std::string WriteLine(CRtfXmlText& text) { return FormatRuns(text.m_words, 0, false); }
std::string WriteRotated(CRtfXmlText&) { return {}; }
std::string WriteExactFrames(CRtfXmlText& text) { return "\\pard " + FormatRuns(text.m_words, 0, false) + "\\par"; }
std::string WriteParagraph(CRtfXmlText& text) { return "\\pard " + FormatRuns(text.m_words, 0, false) + "\\par"; }
std::string WritePlainParagraph(CRtfXmlText& text) { return "\\pard " + PlainRuns(text.m_words) + "\\par"; }
