// Links of rendered pages reaching the page XML document as anchor
// markers: each kind of destination, and where markers open and close when
// runs in and out of links are merged into one text element.
#include <gtest/gtest.h>

#include <string>

#include "extract_test_support.h"

namespace {

using extract_test::ExtractXml;
using extract_test::FirstDifference;
using extract_test::PageOf;
using extract_test::PdfBuilder;
using extract_test::PdfFromPs;
using extract_test::TempDir;
using extract_test::TextOf;

const std::string kData =
    "<data cSpace=\"+000.00\" wSpace=\"+0000.00\" hScal=\"100\" style=\"0\" cRise=\"+0000.00\" cLeading=\"+0000.00\">";

std::string Text(int top, int width, const std::string& content) {
    return "<text top=\"" + std::to_string(top) + "\" left=\"108\" width=\"" + std::to_string(width) +
           "\" height=\"18\" font=\"0\" direction=\"1\" toc=\"0\" Angle=\"0\">\n" + kData + content + "\n</text>\n";
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
        "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0010\" mright=\"0010\">\n" +
        // the run after "ab" closes the anchor; the link of "ef" opens none
        Text(124, 57, "<#dsAnchor#http://example.com/a?b=1&c=2~dsAnchor#>ab</~dsAnchor#>cdef") +
        // an element whose first run lies in no link carries no marker
        Text(199, 57, "abcdef") +
        // the anchor of "ab" runs on over "cd" in another link
        Text(274, 57, "<#dsAnchor#links.xml#2~dsAnchor#>abcd</~dsAnchor#>ef") +
        Text(349, 57, "<#dsAnchor#links.xml#2~dsAnchor#>abcdef</~dsAnchor#>") +
        Text(424, 57, "<#dsAnchor#other.pdf~dsAnchor#>abcdef</~dsAnchor#>") +
        Text(499, 57, "<#dsAnchor#~dsAnchor#>abcdef</~dsAnchor#>") +
        Text(574, 57, "<#dsAnchor#~dsAnchor#>abcdef</~dsAnchor#>") +
        Text(649, 57, "<#dsAnchor#http://x/next~dsAnchor#>abcdef</~dsAnchor#>");
    const std::string xml = ExtractXml(pdf.Write(dir, "links"));
    const std::string diff = FirstDifference(expected, TextOf(PageOf(xml, 1)));
    EXPECT_TRUE(diff.empty()) << diff;
    EXPECT_EQ(PageOf(xml, 2).find("dsAnchor"), std::string::npos);
}

TEST(PageXmlLinks, PdfmarkLinksOfAPostScriptDocument) {
    TempDir dir;
    const std::string pdf = PdfFromPs(dir, "marks",
                                      "%!PS\n<< /PageSize [612 792] >> setpagedevice\n"
                                      "/Helvetica findfont 12 scalefont setfont\n"
                                      "72 700 moveto (Example) show\n"
                                      "[ /Rect [70 695 130 712] /Action << /Subtype /URI /URI (http://example.com/) >> "
                                      "/Border [0 0 0] /Subtype /Link /ANN pdfmark\n"
                                      "72 600 moveto (Next) show\n"
                                      "[ /Rect [70 595 110 612] /Page 2 /View [/XYZ null null null] "
                                      "/Border [0 0 0] /Subtype /Link /ANN pdfmark\n"
                                      "72 500 moveto (Outside) show\n"
                                      "showpage\n"
                                      "72 700 moveto (Second) show showpage\n");
    ASSERT_FALSE(pdf.empty()) << "gs could not make the test PDF";
    const std::string page = PageOf(ExtractXml(pdf), 1);
    EXPECT_NE(page.find("><#dsAnchor#http://example.com/~dsAnchor#>Example</~dsAnchor#>\n"), std::string::npos)
        << page;
    EXPECT_NE(page.find("><#dsAnchor#marks.xml#2~dsAnchor#>Next</~dsAnchor#>\n"), std::string::npos) << page;
    EXPECT_NE(page.find(">Outside\n"), std::string::npos) << page;
}

}  // namespace
