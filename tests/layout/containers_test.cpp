// The model's lists and links: insertion everywhere, removal that leaves
// items alive, and the link check that stops a broken program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/model.h"

namespace {

class Item : public CTagged {
    QM_TAGGED_CLASS(Item, nullptr)
public:
    explicit Item(int v) : value(v) { QM_TAG_INIT(); }
    int value;
};

class Other : public CTagged {
    QM_TAGGED_CLASS(Other, nullptr)
public:
    Other() { QM_TAG_INIT(); }
};

std::vector<int> Values(const TSafeList<Item>& list) {
    std::vector<int> out;
    for (auto pos = list.GetHeadPosition(); pos != nullptr;) out.push_back(list.GetNext(pos)->value);
    return out;
}

std::vector<int> ValuesBackwards(const TSafeList<Item>& list) {
    std::vector<int> out;
    for (auto pos = list.GetTailPosition(); pos != nullptr;) out.push_back(list.GetPrev(pos)->value);
    return out;
}

TEST(SafeList, EmptyListHasNoPositionAndClearsQuietly) {
    TSafeList<Item> list;
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_EQ(list.GetCount(), 0);
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(SafeList, InsertionsKeepBothDirectionsAndTheCountConsistent) {
    Item a(1), b(2), c(3), d(4), e(5), f(6);
    TSafeList<Item> list;
    auto pb = list.AddTail(&b);        // 2
    list.AddHead(&a);                  // 1 2
    auto pd = list.AddTail(&d);        // 1 2 4
    list.InsertAfter(pb, &c);          // 1 2 3 4
    list.InsertAfter(pd, &e);          // after the tail: becomes the tail
    list.InsertBefore(list.GetHeadPosition(), &f);  // before the head: becomes the head
    EXPECT_EQ(Values(list), (std::vector<int>{6, 1, 2, 3, 4, 5}));
    EXPECT_EQ(ValuesBackwards(list), (std::vector<int>{5, 4, 3, 2, 1, 6}));
    EXPECT_EQ(list.GetCount(), 6);
    EXPECT_EQ(list.GetHead(), &f);
    EXPECT_EQ(list.GetTail(), &e);
}

TEST(SafeList, EmptyPositionInsertsAtTheHead) {
    Item a(1), b(2), c(3);
    TSafeList<Item> list;
    list.AddTail(&a);
    list.InsertAfter(nullptr, &b);
    list.InsertBefore(nullptr, &c);
    EXPECT_EQ(Values(list), (std::vector<int>{3, 2, 1}));
}

TEST(SafeList, RemovingNodesLeavesItemsAliveInOtherLists) {
    Item a(1), b(2), c(3);
    TSafeList<Item> first;
    TSafeList<Item> second;
    for (Item* i : {&a, &b, &c}) {
        first.AddTail(i);
        second.AddTail(i);
    }
    first.RemoveAt(first.Find(&b));
    EXPECT_EQ(Values(first), (std::vector<int>{1, 3}));
    first.RemoveAt(first.GetHeadPosition());
    first.RemoveAt(first.GetTailPosition());
    EXPECT_EQ(first.GetCount(), 0);
    EXPECT_EQ(first.GetHeadPosition(), nullptr);
    first.AddTail(&c);  // an emptied list works again
    EXPECT_EQ(Values(first), (std::vector<int>{3}));
    second.RemoveAll();
    EXPECT_EQ(second.GetCount(), 0);
    EXPECT_EQ(a.value + b.value + c.value, 6);  // items untouched
}

TEST(SafeList, RectListOwnsCopies) {
    TRectList<> rects;
    CRect r(1, 2, 3, 4);
    rects.Add(r);
    r.left = 100;
    EXPECT_EQ(rects.GetHead()->left, 1);
    EXPECT_EQ(rects.GetCount(), 1);
}

TEST(TypedLink, DerivedTargetsPassAndEmptyLinksReadAsNull) {
    CRtfLine line;
    TPtr<CRtfShpObject> shape(&line);
    EXPECT_EQ(shape->m_nKind, CRtfShpObject::kLine);
    TPtr<CRtfXmlText> none;
    EXPECT_EQ(none.get(), nullptr);
}

TEST(TypedLinkDeathTest, MistypedLinkStopsTheProgram) {
    Other other;
    // Forge a link of the wrong class, as memory corruption or a bad cast would.
    TPtr<Item> bad(reinterpret_cast<Item*>(static_cast<CTagged*>(&other)));
    EXPECT_DEATH(bad.get(), "link to Item points at Other");
}

TEST(Model, DefaultsOfTheElementClasses) {
    CRtfXmlText text;
    EXPECT_EQ(text.m_nFontSize, 10);
    TRtfWord<> word;
    EXPECT_EQ(word.m_nFontSize, 10);
    CRtfFont font;
    EXPECT_EQ(font.m_nSize, 10);
    CRtfPage page(nullptr, 1);
    EXPECT_EQ(page.m_rect, CRect(0, 0, 612, 792));
    CRtfLine line;
    EXPECT_EQ(line.m_nKind, 2);
    EXPECT_EQ(line.m_nPageWidth, 612);
    EXPECT_EQ(line.m_fHeight, 792.0);
    int before = CRtfImage::AliveCount();
    {
        CRtfImage image;
        EXPECT_EQ(image.m_nKind, 1);
        EXPECT_EQ(CRtfImage::AliveCount(), before + 1);
    }
    EXPECT_EQ(CRtfImage::AliveCount(), before);
}

TEST(Model, PageSettersApplyTheReaderLimits) {
    CRtfPage page(nullptr, 1);
    page.SetTop(0);
    page.SetHeight(3000);
    EXPECT_EQ(page.m_rect.bottom, 2375);
    page.SetLeft(10);
    page.SetWidth(30);
    EXPECT_EQ(page.m_rect.right, 40);
    const struct { int in, out; } margins[] = {{0, 0}, {50, 50}, {51, 50}, {60, 50}, {-1, 50}, {12, 12}};
    for (const auto& m : margins) {
        page.SetMarginLeft(m.in);
        EXPECT_EQ(page.m_nMarginLeft, m.out) << m.in;
    }
    const struct { int in, out; } rotations[] = {{90, 90}, {180, 180}, {270, 270}, {45, 0}, {-90, 0}};
    for (const auto& r : rotations) {
        page.SetRotation(r.in);
        EXPECT_EQ(page.m_nRotation, r.out) << r.in;
    }
}

TEST(Model, FragmentsOwnTheirWords) {
    CRtfXmlText text;
    TRtfWord<>* w = text.NewWord();
    text.m_words.AddTail(w);
    EXPECT_EQ(w->m_pText.get(), &text);
    EXPECT_EQ(text.m_words.GetCount(), 1);
}

}  // namespace
