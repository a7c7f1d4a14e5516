// CRtfParagraphs: a block of fragments, either one column of a section or
// the content of a table cell. A column is written as one paragraph of
// exact height per line, with empty fixed-height paragraphs filling the
// vertical gaps, so that the lines land about where the PDF had them.
#include <algorithm>
#include <string>

#include "layout/model.h"
#include "rtf/runs.h"

namespace {

// Height of one gap-filling paragraph, in page units.
constexpr int32_t kGapLine = 16;
// A gap paragraph is set in 9 points with the first colour.
constexpr const char* kGapFormat = "\\fs18\\cf0";

void AppendParagraph(std::string& out, int32_t indent, int32_t lineHeight, const std::string& text) {
    out += "\\pard\\li";
    out += std::to_string(indent);
    out += "\\ri0\\sl-";
    out += std::to_string(lineHeight);
    out += "\\slmult0 ";
    out += text;
    out += "\\par";
}

}  // namespace

bool CRtfParagraphs::TryAppend(CRtfXmlText* text) {
    if (text == nullptr) return false;
    const int32_t y = m_rect.bottom;
    // More of the fragment above the block's bottom than below it.
    if ((y - text->m_rect.top) <= (text->m_rect.bottom - y)) return false;
    m_texts.AddTail(text);
    m_rect.UnionRect(m_rect, text->m_rect);
    return true;
}

void CRtfParagraphs::AppendText(CRtfXmlText* text) {
    m_texts.AddTail(text);
    m_rect.UnionRect(m_rect, text->m_rcLine);
}

void CRtfParagraphs::Write(std::string& out) {
    const int32_t x = m_rect.left;
    int32_t y = m_rect.top;
    for (CRtfXmlText* text : m_texts) {
        const CRect& line = text->m_rcLine;
        const int32_t gap = line.top - y;
        int32_t gapLines = 0;
        if (gap > kGapLine) {
            gapLines = gap / kGapLine;
            // Gap paragraphs never get a negative indent: one unit at least.
            const int32_t gapIndent = line.left < x ? ToTwips(1) : ToTwips(line.left - x);
            for (int32_t i = 0; i < gapLines; ++i) AppendParagraph(out, gapIndent, ToTwips(kGapLine), kGapFormat);
        }
        const int32_t y0 = y + kGapLine * gapLines;
        // A line lying wholly above the cursor would ask for a negative
        // exact height, and "\sl--N" is not a control word a reader parses:
        // it would spill "-N" into the text. Such a line gets height 0.
        const int32_t height = std::max(line.bottom - y0, 0);
        text->m_nWrittenTop = y0;
        y = line.bottom;
        const int32_t indent = std::max(line.left - x, 0);

        const std::string rtf = WriteFragment(*text);
        if (rtf.empty()) continue;
        if (text->m_nFlags & kTextTableRow) {
            out += "{\\trowd\\trleft";
            out += std::to_string(ToTwips(indent));
            out += "\\trkeep\\trftsWidth1\\trpaddl0\\trpaddr0\\trpaddfl3\\trpaddfr3 ";
            out += rtf;
            out += "\\row}";
        } else {
            AppendParagraph(out, ToTwips(indent), ToTwips(height), rtf);
        }
    }
}

void CRtfParagraphs::WritePlain(std::string& out) {
    // Only each fragment's own words: in a table cell the line head's
    // pieces sit in cells of their own.
    for (CRtfXmlText* text : m_texts) out += FormatRuns(text->m_words, 0, false);
}
