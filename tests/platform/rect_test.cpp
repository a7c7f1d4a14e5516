// Rectangle rules, MulDiv rounding and the twips conversion, with the
// Windows rules: an empty rectangle adds nothing to a union, the right and
// bottom edges lie outside.
#include <gtest/gtest.h>

#include "layout/model.h"
#include "platform/rect.h"

TEST(Rect, UnionAndIntersection) {
    const struct { const char* what; CRect a, b; bool unionOk; CRect u; bool meets; CRect i; } cases[] = {
        {"empty first", {0, 0, 0, 0}, {10, 10, 20, 20}, true, {10, 10, 20, 20}, false, {}},
        // A zero-width rectangle far away does not stretch the union.
        {"zero width second", {10, 10, 20, 20}, {500, 500, 500, 600}, true, {10, 10, 20, 20}, false, {}},
        {"both empty", {5, 5, 5, 5}, {3, 3, 1, 1}, false, {}, false, {}},
        {"overlapping", {0, 0, 10, 10}, {5, -5, 20, 3}, true, {0, -5, 20, 10}, true, {5, 0, 10, 3}},
        {"touching edges", {0, 0, 10, 10}, {10, 0, 20, 10}, true, {0, 0, 20, 10}, false, {}},
        {"corner", {0, 0, 10, 10}, {9, 9, 20, 20}, true, {0, 0, 20, 20}, true, {9, 9, 10, 10}},
    };
    for (const auto& c : cases) {
        CRect u, i;
        EXPECT_EQ(u.UnionRect(c.a, c.b), c.unionOk) << c.what;
        EXPECT_EQ(u, c.u) << c.what;
        EXPECT_EQ(i.IntersectRect(c.a, c.b), c.meets) << c.what;
        EXPECT_EQ(i, c.i) << c.what;
    }
}

TEST(Rect, PointsEmptinessAndCentre) {
    const CRect r(0, 0, 10, 10);
    const struct { CPoint p; bool in; } points[] = {{{0, 0}, true}, {{9, 9}, true}, {{10, 5}, false}, {{5, 10}, false}};
    for (const auto& c : points) EXPECT_EQ(r.PtInRect(c.p), c.in) << c.p.x << "," << c.p.y;
    EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty());
    EXPECT_TRUE(CRect(5, 5, 4, 9).IsRectEmpty());
    EXPECT_EQ(CRect(-3, -3, 0, 0).CenterPoint().x, -1);  // truncated toward zero
    EXPECT_EQ(CRect(1, 1, 4, 4).CenterPoint().y, 2);
}

TEST(Rect, MulDivRoundsHalfAwayFromZero) {
    const struct { int a, b, c, want; } cases[] = {
        {12, 96, 72, 16}, {13, 96, 72, 17}, {1, 1, 2, 1}, {-1, 1, 2, -1}, {3, 1, 2, 2}, {7, 1, 0, -1}, {5, -1, 2, -3},
    };
    for (const auto& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST(Twips, TruncateTowardZeroAndSaturate) {
    // 108 page units are an inch, 1440 twips; whole twips stay whole.
    const struct { double in; int want; } cases[] = {
        {100, 1333}, {-1, -13}, {612, 8160}, {792, 10560}, {108, 1440}, {16, 213}, {0, 0},
        {100 * 1.15, 1533}, {1e300, INT32_MAX}, {-1e300, INT32_MIN}};
    for (const auto& c : cases) EXPECT_EQ(ToTwips(c.in), c.want) << c.in;
}
