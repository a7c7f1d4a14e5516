// Blocks of fragments: exact-height paragraphs, gap paragraphs, the
// one-row table frame, and the acceptance test of table cells.
#include <gtest/gtest.h>

#include "flow_fixture.h"
#include "rtf/blocks.h"
#include "rtf/runs.h"

namespace {

const std::string kGap218Li0 = "\\pard\\li0\\ri0\\sl-218\\slmult0 \\fs18\\cf0\\par";

std::string Paragraph(int indent, int height, CRtfXmlText* t) {
    return "\\pard\\li" + std::to_string(indent) + "\\ri0\\sl-" + std::to_string(height) + "\\slmult0 " +
           WriteFragment(*t) + "\\par";
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(Paragraphs, GapsAndExactHeights) {
    struct Case {
        const char* name;
        CRect block;  // the cursor starts at its top left
        CRect line;
        int gaps;
        const char* gapIndent;
        int indent;     // twips
        int height;     // twips
        int writtenTop;
    };
    const Case cases[] = {
        {"40 units: two gap lines, height from 32", {0, 0, 300, 100}, {0, 40, 100, 52}, 2, "0", 0, 273, 32},
        {"exactly 16: none", {0, 0, 300, 100}, {0, 16, 100, 28}, 0, "", 0, 382, 0},
        {"17: one", {0, 0, 300, 100}, {0, 17, 100, 29}, 1, "0", 0, 177, 16},
        {"left of the cursor", {50, 0, 300, 100}, {49, 40, 149, 52}, 2, "13", 0, 273, 32},
        {"indented after a gap", {50, 0, 300, 100}, {70, 20, 170, 32}, 1, "273", 273, 218, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowPage p;
        CRtfXmlText* t = p.Text(c.line, "text");
        CRtfParagraphs block;
        block.m_rect = c.block;
        block.m_texts.AddTail(t);
        std::string out;
        WriteParagraphs(block, out);
        const std::string gap =
            std::string("\\pard\\li") + c.gapIndent + "\\ri0\\sl-218\\slmult0 \\fs18\\cf0\\par";
        EXPECT_TRUE(SameText(Repeat(gap, c.gaps) + Paragraph(c.indent, c.height, t), out));
        EXPECT_EQ(t->m_nWrittenTop, c.writtenTop);
    }
}

TEST(Paragraphs, CursorFollowsEachLineBottom) {
    FlowPage p;
    CRtfXmlText* first = p.Text({0, 0, 100, 12}, "one");
    CRtfXmlText* second = p.Text({0, 50, 100, 62}, "two");
    // Lies wholly above the cursor: height 0 rather than "\sl--N".
    CRtfXmlText* third = p.Text({0, 55, 100, 60}, "three");
    CRtfParagraphs block(first);
    block.AppendText(second);
    block.AppendText(third);
    EXPECT_EQ(block.m_rect, CRect(0, 0, 100, 62));
    std::string out;
    WriteParagraphs(block, out);
    // 38 units below the first line: two gap lines, then 18 units.
    const std::string expected =
        Paragraph(0, 163, first) + Repeat(kGap218Li0, 2) + Paragraph(0, 245, second) + Paragraph(0, 0, third);
    EXPECT_TRUE(SameText(expected, out));
    EXPECT_EQ(second->m_nWrittenTop, 44);
    EXPECT_EQ(third->m_nWrittenTop, 62);
}

TEST(Paragraphs, EmptyTextKeepsItsGapLinesOnly) {
    FlowPage p;
    CRtfXmlText* blank = p.Text({0, 40, 100, 52}, "");
    CRtfParagraphs block;
    block.m_texts.AddTail(blank);
    std::string out;
    WriteParagraphs(block, out);
    EXPECT_EQ(out, Repeat(kGap218Li0, 2));
    EXPECT_EQ(blank->m_nWrittenTop, 32);
}

TEST(Paragraphs, TableRowFlagGetsTheRowFrame) {
    FlowPage p;
    CRtfXmlText* t = p.Text({70, 0, 170, 12}, "cells");
    t->m_nFlags |= kTextTableRow;
    CRtfParagraphs block;
    block.m_rect = CRect(50, 0, 300, 100);
    block.m_texts.AddTail(t);
    std::string out;
    WriteParagraphs(block, out);
    const std::string expected = "{\\trowd\\trleft273\\trkeep\\trftsWidth1\\trpaddl0\\trpaddr0\\trpaddfl3\\trpaddfr3 " +
                                 WriteFragment(*t) + "\\row}";
    EXPECT_TRUE(SameText(expected, out));
}

TEST(Paragraphs, TryAppendTakesWhatLiesMostlyAboveTheBottom) {
    struct Case { CRect box; bool accepted; CRect after; };
    const Case cases[] = {
        {{100, 105, 200, 117}, true, {100, 100, 200, 117}},   // 7 above, 5 below
        {{100, 106, 200, 118}, false, {100, 100, 200, 112}},  // 6 and 6
        {{100, 120, 200, 132}, false, {100, 100, 200, 112}},  // wholly below
        {{250, 90, 300, 102}, true, {100, 90, 300, 112}},     // beside it, higher
    };
    for (const Case& c : cases) {
        FlowPage p;
        CRtfParagraphs block(p.Text({100, 100, 200, 112}));
        CRtfXmlText* t = p.Text(c.box);
        t->m_rcLine = CRect();  // the box as read decides, not the line box
        EXPECT_EQ(block.TryAppend(t), c.accepted);
        EXPECT_EQ(block.m_rect, c.after);
        EXPECT_EQ(block.m_texts.GetCount(), c.accepted ? 2 : 1);
    }
    CRtfParagraphs block;
    EXPECT_FALSE(block.TryAppend(nullptr));
}

}  // namespace
