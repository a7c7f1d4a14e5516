// Unit tests of the link records: which runs lie in a link, and the anchor
// marker text.
#include <gtest/gtest.h>

#include "extract/html_links.h"

namespace {

TEST(HtmlLink, RunLiesInLinkByItsVerticalMiddle) {
    const HtmlLink link(300, 220, 100, 200, "d");  // corners given in reverse order
    struct { const char* what; double xMin, yMin, xMax, yMax; bool inside; } cases[] = {
        {"middle on the lower edge is inside", 120, 215, 180, 225, true},
        {"middle on the upper edge is outside", 120, 190, 180, 210, false},
        {"middle just below the upper edge", 120, 190.2, 180, 210, true},
        {"middle below the link", 120, 216, 180, 226, false},
        {"overlapping the left edge", 50, 205, 101, 215, true},
        {"ending on the left edge", 50, 205, 100, 215, false},
        {"starting on the right edge", 300, 205, 350, 215, false},
        {"starting just before the right edge", 299.5, 205, 350, 215, true},
    };
    for (const auto& c : cases) EXPECT_EQ(link.Contains(c.xMin, c.yMin, c.xMax, c.yMax), c.inside) << c.what;
}

TEST(HtmlLinkList, TheFirstContainingLinkWins) {
    HtmlLinkList list;
    list.AddLink(HtmlLink(0, 0, 50, 50, "a"));
    list.AddLink(HtmlLink(100, 0, 300, 50, "b"));
    list.AddLink(HtmlLink(0, 0, 500, 50, "c"));
    EXPECT_EQ(list.inLink(10, 10, 20, 20), 0);
    EXPECT_EQ(list.inLink(150, 10, 160, 20), 1);
    EXPECT_EQ(list.inLink(400, 10, 410, 20), 2);
    EXPECT_EQ(list.inLink(10, 100, 20, 110), -1);
    list.Clear();
    EXPECT_EQ(list.inLink(10, 10, 20, 20), -1);
}

TEST(HtmlLink, StartMarkerCarriesTheDestinationUnescaped) {
    EXPECT_EQ(HtmlLink(0, 0, 1, 1, "report.xml#3").LinkStart(), "<#dsAnchor#report.xml#3~dsAnchor#>");
    EXPECT_EQ(HtmlLink(0, 0, 1, 1, "http://x/?a=1&b=<2>").LinkStart(), "<#dsAnchor#http://x/?a=1&b=<2>~dsAnchor#>");
    EXPECT_EQ(HtmlLink(0, 0, 1, 1, "").LinkStart(), "<#dsAnchor#~dsAnchor#>");
}

}  // namespace
