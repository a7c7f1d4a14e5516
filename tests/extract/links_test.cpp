// Links: the link records (which runs lie in a link, the anchor marker
// text), and links of rendered pages reaching the page XML document as
// anchor markers: each kind of destination, and where markers open and
// close when runs in and out of links are merged into one text element.
#include <gtest/gtest.h>

#include <string>

#include "extract/html_links.h"
#include "support/pdf_fixture.h"

namespace {

using namespace qmtest;

std::string Line(int top, int width, const std::string& content) {
    return Text(top, 108, width, 18, 0, Data(), content);
}

// Three touching runs "ab", "cd", "ef" on the baseline y, merged into one
// element (see the merge test for the positions).
std::string ThreeRuns(int y) {
    const std::string at = " " + std::to_string(y) + " Td (";
    return "BT /F1 12 Tf 72" + at + "ab) Tj ET BT /F1 12 Tf 84.66667" + at + "cd) Tj ET BT /F1 12 Tf 97.33333" + at +
           "ef) Tj ET\n";
}

// A link annotation over x0..x1 points on the line with baseline y.
std::string Link(double x0, double x1, int y, const std::string& action) {
    return "<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [" + std::to_string(x0) + " " +
           std::to_string(y - 2) + " " + std::to_string(x1) + " " + std::to_string(y + 10) + "] " + action + " >> ";
}

TEST(PageXmlLinks, DestinationsAndMarkersOfMergedRuns) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    const std::string page2 = std::to_string(pdf.PageObject(1)) + " 0 R";
    pdf.SetCatalogExtra("/Dests << /target [" + page2 + " /Fit] >>");
    // Runs: "ab" 72-84 pt, "cd" 84.7-96.7 pt, "ef" 97.3-109.3 pt.
    const std::string uri = "/A << /S /URI /URI (http://example.com/a?b=1&c=2) >>";
    const std::string launch = "/A << /S /Launch /F (app.exe) >>";
    const std::string annots =
        // y 700: link over "ab", another over "ef" only
        Link(73, 83, 700, uri) + Link(99, 108, 700, launch) +
        // y 650: link over "cd" only
        Link(86, 95, 650, uri) +
        // y 600: "ab" to page 2, "cd" to another file
        Link(73, 83, 600, "/Dest [" + page2 + " /XYZ 0 0 0]") + Link(86, 95, 600, "/A << /S /GoToR /F (other.pdf) /D [0 /Fit] >>") +
        // y 550: one link over all three, by a named destination
        Link(70, 112, 550, "/A << /S /GoTo /D (target) >>") +
        // y 500, 450, 400: whole lines
        Link(70, 112, 500, "/A << /S /GoToR /F (other.pdf) /D [0 /Fit] >>") + Link(70, 112, 450, launch) +
        Link(70, 112, 400, "/A << /S /GoTo /D (nowhere) >>") +
        // y 350: a URI with a line end, which would split the data line
        Link(70, 112, 350, "/A << /S /URI /URI (http://x/\\r\\nnext) >>");
    pdf.AddPage(ThreeRuns(700) + ThreeRuns(650) + ThreeRuns(600) + ThreeRuns(550) + ThreeRuns(500) + ThreeRuns(450) +
                    ThreeRuns(400) + ThreeRuns(350),
                "/Annots [" + annots + "]");
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (Second) Tj ET");

    const std::string expected =
        std::string(kMargins) +
        // the run after "ab" closes the anchor; the link of "ef" opens none
        Line(124, 57, "<#dsAnchor#http://example.com/a?b=1&c=2~dsAnchor#>ab</~dsAnchor#>cdef") +
        // an element whose first run lies in no link carries no marker
        Line(199, 57, "abcdef") +
        // the anchor of "ab" runs on over "cd" in another link
        Line(274, 57, "<#dsAnchor#links.xml#2~dsAnchor#>abcd</~dsAnchor#>ef") +
        Line(349, 57, "<#dsAnchor#links.xml#2~dsAnchor#>abcdef</~dsAnchor#>") +
        Line(424, 57, "<#dsAnchor#other.pdf~dsAnchor#>abcdef</~dsAnchor#>") +
        Line(499, 57, "<#dsAnchor#~dsAnchor#>abcdef</~dsAnchor#>") +
        Line(574, 57, "<#dsAnchor#~dsAnchor#>abcdef</~dsAnchor#>") +
        Line(649, 57, "<#dsAnchor#http://x/next~dsAnchor#>abcdef</~dsAnchor#>");
    const std::string xml = ExtractXml(pdf.Write(dir, "links"));
    EXPECT_TRUE(SameText(expected, TextOf(PageOf(xml, 1))));
    EXPECT_EQ(PageOf(xml, 2).find("dsAnchor"), std::string::npos);
}

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

}  // namespace
