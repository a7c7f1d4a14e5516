// The page intake: placement by rotation, joins on the way in, and the
// overprint filter.
#include <gtest/gtest.h>

#include "layout/text_fixture.h"

namespace {

// Which list of the pool took `t`.
const char* Placed(const TextPage& p, CRtfXmlText* t) {
    if (p.page->m_pPool && p.page->m_pPool->m_main.Find(t) != nullptr) return "main";
    if (p.page->m_pPool && p.page->m_pPool->m_leftover.Find(t) != nullptr) return "leftover";
    return "dropped";
}

}  // namespace

TEST(TextPoolIntake, PlacesFragmentsByPageAndTextRotation) {
    struct Case { int32_t page; int32_t text; CRect box; bool result; const char* where; CRect after; };
    // The page is 612 by 792 units.
    const Case cases[] = {
        {0, 0, {10, 20, 110, 32}, true, "main", {10, 20, 110, 32}},
        {0, 0, {10, 20, 11, 32}, false, "dropped", {10, 20, 11, 32}},
        {0, 0, {10, 20, 5, 32}, true, "main", {10, 20, 5, 32}},  // negative width, kept
        {0, 90, {10, 20, 11, 32}, true, "leftover", {10, 20, 11, 32}},
        {90, 0, {10, 20, 110, 32}, true, "leftover", {20, 590, 120, 602}},
        {90, 90, {10, 20, 110, 32}, true, "main", {10, 20, 110, 32}},
        {90, 270, {10, 20, 11, 32}, true, "main", {10, 20, 10, 32}},  // sliver: width 0, filtered, kept
        {180, 180, {10, 20, 110, 32}, true, "main", {10, 20, 110, 32}},
        {180, 0, {10, 20, 110, 32}, true, "leftover", {590, 760, 602, 760}},
        {270, 90, {100, 200, 150, 212}, true, "leftover", {50, 188, 100, 200}},
        {270, 270, {100, 200, 150, 212}, true, "main", {100, 200, 150, 212}},  // upright on the page
        {270, 0, {100, 200, 150, 212}, true, "main", {100, 200, 150, 212}},
    };
    for (const Case& c : cases) {
        TextPage p;
        p.page->SetRotation(c.page);
        CRtfXmlText* t = p.Text(c.box, {"text"}, 10, c.text);
        const std::string name = std::to_string(c.page) + "/" + std::to_string(c.text) + " " + RectText(c.box);
        EXPECT_EQ(CRtfTextPool::AddText(&p.doc, t), c.result) << name;
        EXPECT_STREQ(Placed(p, t), c.where) << name;
        EXPECT_EQ(RectText(t->m_rect), RectText(c.after)) << name;
        if (std::string(c.where) == "main") {
            EXPECT_EQ(RectText(t->m_rcLine), RectText(t->m_rect)) << name;
        }
    }
    // Without a page, or a document, there is nowhere to put it.
    CRtfDocument doc(nullptr);
    CRtfXmlText loose;
    EXPECT_FALSE(CRtfTextPool::AddText(&doc, &loose));
    EXPECT_FALSE(CRtfTextPool::AddText(nullptr, &loose));
}

TEST(TextPoolIntake, RemembersWhereTheTextStoodAndFitsTheFontSize) {
    TextPage p;
    p.UseFonts({"Liberation Sans"});
    // A box of no height (Type 3 fonts give such) is measured by the
    // filter, which narrows it to the screen font's width.
    CRtfXmlText* t = p.Text({100, 100, 300, 100}, {"text"});
    t->m_rcLine = CRect();
    bool absorbed = false;
    ASSERT_TRUE(p.page->FilterOverprint(t, absorbed));
    ASSERT_TRUE(CRtfTextPool::AddText(&p.doc, t));
    EXPECT_LT(t->m_rect.right, 300);
    EXPECT_EQ(t->m_rcPrint, CRect(100, 100, 300, 100));

    // Turned leftovers turn it too.
    TextPage q;
    q.page->SetRotation(90);
    CRtfXmlText* up = q.Text({10, 20, 110, 32}, {"text"});
    ASSERT_TRUE(CRtfTextPool::AddText(&q.doc, up));
    EXPECT_EQ(up->m_rcPrint, CRect(20, 590, 120, 602));

    // The font size of text from six points up is fitted.
    TextPage f;
    f.UseFonts({"Liberation Sans"});
    CRtfXmlText* wide = f.Text({100, 100, 130, 120}, {"A long line of text"}, 12);
    ASSERT_TRUE(CRtfTextPool::AddText(&f.doc, wide));
    EXPECT_EQ(wide->m_nFontSize, 6);
    CRtfXmlText* small = f.Text({100, 200, 130, 220}, {"A long line of text"}, 5);
    ASSERT_TRUE(CRtfTextPool::AddText(&f.doc, small));
    EXPECT_EQ(small->m_nFontSize, 5);
    EXPECT_EQ(small->m_words.GetHead()->m_nFontSize, 5);
}

// The overprint filter, run against a main list built by hand.
class Overprint : public ::testing::Test {
protected:
    CRtfXmlText* InMain(CRect box, int32_t rotation = 0) {
        CRtfXmlText* t = p.Text(box, {"text"}, 10, rotation);
        if (!p.page->m_pPool) p.page->m_pPool = p.page->Make<CRtfTextPool>();
        p.page->m_pPool->m_main.AddTail(t);
        return t;
    }
    bool Keep(CRect box, int32_t rotation = 0) {
        candidate = p.Text(box, {"text"}, 10, rotation);
        candidate->m_rcLine = CRect();  // as the reader delivers it
        bool a = false;
        const bool keep = p.page->FilterOverprint(candidate, a);
        EXPECT_FALSE(a);
        return keep;
    }

    TextPage p;
    CRtfXmlText* candidate = nullptr;
};

TEST_F(Overprint, DropsTextDrawnTwiceAndKeepsTextThatOnlyTouchesOthers) {
    InMain({100, 100, 200, 120});
    EXPECT_FALSE(Keep({100, 100, 200, 120}));           // the same box
    EXPECT_FALSE(Keep({120, 102, 180, 118}));           // inside it
    EXPECT_FALSE(Keep({110, 100, 210, 120}));           // 90% covered
    EXPECT_TRUE(Keep({100, 100, 200, 120}, 90));  // another direction
    // 40% shared at its left end while the other has no pieces: kept at
    // once, and the duplicate listed after it is never looked at.
    InMain({160, 100, 260, 120});
    EXPECT_TRUE(Keep({160, 100, 260, 120}));
    // Its right end inside the other, 50% shared.
    EXPECT_TRUE(Keep({50, 100, 150, 120}));
}

TEST_F(Overprint, DropsTextBeyondThePageThatMeasuringCannotBringBack) {
    EXPECT_FALSE(Keep({600, 100, 650, 120}));
    EXPECT_FALSE(Keep({100, 780, 200, 800}));
    EXPECT_FALSE(Keep({100, -30, 200, -10}));  // a negative bottom counts as far out
    EXPECT_TRUE(Keep({0, 0, 612, 792}));
}

TEST(OverprintPieces, AbsorbsALatePieceOfALineUnlessItOverlapsThePieceMuch) {
    struct Case { const char* name; CRect box; bool absorbed; };
    // E is (100, 100, 200, 120) with the piece J (300, 100, 400, 120).
    const Case cases[] = {
        {"ends inside J, a little of it", {250, 100, 310, 120}, true},
        {"covers most of J's width", {250, 90, 390, 130}, false},
        {"barely J's height", {250, 115, 310, 135}, false},
    };
    for (const Case& c : cases) {
        TextPage p;
        p.page->m_pPool = p.page->Make<CRtfTextPool>();
        CRtfXmlText* e = p.Text({100, 100, 200, 120}, {"line"});
        p.page->m_pPool->m_main.AddTail(e);
        CRtfXmlText* j = p.Text({300, 100, 400, 120}, {"piece"});
        p.Join(e, j);
        CRtfXmlText* f = p.Text(c.box, {"late"});
        f->m_rcLine = CRect();
        bool absorbed = false;
        EXPECT_EQ(p.page->FilterOverprint(f, absorbed), !c.absorbed) << c.name;
        EXPECT_EQ(absorbed, c.absorbed) << c.name;
        if (!c.absorbed) {
            EXPECT_EQ(e->m_pJoined->GetCount(), 1) << c.name;
            continue;
        }
        // It lives on just before J, its line box grown by J's box.
        ASSERT_EQ(e->m_pJoined->GetCount(), 2);
        EXPECT_EQ(e->m_pJoined->GetHead(), f);
        EXPECT_EQ(e->m_pJoined->GetTail(), j);
        EXPECT_EQ(f->m_rcLine, CRect(300, 100, 400, 120));
        EXPECT_EQ(p.page->m_pPool->m_main.Find(f), nullptr);
    }
}

TEST_F(Overprint, GapBeforeAPieceLooksOnOnlyForTextWithinTheLine) {
    // E's line runs from 100 to 400 with pieces J (300-400) and K, which
    // lies over the gap before J. Text in the gap and within the line's band
    // is compared with K and found printed twice; text mostly outside the
    // band (60% in it) is kept without looking at K.
    CRtfXmlText* e = InMain({100, 100, 200, 120});
    p.Join(e, p.Text({300, 100, 400, 120}, {"piece"}));
    p.Join(e, p.Text({215, 98, 265, 130}, {"over"}));
    e->m_rcLine = CRect(100, 100, 400, 120);
    EXPECT_FALSE(Keep({220, 100, 260, 120}));
    EXPECT_TRUE(Keep({220, 108, 260, 128}));
}

TEST_F(Overprint, MeasuresFragmentsOfNoHeight) {
    EXPECT_TRUE(Keep({100, 100, 100, 100}));  // no font: stays empty and is kept
    p.UseFonts({"Liberation Sans"});
    EXPECT_TRUE(Keep({100, 100, 300, 100}));
    EXPECT_GT(candidate->m_rect.Height(), 0);
    EXPECT_EQ(candidate->m_rect.bottom, 100);
}
