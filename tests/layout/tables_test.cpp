// One-row tables: which lines are table rows, how the pieces fall into the
// tall cell and the stacked blocks, and the cells' RTF.
#include <gtest/gtest.h>

#include "flow_fixture.h"
#include "rtf/blocks.h"
#include "rtf/runs.h"

namespace {

std::string Cell(int width, int right, const std::string& content) {
    return "\\clvertalt\\clbrdrt\\brdrnone\\clbrdrl\\brdrnone\\clbrdrb\\brdrnone\\clbrdrr\\brdrnone\\cltxlrtb"
           "\\clNoWrap\\clftsWidth3\\clwWidth" +
           std::to_string(width) + "\\clpadt0\\clpadr0\\clpadft3\\clpadfr3\\cellx" + std::to_string(right) + " " +
           content + "\\cell";
}

std::string Line(int height, CRtfXmlText* t) {
    return "\\pard\\li0\\ri0\\sl-" + std::to_string(height) + "\\widctlpar\\intbl " + FormatRuns(t->m_words, 0, false);
}

TEST(Tables, IsTableRow) {
    struct Case { const char* name; CRect head; std::vector<CRect> pieces; bool table; };
    const Case cases[] = {
        {"no pieces", {10, 100, 60, 130}, {}, false},
        {"one piece", {10, 100, 60, 130}, {{70, 100, 200, 112}}, false},
        {"tall head beside two stacked lines", {10, 100, 60, 130}, {{70, 100, 200, 112}, {70, 114, 180, 126}}, true},
        {"tall piece right of the head and another line", {100, 100, 250, 112},
         {{300, 100, 360, 130}, {100, 114, 280, 126}}, true},
        {"one line of three", {10, 100, 60, 112}, {{70, 100, 120, 112}, {130, 100, 180, 112}}, false},
        // The span is the widest piece but the tall one, left edge excluded.
        {"centre on the span's left edge", {0, 0, 50, 40}, {{100, 0, 200, 12}, {90, 14, 110, 26}}, false},
        {"centre on the span's right edge", {0, 0, 50, 40}, {{100, 0, 200, 12}, {190, 14, 210, 26}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowPage p;
        CRtfXmlText* head = p.Text(c.head);
        for (const CRect& r : c.pieces) p.Join(head, {p.Text(r)});
        EXPECT_EQ(IsTableRow(head), c.table);
    }
    EXPECT_FALSE(IsTableRow(nullptr));
    EXPECT_EQ(CRtfCell(nullptr).GetBlockCount(), 0);
}

TEST(Tables, TallPieceOnTheLeft) {
    FlowPage p;
    CRtfXmlText* head = p.Text({10, 100, 60, 130}, "Big");
    CRtfXmlText* upper = p.Text({70, 100, 200, 112}, "upper line");
    CRtfXmlText* lower = p.Text({70, 114, 180, 126}, "lower line");
    p.Join(head, {upper, lower});
    head->m_nWrittenTop = 100;
    ASSERT_TRUE(IsTableRow(head));
    CRtfCell cell(head);
    EXPECT_EQ(cell.m_pLink.raw(), head);
    ASSERT_EQ(cell.GetBlockCount(), 2);
    // The piece that opens the first block does not widen the stack's box.
    EXPECT_EQ(cell.m_rect, CRect(70, 114, 180, 126));
    EXPECT_EQ(cell.m_nTop, 100);
    std::string out;
    WriteCell(cell, out);
    // Lines 12 and 14 units high: 163 and 191 twips.
    const std::string expected = Cell(683, 819, Line(409, head)) +
                                 Cell(1639, 2459, Line(163, upper) + "\\par" + Line(191, lower));
    EXPECT_TRUE(SameText(expected, out));
}

TEST(Tables, TallPieceOnTheRight) {
    FlowPage p;
    CRtfXmlText* head = p.Text({100, 100, 250, 112}, "label");
    CRtfXmlText* tall = p.Text({300, 100, 360, 130}, "Tall");
    CRtfXmlText* lower = p.Text({100, 114, 280, 126}, "second line");
    p.Join(head, {tall, lower});
    head->m_nWrittenTop = 100;
    ASSERT_TRUE(IsTableRow(head));
    CRtfCell cell(head);
    EXPECT_EQ(cell.m_pLink.raw(), tall);
    ASSERT_EQ(cell.GetBlockCount(), 2);
    EXPECT_EQ(Items(&cell.m_blocks.GetHead()->m_texts), std::vector<CRtfXmlText*>{head});
    std::string out;
    WriteCell(cell, out);
    // The stack cell ends at 300 - 100 + 10 = 210 units (2869 twips) and is
    // 210 - 100 + 10 = 120 units (1639 twips) wide.
    const std::string expected = Cell(1639, 2869, Line(163, head) + "\\par" + Line(191, lower)) +
                                 Cell(819, 4919, Line(409, tall));
    EXPECT_TRUE(SameText(expected, out));
}

TEST(Tables, TallPieceBetweenTheStackEdgesGoesToTheNearerSide) {
    struct Case { CRect tall; bool first; };
    const Case cases[] = {{{150, 100, 200, 130}, true}, {{250, 100, 290, 130}, false}};
    for (const Case& c : cases) {
        FlowPage p;
        CRtfXmlText* head = p.Text({100, 100, 250, 112}, "label");
        CRtfXmlText* tall = p.Text(c.tall, "Tall");
        CRtfXmlText* lower = p.Text({100, 114, 280, 126}, "second line");
        p.Join(head, {tall, lower});
        head->m_nWrittenTop = 100;
        CRtfCell cell(head);
        ASSERT_EQ(cell.GetBlockCount(), 2);
        std::string out;
        WriteCell(cell, out);
        const std::string tallText = Line(409, tall);
        const size_t at = out.find(tallText);
        ASSERT_NE(at, std::string::npos);
        const size_t stackAt = out.find(Line(163, head));
        ASSERT_NE(stackAt, std::string::npos);
        EXPECT_EQ(at < stackAt, c.first);
    }
}

TEST(Tables, NegativeCellWidthsAreWrittenAsZero) {
    FlowPage p;
    // A stack far from the page's left edge with the tall piece right of
    // it: the stack cell's computed right edge falls left of its left edge.
    CRtfXmlText* head = p.Text({300, 100, 380, 112}, "a");
    CRtfXmlText* tall = p.Text({400, 100, 450, 130}, "T");
    CRtfXmlText* lower = p.Text({300, 114, 390, 126}, "b");
    p.Join(head, {tall, lower});
    head->m_nWrittenTop = 100;
    CRtfCell cell(head);
    std::string out;
    WriteCell(cell, out);
    // Right edge 400 - 300 + 10 = 110 units (1503 twips); width 110 - 300 + 10 < 0.
    EXPECT_EQ(out.find(Cell(0, 1503, Line(163, head) + "\\par" + Line(191, lower))), 0u);
}

}  // namespace
