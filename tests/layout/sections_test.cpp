// Sections and columns: where a fragment's column is, how a row merges
// into the last section (or starts a new one), the roll-back of a row that
// does not fit, and the column header.
#include <gtest/gtest.h>

#include "flow_fixture.h"
#include "rtf/blocks.h"
#include "rtf/runs.h"

namespace {

// A section of hand-made columns: each column gets its fragments and, when
// given, a box of its own instead of the fragments' union.
struct ColumnSpec { std::vector<CRtfXmlText*> texts; CRect box; };

CRtfSection* MakeSection(FlowPage& p, const std::vector<ColumnSpec>& columns) {
    CRtfSection* s = p.page->Make<CRtfSection>(0);
    for (const ColumnSpec& spec : columns) {
        CRtfParagraphs* c = s->NewBlock();
        for (CRtfXmlText* t : spec.texts) c->AppendText(t);
        if (!spec.box.IsRectNull()) c->m_rect = spec.box;
        s->m_columns.AddTail(c);
        s->m_rect.UnionRect(s->m_rect, c->m_rect);
    }
    p.page->m_flow.m_sections.AddTail(s);
    return s;
}

std::vector<CRtfParagraphs*> Columns(const CRtfSection* s) {
    std::vector<CRtfParagraphs*> out;
    for (CRtfParagraphs* c : s->m_columns) out.push_back(c);
    return out;
}

int ColumnIndex(const CRtfSection* s, CRtfSection::ColumnPos pos) {
    if (pos == nullptr) return 0;
    int i = 1;
    for (TSafeList<CRtfParagraphs>::POSITION at = s->m_columns.GetHeadPosition(); at != nullptr; ++i) {
        if (at == pos) return i;
        s->m_columns.GetNext(at);
    }
    return -1;
}

// The row as a list, with every fragment also in `remaining` and the pool.
struct Row {
    DebugRtfXmlTextList list;
    Row(FlowPage& p, DebugRtfXmlTextList& remaining, std::initializer_list<CRtfXmlText*> texts) {
        for (CRtfXmlText* t : texts) {
            list.AddTail(t);
            remaining.AddTail(t);
            p.page->m_pPool->m_main.AddTail(t);
        }
    }
};

TEST(SectionFindColumn, Decisions) {
    FlowPage p;
    // Column 1 spans 100-200 (its first line 100-150), column 2 300-400,
    // both down to 200.
    CRtfXmlText* f1 = p.Text({100, 100, 150, 112});
    CRtfXmlText* f2 = p.Text({300, 100, 400, 112});
    CRtfSection* s = MakeSection(p, {{{f1}, {100, 100, 200, 200}}, {{f2}, {300, 100, 400, 200}}});
    // The column is 1-based, 0 for none.
    struct Case { const char* name; CRect box; int column; bool newColumn; int placement; int side; bool shrink; };
    const Case cases[] = {
        {"starting at a column's right edge: not that column", {200, 210, 250, 222}, 2, true, 0, 0, false},
        {"right of the last column", {410, 210, 500, 222}, 2, true, 1, 0, false},
        {"left of the first column", {20, 210, 90, 222}, 1, true, 0, 0, false},
        {"below the column", {120, 200, 180, 212}, 1, false, 0, 0, false},
        {"past the right edge, 2 short of the next", {150, 210, 298, 222}, 1, false, 0, 0, true},
        {"past the right edge, 3 short of the next", {150, 210, 297, 222}, 1, false, 0, 0, false},
        {"touching the next column", {150, 210, 300, 222}, 0, false, 0, 0, false},
        {"past the last column's right edge", {350, 210, 450, 222}, 2, false, 0, 0, false},
        {"from the gap into the next, 0.5", {280, 210, 320, 250}, 2, false, 0, 0, false},
        {"34% above the bottom", {120, 166, 180, 266}, 1, false, 0, 0, false},
        {"34% above the bottom, flush right", {120, 166, 200, 266}, 1, false, 0, 0, true},
        {"35% above the bottom", {120, 165, 180, 265}, 0, false, 0, 0, false},
        {"level, right of the first line", {160, 190, 190, 202}, 1, false, 0, 1, false},
        {"level, straddling the first line's right edge", {140, 190, 190, 202}, 1, false, 0, 0, false},
        {"level, within the first line: walks on", {110, 190, 140, 202}, 2, true, 0, 0, false},
        {"zero height: level with the column", {160, 150, 190, 150}, 1, false, 0, 1, false},
        {"zero width", {150, 210, 150, 222}, 0, false, 0, 0, false},
        {"zero width and height", {150, 210, 150, 210}, 1, false, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRtfXmlText* x = p.Text(c.box);
        bool newColumn = false;
        int placement = 0;
        int side = 0;
        CRtfSection::ColumnPos pos = s->FindColumn(x, c.box, newColumn, placement, side);
        EXPECT_EQ(ColumnIndex(s, pos), c.column);
        EXPECT_EQ(newColumn, c.newColumn);
        EXPECT_EQ(placement, c.placement);
        EXPECT_EQ(side, c.side);
        EXPECT_EQ(x->m_nFontSize, c.shrink ? 9 : 10);
    }
}

TEST(SectionFindColumn, ReachingFromTheGapIntoAnEmptyColumn) {
    FlowPage p;
    // An empty next column: only the gap rule can place the fragment there.
    CRtfSection* s = MakeSection(p, {{{p.Text({100, 100, 200, 112})}, {100, 100, 200, 200}}, {{}, {300, 100, 400, 200}}});
    struct Case { CRect box; int column; };
    const Case cases[] = {
        {{281, 150, 318, 170}, 2},  // 18 of 20
        {{281, 150, 319, 170}, 0},  // 19 of 20 is above the single-precision 0.95
    };
    for (const Case& c : cases) {
        bool newColumn = false;
        int placement = 0;
        int side = 0;
        EXPECT_EQ(ColumnIndex(s, s->FindColumn(p.Text(c.box), c.box, newColumn, placement, side)), c.column);
    }
}

TEST(SectionMergeRow, TwoFragmentsOfOneColumn) {
    struct Case { const char* name; CRect second; int result; bool joined; };
    // The first fragment of the row is 100 high; the second overlaps it by
    // the given share of its own height.
    const Case cases[] = {
        {"81%: one line", {210, 119, 290, 219}, 0, true},
        {"50%: ambiguous", {210, 150, 290, 250}, 1, false},
        {"20%: two lines", {210, 180, 290, 280}, 0, false},
        {"81% but within the first's span", {110, 119, 190, 219}, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowPage p;
        DebugRtfXmlTextList remaining;
        CRtfXmlText* top = p.Text({100, 50, 300, 62});
        CRtfSection* s = MakeSection(p, {{{top}, {}}});
        CRtfXmlText* y = p.Text({100, 100, 200, 200});
        CRtfXmlText* x = p.Text(c.second);
        Row row(p, remaining, {y, x});
        ASSERT_EQ(static_cast<int>(s->MergeRow(&row.list, &remaining, p.page)), c.result);
        CRtfParagraphs* column = s->m_columns.GetHead();
        if (c.result == 1) {
            EXPECT_EQ(Items(&row.list), (std::vector<CRtfXmlText*>{y, x}));
            EXPECT_EQ(Items(&column->m_texts), std::vector<CRtfXmlText*>{top});
            EXPECT_EQ(s->m_rect, CRect(100, 50, 300, 62));
            continue;
        }
        // Placed fragments stay listed in the row; only joined ones leave it.
        if (c.joined) {
            EXPECT_EQ(Items(&row.list), std::vector<CRtfXmlText*>{y});
            EXPECT_EQ(Items(&column->m_texts), (std::vector<CRtfXmlText*>{top, y}));
            EXPECT_EQ(Joined(y), std::vector<CRtfXmlText*>{x});
            EXPECT_EQ(Items(&remaining), std::vector<CRtfXmlText*>{y});
            EXPECT_EQ(Items(&p.page->m_pPool->m_main), std::vector<CRtfXmlText*>{y});
        } else {
            EXPECT_EQ(Items(&row.list), (std::vector<CRtfXmlText*>{y, x}));
            EXPECT_EQ(Items(&column->m_texts), (std::vector<CRtfXmlText*>{top, y, x}));
            EXPECT_EQ(Items(&remaining).size(), 2u);
        }
        EXPECT_FALSE(y->m_pColumn);
        EXPECT_FALSE(x->m_pColumn);
    }
}

TEST(SectionMergeRow, RollBackLeavesRowAndListsAsTheyWere) {
    FlowPage p;
    DebugRtfXmlTextList remaining;
    CRtfXmlText* left = p.Text({100, 50, 300, 62});
    CRtfXmlText* right = p.Text({400, 50, 500, 62});
    remaining.AddTail(left);
    remaining.AddTail(right);
    CRtfSection* s = MakeSection(p, {{{left}, {}}, {{right}, {}}});
    // y takes x1 and then x2 on its line; z spans both columns, so the row
    // is refused after both joins.
    CRtfXmlText* y = p.Text({100, 100, 200, 200});
    CRtfXmlText* x1 = p.Text({210, 110, 250, 210});
    CRtfXmlText* x2 = p.Text({260, 115, 295, 215});
    CRtfXmlText* z = p.Text({250, 300, 450, 320});
    CRtfXmlText* yPiece = p.Text({120, 100, 130, 200});
    CRtfXmlText* x1Piece = p.Text({240, 110, 250, 210});
    p.Join(y, {yPiece});
    p.Join(x1, {x1Piece});
    y->m_rcLine = y->m_rect;
    x1->m_rcLine = CRect(205, 108, 252, 212);  // grown by an earlier join of its own
    DebugRtfXmlTextList* yList = y->m_pJoined.get();
    DebugRtfXmlTextList* x1List = x1->m_pJoined.get();
    Row row(p, remaining, {y, x1, x2, z});
    const std::vector<CRtfXmlText*> remainingBefore = Items(&remaining);
    const std::vector<CRtfXmlText*> poolBefore = Items(&p.page->m_pPool->m_main);

    ASSERT_EQ(s->MergeRow(&row.list, &remaining, p.page), CRtfSection::MergeResult::kNoFit);
    EXPECT_EQ(Items(&row.list), (std::vector<CRtfXmlText*>{y, x1, x2, z}));
    EXPECT_EQ(Items(&remaining), remainingBefore);
    EXPECT_EQ(Items(&p.page->m_pPool->m_main), poolBefore);
    EXPECT_EQ(y->m_pJoined.raw(), yList);
    EXPECT_EQ(Joined(y), std::vector<CRtfXmlText*>{yPiece});
    EXPECT_EQ(x1->m_pJoined.raw(), x1List);
    EXPECT_EQ(Joined(x1), std::vector<CRtfXmlText*>{x1Piece});
    EXPECT_FALSE(x2->m_pJoined);
    EXPECT_EQ(y->m_rcLine, CRect(100, 100, 200, 200));
    EXPECT_EQ(x1->m_rcLine, CRect(205, 108, 252, 212));
    EXPECT_EQ(x2->m_rcLine, x2->m_rect);
    for (CRtfXmlText* t : {y, x1, x2, z}) EXPECT_FALSE(t->m_pColumn);
    EXPECT_EQ(Items(&s->m_columns.GetHead()->m_texts), std::vector<CRtfXmlText*>{left});
    EXPECT_EQ(Items(&s->m_columns.GetTail()->m_texts), std::vector<CRtfXmlText*>{right});
    EXPECT_EQ(s->m_rect, CRect(100, 50, 500, 62));

    // Through AddRow the refused row becomes a section of its own.
    EXPECT_EQ(p.page->m_flow.AddRow(&row.list, &remaining, p.page), 1);
    ASSERT_EQ(p.page->m_flow.m_sections.GetCount(), 2);
    EXPECT_EQ(p.page->m_flow.m_sections.GetTail()->m_columns.GetCount(), 4);
}

TEST(SectionAddRow, NewSectionOrMerge) {
    {
        // The first row of a page: one column per fragment.
        FlowPage p;
        DebugRtfXmlTextList remaining;
        Row row(p, remaining, {p.Text({50, 50, 100, 62}), p.Text({150, 50, 200, 62})});
        EXPECT_EQ(p.page->m_flow.AddRow(&row.list, &remaining, p.page), 1);
        ASSERT_EQ(p.page->m_flow.m_sections.GetCount(), 1);
        EXPECT_EQ(p.page->m_flow.m_sections.GetHead()->m_columns.GetCount(), 2);
        EXPECT_EQ(p.page->m_flow.m_sections.GetHead()->m_rect, CRect(50, 50, 200, 62));
        DebugRtfXmlTextList empty;
        EXPECT_EQ(p.page->m_flow.AddRow(&empty, &remaining, p.page), 0);
        EXPECT_EQ(p.page->m_flow.AddRow(nullptr, &remaining, p.page), 0);
    }
    // A one-column section from 100 to the given right edge, and a row of
    // three below it from the given left edge to 380.
    struct Case { const char* name; int sectionRight; int rowLeft; int result; int sections; int lastColumns; };
    const Case cases[] = {
        {"across the section", 400, 150, 1, 2, 3},
        {"one piece right of the section", 300, 150, 0, 1, 2},
        {"right of the section", 200, 250, 0, 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowPage p;
        DebugRtfXmlTextList remaining;
        MakeSection(p, {{{p.Text({100, 50, c.sectionRight, 62})}, {}}});
        const int mid = (c.rowLeft + 350) / 2;
        Row row(p, remaining,
                {p.Text({c.rowLeft, 70, c.rowLeft + 30, 82}), p.Text({mid, 70, mid + 30, 82}), p.Text({350, 70, 380, 82})});
        EXPECT_EQ(p.page->m_flow.AddRow(&row.list, &remaining, p.page), c.result);
        EXPECT_EQ(p.page->m_flow.m_sections.GetCount(), c.sections);
        EXPECT_EQ(p.page->m_flow.m_sections.GetTail()->m_columns.GetCount(), c.lastColumns);
    }
}

TEST(SectionWrite, ColumnsTileTheSectionAndTheHeaderGivesTheirWidths) {
    FlowPage p;
    CRtfXmlText* a = p.Text({60, 10, 120, 22}, "a");
    CRtfXmlText* b = p.Text({150, 10, 300, 22}, "b");
    CRtfXmlText* c = p.Text({350, 10, 450, 22}, "c");
    CRtfSection* s = MakeSection(p, {{{a}, {}}, {{b}, {}}, {{c}, {}}});
    s->m_rect = CRect(50, 0, 500, 100);  // the page area the writer gives it
    std::string out;
    WriteSection(*s, out);
    const std::vector<CRtfParagraphs*> columns = Columns(s);
    EXPECT_EQ(columns[0]->m_rect, CRect(50, 0, 150, 100));
    EXPECT_EQ(columns[1]->m_rect, CRect(150, 0, 350, 100));
    EXPECT_EQ(columns[2]->m_rect, CRect(350, 0, 500, 100));
    std::string expected = "\\cols3\\colno1\\colw1366\\colsr-0\\colno2\\colw2733\\colsr-0\\colno3\\colw2049";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) expected += "\\column";
        WriteParagraphs(*columns[i], expected);
    }
    EXPECT_TRUE(SameText(expected, out));
    EXPECT_NE(out.find(WriteFragment(*b)), std::string::npos);
}

TEST(SectionWrite, ANegativeColumnWidthIsWrittenAsZero) {
    FlowPage p;
    // The second column starts left of the section's margin.
    CRtfSection* s = MakeSection(p, {{{p.Text({120, 10, 140, 22})}, {}}, {{p.Text({60, 30, 110, 42})}, {}}});
    s->m_rect = CRect(100, 0, 300, 100);
    s->ArrangeColumns();
    std::string header;
    WriteColumnHeader(*s, header);
    EXPECT_EQ(header, "\\cols2\\colno1\\colw0\\colsr-0\\colno2\\colw3279");
}

}  // namespace
