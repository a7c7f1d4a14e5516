// The blocks of a flowing page as RTF. A column is written as one paragraph
// of exact height per line, the vertical gaps above lines taken as space
// before or line height, so that the lines land about where the PDF had
// them; a one-row table as a borderless row of a tall cell and a stack cell.
#include "rtf/blocks.h"

#include <algorithm>
#include <string>

#include "rtf/runs.h"

namespace {

// Height of one gap-filling paragraph, in page units.
constexpr int32_t kGapLine = 16;
// A gap paragraph is set in 9 points with the first colour.
constexpr const char* kGapFormat = "\\fs18\\cf0";
// Room added to the stack cell beyond its text.
constexpr int32_t kCellSlack = 10;

void AppendParagraph(std::string& out, int32_t indent, int32_t lineHeight, const std::string& text,
                     int32_t spaceBefore = 0) {
    out += "\\pard\\li";
    out += std::to_string(indent);
    out += "\\ri0";
    if (spaceBefore > 0) out += "\\sb" + std::to_string(spaceBefore);
    out += "\\sl-";
    out += std::to_string(lineHeight);
    out += "\\slmult0 ";
    out += text;
    out += "\\par";
}

// Widths and boundaries go out as unsigned numbers; a negative one would
// print as a four-billion twip cell or column, so it is written as zero.
int32_t NonNegativeTwips(int32_t units) { return std::max(ToTwips(units), 0); }

std::string Cell(int32_t width, int32_t right, const std::string& content) {
    return "\\clvertalt\\clbrdrt\\brdrnone\\clbrdrl\\brdrnone\\clbrdrb\\brdrnone\\clbrdrr\\brdrnone\\cltxlrtb"
           "\\clNoWrap\\clftsWidth3\\clwWidth" +
           std::to_string(NonNegativeTwips(width)) + "\\clpadt0\\clpadr0\\clpadft3\\clpadfr3\\cellx" +
           std::to_string(NonNegativeTwips(right)) + " " + content + "\\cell";
}

// As in the column paragraphs, a line above the cursor gets height 0
// rather than an unparseable "\sl--N".
std::string CellParagraph(int32_t lineHeight, const std::string& text) {
    return "\\pard\\li0\\ri0\\sl-" + std::to_string(ToTwips(std::max(lineHeight, 0))) + "\\widctlpar\\intbl " + text;
}

}  // namespace

void WriteParagraphs(CRtfParagraphs& block, std::string& out) {
    const int32_t x = block.m_rect.left;
    int32_t y = block.m_rect.top;
    bool first = true;
    for (CRtfXmlText* text : block.m_texts) {
        const CRect& line = text->m_rcLine;
        const int32_t gap = line.top - y;
        const int32_t gapLines = gap > kGapLine ? gap / kGapLine : 0;
        const int32_t y0 = y + kGapLine * gapLines;
        // A line lying wholly above the cursor would ask for a negative
        // exact height, and "\sl--N" is not a control word a reader parses:
        // it would spill "-N" into the text. Such a line gets height 0.
        const int32_t height = std::max(line.bottom - y0, 0);
        text->m_nWrittenTop = y0;
        y = line.bottom;
        const int32_t indent = std::max(line.left - x, 0);

        const std::string rtf = WriteFragment(*text, &block.m_rect);
        const bool row = (text->m_nFlags & kTextTableRow) != 0;
        // The gap above a line is space before the line's own paragraph
        // rather than empty paragraphs: every paragraph costs the word
        // processor layout time, and pages of manuals carry hundreds of
        // gaps. Above the first line of a block it stays an empty paragraph,
        // because word processors drop space before at the top of a column
        // or page; a table row cannot carry it either.
        int32_t before = 0;
        if (row || first || rtf.empty()) {
            // Gap paragraphs never get a negative indent: one unit at least.
            const int32_t gapIndent = line.left < x ? ToTwips(1) : ToTwips(line.left - x);
            // One empty paragraph as tall as the gap, not a paragraph per
            // gap line: a manual's pages carried thousands of them.
            if (gapLines > 0) AppendParagraph(out, gapIndent, gapLines * ToTwips(kGapLine), kGapFormat);
        } else {
            before = kGapLine * gapLines;
        }
        if (rtf.empty()) continue;
        first = false;
        if (row) {
            out += "{\\trowd\\trleft";
            out += std::to_string(ToTwips(indent));
            out += "\\trkeep\\trftsWidth1\\trpaddl0\\trpaddr0\\trpaddfl3\\trpaddfr3 ";
            out += rtf;
            out += "\\row}";
        } else {
            AppendParagraph(out, ToTwips(indent), ToTwips(height), rtf, ToTwips(before));
        }
    }
}

void WritePlainParagraphs(CRtfParagraphs& block, std::string& out) {
    // Only each fragment's own words: in a table cell the line head's
    // pieces sit in cells of their own.
    for (CRtfXmlText* text : block.m_texts) out += FormatRuns(text->m_words, 0, false);
}

void WriteCell(CRtfCell& cell, std::string& out) {
    CRtfXmlText* tall = cell.m_pLink.get();
    if (tall == nullptr || cell.m_blocks.IsEmpty()) return;
    FitTallPiece(tall);
    const CRect t = tall->m_rect;
    CRect& stackBox = cell.m_rect;

    // The tall piece goes on the side it stands on. One whose left edge
    // lies between the stack's edges goes to the nearer edge, so that its
    // cell is written too.
    bool tallFirst = t.left - stackBox.left <= stackBox.right - t.left;
    if (t.left <= stackBox.left) tallFirst = true;
    else if (t.left >= stackBox.right) tallFirst = false;
    if (!tallFirst) stackBox.right = t.left - stackBox.left + kCellSlack;

    const std::string tallCell =
        Cell(t.right - t.left, t.right, CellParagraph(t.bottom - cell.m_nTop, FormatRuns(tall->m_words, 0, false)));

    std::string stack;
    int32_t y = cell.m_nTop;
    TSafeList<CRtfParagraphs>::POSITION pos = cell.m_blocks.GetHeadPosition();
    while (pos != nullptr) {
        CRtfParagraphs* block = cell.m_blocks.GetNext(pos);
        std::string text;
        WritePlainParagraphs(*block, text);
        stack += CellParagraph(block->m_rect.bottom - y, text);
        if (pos != nullptr) stack += "\\par";
        y = block->m_rect.bottom;
    }
    const std::string stackCell = Cell(stackBox.right - stackBox.left + kCellSlack, stackBox.right, stack);

    out += tallFirst ? tallCell + stackCell : stackCell + tallCell;
}

void WriteColumnHeader(CRtfSection& section, std::string& out) {
    const int32_t n = section.m_columns.GetCount();
    out += "\\cols" + std::to_string(n);
    int32_t i = 0;
    for (CRtfParagraphs* column : section.m_columns) {
        ++i;
        out += "\\colno" + std::to_string(i) + "\\colw" +
               std::to_string(static_cast<unsigned>(NonNegativeTwips(column->m_rect.Width())));
        if (i < n) out += "\\colsr-0";
    }
}

void WriteSection(CRtfSection& section, std::string& out) {
    // A section without columns has nothing to say, and a "\cols0" header
    // would be malformed.
    if (section.m_columns.IsEmpty()) return;
    section.ArrangeColumns();
    if (section.m_columns.GetCount() < 2) {
        WriteParagraphs(*section.m_columns.GetHead(), out);
        return;
    }
    WriteColumnHeader(section, out);
    int32_t i = 0;
    const int32_t n = section.m_columns.GetCount();
    for (CRtfParagraphs* column : section.m_columns) {
        WriteParagraphs(*column, out);
        if (++i < n) out += "\\column";
    }
}
