// The model's lists and links (insertion everywhere, removal that leaves
// items alive, the link check that stops a broken program) and the page's
// own limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/rtf_document.h"
#include "layout/model.h"
#include "layout/xml_parse.h"

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

std::vector<int> Values(const TSafeList<Item>& list, bool backwards = false) {
    std::vector<int> out;
    if (backwards) {
        for (auto pos = list.GetTailPosition(); pos != nullptr;) out.push_back(list.GetPrev(pos)->value);
    } else {
        for (auto pos = list.GetHeadPosition(); pos != nullptr;) out.push_back(list.GetNext(pos)->value);
    }
    return out;
}

TEST(SafeList, InsertionsKeepBothDirectionsAndTheCountConsistent) {
    Item a(1), b(2), c(3), d(4), e(5), f(6), g(7), h(8);
    TSafeList<Item> list;
    auto pb = list.AddTail(&b);        // 2
    list.AddHead(&a);                  // 1 2
    auto pd = list.AddTail(&d);        // 1 2 4
    list.InsertAfter(pb, &c);          // 1 2 3 4
    list.InsertAfter(pd, &e);          // after the tail: becomes the tail
    list.InsertBefore(list.GetHeadPosition(), &f);  // before the head: becomes the head
    list.InsertAfter(nullptr, &g);     // no position: at the head
    list.InsertBefore(nullptr, &h);
    EXPECT_EQ(Values(list), (std::vector<int>{8, 7, 6, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Values(list, true), (std::vector<int>{5, 4, 3, 2, 1, 6, 7, 8}));
    EXPECT_EQ(list.GetCount(), 8);
    EXPECT_EQ(list.GetHead(), &h);
    EXPECT_EQ(list.GetTail(), &e);
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

TEST(TypedLinkDeathTest, MistypedLinkStopsTheProgram) {
    Other other;
    // Forge a link of the wrong class, as memory corruption or a bad cast would.
    TPtr<Item> bad(reinterpret_cast<Item*>(static_cast<CTagged*>(&other)));
    EXPECT_DEATH(bad.get(), "link to Item points at Other");
}

TEST(Model, PageSettersApplyTheReaderLimits) {
    CRtfPage page(nullptr, 1);
    page.SetTop(0);
    page.SetHeight(3000);
    EXPECT_EQ(page.m_rect.bottom, 2375);
    const struct { int in, out; } margins[] = {{0, 0}, {50, 50}, {51, 50}, {-1, 50}};
    for (const auto& m : margins) {
        page.SetMarginLeft(m.in);
        EXPECT_EQ(page.m_nMarginLeft, m.out) << m.in;
    }
    const struct { int in, out; } rotations[] = {{270, 270}, {45, 0}, {-90, 0}};
    for (const auto& r : rotations) {
        page.SetRotation(r.in);
        EXPECT_EQ(page.m_nRotation, r.out) << r.in;
    }
}

// A page of countless paths (a scanned drawing) keeps only its pictures.
TEST(Model, PathsBeyondThePageLimitAreDropped) {
    for (size_t paths : {kMaxPathsPerPage, kMaxPathsPerPage + 1}) {
        CRtfDocument doc(nullptr);
        CRtfPage page(&doc, 1);
        std::vector<std::unique_ptr<CRtfShpObject>> objects;
        for (size_t i = 0; i < paths; ++i) {
            auto line = std::make_unique<CRtfLine>();
            line->m_strPath = "0 0 m\n100 50 l\nS\n";
            objects.push_back(std::move(line));
        }
        objects.push_back(std::make_unique<CRtfImage>());
        page.AddObjects(objects);
        EXPECT_EQ(page.m_pObjects.size(), paths > kMaxPathsPerPage ? 1 : paths + 1) << paths << " paths";
        EXPECT_TRUE(objects.empty());
    }
    // A path without path text makes no shape; an empty entry is passed over.
    CRtfDocument doc(nullptr);
    CRtfPage page(&doc, 1);
    std::vector<std::unique_ptr<CRtfShpObject>> objects;
    objects.push_back(std::make_unique<CRtfLine>());
    objects.push_back(std::make_unique<CRtfImage>());
    objects.push_back(nullptr);
    CRtfShpObject* image = objects[1].get();
    EXPECT_EQ(page.AddObjects(objects), 1);
    ASSERT_EQ(page.m_pObjects.size(), 1u);
    EXPECT_EQ(page.m_pObjects[0].get(), image);
}

}  // namespace
