// The flowing build: sorting, row gathering, joining of touching pieces,
// the default section, drawn objects and absorbed underlines.
#include <gtest/gtest.h>

#include "flow_fixture.h"

namespace {

struct Gathered { DebugRtfXmlTextList* sorted = nullptr; TSafeList<CRtfXmlText>::POSITION position = nullptr; };

Gathered StartRows(FlowPage& p) {
    Gathered g;
    g.sorted = p.page->SortTexts();
    g.position = g.sorted->GetHeadPosition();
    return g;
}

std::vector<CRtfXmlText*> NextRow(FlowPage& p, Gathered& g) {
    DebugRtfXmlTextList row;
    p.page->GatherRow(g.position, g.sorted, &row);
    return Items(&row);
}

TEST(FlowRows, TouchingPiecesOfARowAreJoined) {
    struct Case {
        const char* name;
        CRect first;
        CRect second;
        bool joined;
        CRect line;  // the first fragment's line box afterwards
    };
    const Case cases[] = {
        {"9 apart", {100, 50, 200, 62}, {209, 50, 300, 62}, true, {100, 50, 300, 62}},
        {"10 apart", {100, 50, 200, 62}, {210, 51, 300, 63}, false, {100, 50, 200, 62}},
        // 6 of 10 is below the single-precision 0.6 widened to double.
        {"vertical overlap exactly 0.6", {100, 50, 200, 60}, {205, 54, 300, 64}, false, {100, 50, 200, 60}},
        {"vertical overlap 0.7", {100, 50, 200, 60}, {205, 53, 300, 63}, true, {100, 50, 300, 63}},
        {"second starts higher, 9 of 12", {100, 50, 200, 62}, {205, 47, 300, 59}, true, {100, 47, 300, 62}},
        {"second starts higher, 7 of 12", {100, 50, 200, 62}, {205, 45, 300, 57}, false, {100, 50, 200, 62}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowPage p;
        CRtfXmlText* a = p.Main(c.first);
        CRtfXmlText* b = p.Main(c.second);
        Gathered g = StartRows(p);
        std::vector<CRtfXmlText*> row = NextRow(p, g);
        EXPECT_EQ(g.position, nullptr);
        EXPECT_EQ(a->m_rcLine, c.line);
        if (c.joined) {
            EXPECT_EQ(row, std::vector<CRtfXmlText*>{a});
            EXPECT_EQ(Joined(a), std::vector<CRtfXmlText*>{b});
            // The piece lives on only through its head.
            EXPECT_EQ(Items(g.sorted), std::vector<CRtfXmlText*>{a});
            EXPECT_EQ(Items(&p.page->m_pPool->m_main), std::vector<CRtfXmlText*>{a});
        } else {
            EXPECT_EQ(row, (std::vector<CRtfXmlText*>{a, b}));
            EXPECT_FALSE(a->m_pJoined);
            EXPECT_EQ(Items(g.sorted).size(), 2u);
        }
    }
}

TEST(FlowRows, ALineBarelyIntoTheRowIsPushedBelowIt) {
    struct Case {
        const char* name;
        CRect candidate;
        CRect after;  // the candidate's line box afterwards
    };
    const Case cases[] = {
        {"1 of 10 (0.1)", {300, 61, 400, 71}, {300, 62, 400, 72}},
        {"2 of 12 (0.167): a conflict, not moved", {300, 60, 400, 72}, {300, 60, 400, 72}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowPage p;
        CRtfXmlText* first = p.Main({100, 50, 200, 62});
        CRtfXmlText* candidate = p.Main(c.candidate);
        Gathered g = StartRows(p);
        EXPECT_EQ(NextRow(p, g), std::vector<CRtfXmlText*>{first});
        EXPECT_EQ(candidate->m_rcLine, c.after);
        EXPECT_EQ(candidate->m_nFlags & kTextInRow, 0);
        // It starts the next row.
        EXPECT_EQ(NextRow(p, g), std::vector<CRtfXmlText*>{candidate});
        EXPECT_EQ(g.position, nullptr);
    }
}

TEST(FlowRows, ConflictsSplitRows) {
    struct Case { const char* name; CRect first; CRect second; bool sameRow; };
    const Case cases[] = {
        {"side by side on one line", {100, 50, 200, 62}, {300, 52, 400, 64}, true},
        {"centre over the first", {100, 50, 200, 62}, {120, 55, 220, 67}, false},
        {"first's centre under it", {100, 50, 200, 62}, {90, 56, 400, 68}, false},
        {"lower half beside it", {100, 50, 200, 62}, {300, 58, 400, 78}, false},
        {"touching the bottom of a tall first", {100, 50, 200, 150}, {300, 141, 400, 145}, false},
        {"overlapping spans without centres", {100, 50, 200, 62}, {190, 52, 400, 64}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowPage p;
        CRtfXmlText* first = p.Main(c.first);
        CRtfXmlText* second = p.Main(c.second);
        Gathered g = StartRows(p);
        std::vector<CRtfXmlText*> row = NextRow(p, g);
        if (c.sameRow) {
            EXPECT_EQ(row, (std::vector<CRtfXmlText*>{first, second}));
        } else {
            EXPECT_EQ(row, std::vector<CRtfXmlText*>{first});
            EXPECT_EQ(NextRow(p, g), std::vector<CRtfXmlText*>{second});
        }
    }
}

TEST(FlowBuild, HeadingAboveTwoColumns) {
    FlowPage p;
    CRtfXmlText* heading = p.Main({50, 20, 520, 40});
    CRtfXmlText* l1 = p.Main({50, 50, 250, 62});
    CRtfXmlText* r1 = p.Main({320, 50, 520, 62});
    CRtfXmlText* l2 = p.Main({50, 70, 250, 82});
    CRtfXmlText* r2 = p.Main({320, 70, 520, 82});
    CRtfXmlText* l3 = p.Main({50, 90, 200, 102});
    EXPECT_FALSE(p.page->BuildFlow());
    const TSafeList<CRtfSection>& sections = p.page->m_flow.m_sections;
    ASSERT_EQ(sections.GetCount(), 2);
    CRtfSection* top = sections.GetHead();
    ASSERT_EQ(top->m_columns.GetCount(), 1);
    EXPECT_EQ(Items(&top->m_columns.GetHead()->m_texts), std::vector<CRtfXmlText*>{heading});
    CRtfSection* body = sections.GetTail();
    ASSERT_EQ(body->m_columns.GetCount(), 2);
    EXPECT_EQ(Items(&body->m_columns.GetHead()->m_texts), (std::vector<CRtfXmlText*>{l1, l2, l3}));
    EXPECT_EQ(Items(&body->m_columns.GetTail()->m_texts), (std::vector<CRtfXmlText*>{r1, r2}));
    EXPECT_EQ(body->m_rect, CRect(50, 50, 520, 102));
    EXPECT_EQ(p.page->SectionFlags(), 0x01 | 0x04);
    EXPECT_EQ(Items(p.page->m_pSorted.get()).size(), 6u);
}

TEST(FlowUnderline, OnlyHairlinesAfterAFlowingBuildAreOffered) {
    FlowPage p;
    CRtfXmlText* t = p.Main({100, 50, 200, 62});
    CRtfLine rule;
    rule.m_rect = CRect(100, 60, 200, 61);
    // Without a flowing build (other layouts) nothing is absorbed.
    EXPECT_FALSE(p.page->AbsorbUnderline(&rule));
    EXPECT_FALSE(p.page->AbsorbUnderline(nullptr));
    p.page->BuildFlow();
    CRtfLine thick;
    thick.m_rect = CRect(100, 60, 200, 62);
    CRtfLine upsideDown;
    upsideDown.m_rect = CRect(100, 61, 200, 60);
    EXPECT_FALSE(p.page->AbsorbUnderline(&thick));
    EXPECT_FALSE(p.page->AbsorbUnderline(&upsideDown));
    EXPECT_EQ(t->m_words.GetHead()->m_nStyle & 0x04, 0);

    EXPECT_TRUE(p.page->AbsorbUnderline(&rule));
    EXPECT_NE(t->m_words.GetHead()->m_nStyle & 0x04, 0);
    // A rule of no height counts from one unit above it.
    FlowPage flat;
    CRtfXmlText* u = flat.Main({100, 50, 200, 62});
    flat.page->BuildFlow();
    CRtfLine zero;
    zero.m_rect = CRect(100, 61, 200, 61);
    EXPECT_TRUE(flat.page->AbsorbUnderline(&zero));
    EXPECT_NE(u->m_words.GetHead()->m_nStyle & 0x04, 0);
}

}  // namespace
