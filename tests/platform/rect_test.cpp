// Rectangle rules, MulDiv rounding and the twips conversion.
#include <gtest/gtest.h>

#include "layout/model.h"
#include "platform/rect.h"

TEST(Rect, EmptyRectanglesTakeNoPartInUnions) {
    CRect r;
    EXPECT_TRUE(r.UnionRect(CRect(0, 0, 0, 0), CRect(10, 10, 20, 20)));
    EXPECT_EQ(r, CRect(10, 10, 20, 20));
    // A zero-width rectangle far away does not stretch the union.
    EXPECT_TRUE(r.UnionRect(CRect(10, 10, 20, 20), CRect(500, 500, 500, 600)));
    EXPECT_EQ(r, CRect(10, 10, 20, 20));
    EXPECT_FALSE(r.UnionRect(CRect(5, 5, 5, 5), CRect(3, 3, 1, 1)));
    EXPECT_TRUE(r.IsRectEmpty());
    EXPECT_TRUE(r.UnionRect(CRect(0, 0, 10, 10), CRect(5, -5, 20, 3)));
    EXPECT_EQ(r, CRect(0, -5, 20, 10));
}

TEST(Rect, RightAndBottomEdgesLieOutside) {
    CRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.PtInRect({0, 0}));
    EXPECT_TRUE(r.PtInRect({9, 9}));
    EXPECT_FALSE(r.PtInRect({10, 5}));
    EXPECT_FALSE(r.PtInRect({5, 10}));
    CRect i;
    // Touching rectangles do not intersect.
    EXPECT_FALSE(i.IntersectRect(CRect(0, 0, 10, 10), CRect(10, 0, 20, 10)));
    EXPECT_EQ(i, CRect());
    EXPECT_TRUE(i.IntersectRect(CRect(0, 0, 10, 10), CRect(9, 9, 20, 20)));
    EXPECT_EQ(i, CRect(9, 9, 10, 10));
    EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty());
    EXPECT_TRUE(CRect(5, 5, 4, 9).IsRectEmpty());
}

TEST(Rect, CentreTruncatesTowardZero) {
    EXPECT_EQ(CRect(-3, -3, 0, 0).CenterPoint().x, -1);
    EXPECT_EQ(CRect(1, 1, 4, 4).CenterPoint().y, 2);
}

TEST(Rect, MulDivRoundsHalfAwayFromZero) {
    const struct { int a, b, c, want; } cases[] = {
        {12, 96, 72, 16}, {13, 96, 72, 17}, {1, 1, 2, 1}, {-1, 1, 2, -1}, {3, 1, 2, 2}, {7, 1, 0, -1}, {5, -1, 2, -3},
    };
    for (const auto& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST(Twips, TruncateTowardZero) {
    const struct { double in; int want; } cases[] = {{100, 1366}, {-1, -13}, {612, 8363}, {16, 218}, {0, 0},
                                                      {100 * 1.15, 1571}};
    for (const auto& c : cases) EXPECT_EQ(ToTwips(c.in), c.want) << c.in;
}
