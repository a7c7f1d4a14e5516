// Page XML documents of small PDFs with known content, compared byte for
// byte. The PDFs' fonts have 500-unit glyphs with ascent 0.8 and descent
// 0.2 (see PdfBuilder): at 108 dots per inch a 12-point character is 9
// pixels wide and its run 18 pixels high, its top 14.4 pixels above the
// baseline; a US Letter page is 918 by 1188 pixels and a baseline at y
// points lies at 1188 - 1.5 y pixels.
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

const char* const kPageTag =
    "<page pnumber=\"%d\" pposition=\"absolute\" ptop=\"0\" pleft=\"0\" pheight=\"1188\" pwidth=\"918\" "
    "protation=\"0\">\n";
const char* const kMargins = "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0010\" mright=\"0010\">\n";

std::string PageTag(int n) {
    char buf[256];
    std::snprintf(buf, sizeof buf, kPageTag, n);
    return buf;
}

std::string Data(int style = 0, const char* cSpace = "+000.00") {
    return std::string("<data cSpace=\"") + cSpace + "\" wSpace=\"+0000.00\" hScal=\"100\" style=\"" +
           std::to_string(style) + "\" cRise=\"+0000.00\" cLeading=\"+0000.00\">";
}

// One text element: its three lines.
std::string Text(int top, int left, int width, int height, int font, const std::string& data,
                 const std::string& content, int dir = 1) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "<text top=\"%d\" left=\"%d\" width=\"%d\" height=\"%d\" font=\"%d\" direction=\"%d\" toc=\"0\" "
                  "Angle=\"0\">\n",
                  top, left, width, height, font, dir);
    return buf + data + content + "\n</text>\n";
}

std::string FontSpec(int id, int size, const std::string& family, const std::string& color) {
    return "\t<fontspec id=\"" + std::to_string(id) + "\" size=\"" + std::to_string(size) + "\" family=\"" + family +
           "\" alternate=\"\" color=\"" + color + "\">\n";
}

// A line of text in font /F1 at 12 points, starting at (x, y) points.
std::string Show(double x, double y, const std::string& text, const std::string& state = std::string()) {
    std::ostringstream s;
    s.precision(10);
    s << "BT /F1 12 Tf " << state << " " << x << " " << y << " Td (" << text << ") Tj ET\n";
    return s.str();
}

#define EXPECT_BYTES(expected, actual)                                    \
    do {                                                                  \
        const std::string diff_ = FirstDifference((expected), (actual));  \
        EXPECT_TRUE(diff_.empty()) << diff_;                              \
    } while (0)

TEST(PageXml, WholeDocumentWithFontsAcrossPagesAndAnEmptyPage) {
    // Arial,Bold is a name the PDF core knows as Helvetica-Bold, whose own
    // ascent (0.718) and descent (0.207) it uses: its 12-point runs start
    // 12.9 pixels above the baseline and are 17 pixels high.
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Arial,Bold");
    pdf.AddFont("Quillsans");
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (Hi) Tj ET 0 0 1 rg BT /F1 12 Tf 72 600 Td (Blue) Tj ET");
    pdf.AddPage(
        "BT /F1 12 Tf 72 700 Td (Again) Tj ET 1 0 0 rg BT /F2 10 Tf 72 500 Td (Red) Tj ET "
        "0.5 g BT /F2 10 Tf 72 400 Td (Grey) Tj ET");
    pdf.AddPage("0 0 m 100 100 l S");
    pdf.SetInfo("/Author (Ann) /Keywords (k1, k2) /Subject (Subj) /ModDate (D:20240131120000)");

    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<pdf2xml author=\"Ann\" keywords=\"k1, k2\" date=\"2024-01-31T12:00:00+00:00\" subject=\"Subj\">\n" +
        PageTag(1) + FontSpec(0, 12, "Arial,Bold", "#000000") + FontSpec(1, 12, "Arial,Bold", "#0000ff") + kMargins +
        Text(125, 108, 19, 17, 0, Data(1), "Hi") + Text(275, 108, 37, 17, 1, Data(1), "Blue") + "</page>\n" +
        PageTag(2) + FontSpec(2, 10, "Quillsans", "#ff0000") + FontSpec(3, 10, "Quillsans", "#808080") + kMargins +
        Text(125, 108, 46, 17, 0, Data(1), "Again") + Text(426, 108, 24, 15, 2, Data(), "Red") +
        Text(576, 108, 31, 15, 3, Data(), "Grey") + "</page>\n" + PageTag(3) + "</page>\n" + "</pdf2xml>\n";
    EXPECT_BYTES(expected, ExtractXml(pdf.Write(dir, "doc")));
}

TEST(PageXml, TouchingRunsMergeAndRunsOnePixelApartDoNot) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    // "ab" ends at 126 pixels and is written 19 wide, so its element's edge
    // is 127: "cd" starts there (84.66667 pt) and joins; the element then
    // ends at 146 and "ef" at 147 stays apart. "gh" starts exactly at the
    // edge of "ef" but with other character spacing.
    pdf.AddPage(Show(72, 700, "ab") + Show(84.66667, 700, "cd") + Show(98, 700, "ef") +
                Show(110.66667, 700, "gh", "0.5 Tc"));
    const std::string expected = kMargins + Text(124, 108, 38, 18, 0, Data(), "abcd") +
                                 Text(124, 147, 19, 18, 0, Data(), "ef") +
                                 Text(124, 166, 20, 18, 0, Data(0, "+500.00"), "gh");
    EXPECT_BYTES(expected, TextOf(PageOf(ExtractXml(pdf.Write(dir, "merge")), 1)));
}

TEST(PageXml, GapsInsideOneStringSplitItsRun) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    // Character spacing is a gap after each 9-pixel character: 7.5 pixels
    // is more than a tenth of the 18-pixel run height, 1.5 pixels is not.
    pdf.AddPage(Show(72, 700, "abc", "5 Tc") + Show(72, 600, "abc", "1 Tc"));
    const std::string wide = Data(0, "+5000.00");
    const std::string expected = kMargins + Text(124, 108, 10, 18, 0, wide, "a") +
                                 Text(124, 125, 10, 18, 0, wide, "b") + Text(124, 141, 10, 18, 0, wide, "c") +
                                 Text(274, 108, 31, 18, 0, Data(0, "+1000.00"), "abc");
    EXPECT_BYTES(expected, TextOf(PageOf(ExtractXml(pdf.Write(dir, "gaps")), 1)));
}

TEST(PageXml, NegativeZeroInTheTextStateIsWrittenWithItsSign) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    // Touching runs, but "-0.0 TL" writes cLeading -0000.00: two elements.
    pdf.AddPage(Show(72, 700, "ab", "-0.0 TL") + Show(84.66667, 700, "cd", "0 TL") + Show(72, 600, "ef", "-0.0 TL"));
    const std::string negative =
        "<data cSpace=\"+000.00\" wSpace=\"+0000.00\" hScal=\"100\" style=\"0\" cRise=\"+0000.00\" "
        "cLeading=\"-0000.00\">";
    const std::string expected = kMargins + Text(124, 108, 19, 18, 0, negative, "ab") +
                                 Text(124, 127, 19, 18, 0, Data(), "cd") + Text(274, 108, 19, 18, 0, negative, "ef");
    EXPECT_BYTES(expected, TextOf(PageOf(ExtractXml(pdf.Write(dir, "negzero")), 1)));
}

TEST(PageXml, MarginsTable) {
    struct {
        const char* what;
        std::string content;
        std::string margins;
    } cases[] = {
        {"text far from the corner is capped at 50", Show(72, 700, "x"), kMargins},
        {"text near the top left corner", Show(20, 770, "x"),
         "<margin mleft=\"0030\" mtop=\"0019\" mbottom=\"0010\" mright=\"0010\">\n"},
        {"text beyond the right edge: negative right margin, unsigned", Show(600, 400, "abcd"),
         "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0010\" mright=\"4294967292\">\n"},
        {"text near the bottom right corner: halved small margins", Show(590, 10, "a"),
         "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0002\" mright=\"0005\">\n"},
        {"text below the bottom edge: bottom margin 0", Show(72, -5, "a"),
         "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0000\" mright=\"0010\">\n"},
        {"text above and left of the page: left and top 0", Show(-10, 800, "a"),
         "<margin mleft=\"0000\" mtop=\"0000\" mbottom=\"0010\" mright=\"0010\">\n"},
    };
    TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        PdfBuilder pdf;
        pdf.AddFont("Quillsans");
        pdf.AddPage(c.content);
        std::string text = TextOf(PageOf(ExtractXml(pdf.Write(dir, "margins" + std::to_string(++n))), 1));
        EXPECT_EQ(text.substr(0, text.find('\n') + 1), c.margins) << c.what;
    }
}

TEST(PageXml, NegativeCoordinatesTruncateTowardZero) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    // Left edge -15 and top -26.4 pixels: trunc(-14.5) and trunc(-25.9).
    pdf.AddPage(Show(-10, 800, "a"));
    const std::string expected = "<margin mleft=\"0000\" mtop=\"0000\" mbottom=\"0010\" mright=\"0010\">\n" +
                                 Text(-25, -14, 10, 18, 0, Data(), "a");
    EXPECT_BYTES(expected, TextOf(PageOf(ExtractXml(pdf.Write(dir, "negative")), 1)));
}

TEST(PageXml, TextFilterAndHebrewRuns) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans", {"<01> <00A0>", "<02> <00AD>", "<03> <0009>", "<04> <0153>", "<05> <20AC>",
                              "<06> <000A>", "<07> <000D>", "<08> <D83DDE00>", "<61> <05D0>", "<62> <05D1>",
                              "<63> <05D2>"});
    pdf.AddPage(Show(72, 700, "x\\001y\\002z\\003w\\004\\005\\006\\007\\010\"&<>'\\351") + Show(72, 600, "abc"));
    // Eighteen characters, 162 pixels; the Hebrew run keeps its left and
    // right edges but stores its letters in reading order.
    const std::string expected =
        kMargins +
        Text(124, 108, 163, 18, 0, Data(),
             "x yzw\\uc1\\u339X\\uc1\\u8364X\\uc1\\u55357X\\uc1\\u56832X&quot;&amp;&lt;&gt;'\xe9") +
        Text(274, 108, 28, 18, 0, Data(), "\\uc1\\u1490X\\uc1\\u1489X\\uc1\\u1488X", 2);
    EXPECT_BYTES(expected, TextOf(PageOf(ExtractXml(pdf.Write(dir, "filter")), 1)));
}

TEST(PageXml, InvisibleTextMakesNoRuns) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    pdf.AddPage("BT 3 Tr /F1 12 Tf 72 700 Td (hidden) Tj ET BT 7 Tr /F1 12 Tf 72 650 Td (clip) Tj ET");
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (shown) Tj 3 Tr ( hidden) Tj ET");
    const std::string xml = ExtractXml(pdf.Write(dir, "hidden"));
    // The font was still set on page 1, so it is described there.
    EXPECT_BYTES(PageTag(1) + FontSpec(0, 12, "Quillsans", "#000000") + "</page>\n", PageOf(xml, 1));
    EXPECT_BYTES(PageTag(2) + kMargins + Text(124, 108, 46, 18, 0, Data(), "shown") + "</page>\n", PageOf(xml, 2));
}

TEST(PageXml, RotatedAndUpsideDownTextMatrices) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    // Quarter turns advance vertically, so their runs are one pixel wide;
    // the upside-down run advances leftwards from 450 to 423 and is stored
    // reversed.
    pdf.AddPage(
        "BT /F1 12 Tf 0 1 -1 0 300 300 Tm (up) Tj ET "
        "BT /F1 12 Tf 0 -1 1 0 400 300 Tm (down) Tj ET "
        "BT /F1 12 Tf -1 0 0 -1 300 500 Tm (abc) Tj ET");
    const std::string expected = kMargins + Text(724, 450, 1, 18, 0, Data(), "up", 4) +
                                 Text(724, 600, 1, 18, 0, Data(), "down", 3) +
                                 Text(424, 450, -25, 18, 0, Data(), "cba", 2);
    EXPECT_BYTES(expected, TextOf(PageOf(ExtractXml(pdf.Write(dir, "rotated")), 1)));
}

TEST(PageXml, PageRotatedBy270TurnsUnrotatedTextToDirection4) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    pdf.AddPage(Show(72, 700, "side"), "/Rotate 270");
    const std::string page = PageOf(ExtractXml(pdf.Write(dir, "rot270")), 1);
    EXPECT_EQ(page.substr(0, page.find('\n') + 1),
              "<page pnumber=\"1\" pposition=\"absolute\" ptop=\"0\" pleft=\"0\" pheight=\"918\" pwidth=\"1188\" "
              "protation=\"270\">\n");
    EXPECT_NE(page.find("direction=\"4\""), std::string::npos) << page;
}

TEST(PageXml, RunsKeepTheOrderInWhichTheyWereDrawn) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    pdf.AddPage(Show(72, 50, "footer") + Show(72, 400, "body") + Show(72, 750, "header"));
    const std::string page = PageOf(ExtractXml(pdf.Write(dir, "order")), 1);
    const size_t footer = page.find(">footer\n");
    const size_t body = page.find(">body\n");
    const size_t header = page.find(">header\n");
    ASSERT_NE(header, std::string::npos) << page;
    EXPECT_LT(footer, body);
    EXPECT_LT(body, header);
}

TEST(PageXml, StyleAndFamilyOfFontsByName) {
    struct {
        const char* name;
        const char* family;
        int style;
    } cases[] = {
        {"ABCDEF+Helvetica-BoldOblique", "ABCDEF+Helvetica-BoldOblique", 1},
        {"Arial-Black", "Arial-Black", 1},
        {"Times-Italic", "Times-Italic", 2},
        {"Quillsans", "Quillsans", 0},
        {"symbolmt", "Symbol", 0},
        {"SymbolMT", "SymbolMT", 0},
        {"wingdings3", "Wingdings 3", 0},
    };
    TempDir dir;
    PdfBuilder pdf;
    std::string content;
    for (size_t i = 0; i < std::size(cases); ++i) {
        pdf.AddFont(cases[i].name);
        content += "BT /F" + std::to_string(i + 1) + " 12 Tf 72 " + std::to_string(700 - 50 * i) + " Td (x) Tj ET\n";
    }
    pdf.AddPage(content);
    const std::string page = PageOf(ExtractXml(pdf.Write(dir, "styles")), 1);
    size_t at = 0;
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_NE(page.find(FontSpec(static_cast<int>(i), 12, cases[i].family, "#000000")), std::string::npos)
            << cases[i].name;
        at = page.find("<data ", at);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(page.compare(at, Data(cases[i].style).size(), Data(cases[i].style)), 0) << cases[i].name;
        ++at;
    }
}

TEST(PageXml, Type3FontSizeFollowsTheWidthOfItsM) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddType3Font(300);
    pdf.AddType3Font(600);
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (mmm) Tj ET BT /F2 12 Tf 72 600 Td (mmm) Tj ET");
    // An "m" 0.3 wide halves the 18-pixel size, one 0.6 wide keeps it; the
    // core gives these nameless fonts ascent 0.95 and descent 0.35, so the
    // runs are 11.7 and 23.4 pixels high. Both fonts are the same extractor
    // font: no name (so "Times New Roman"), size 12, black.
    const std::string expected = PageTag(1) + FontSpec(0, 12, "Times New Roman", "#000000") + kMargins +
                                 Text(129, 108, 17, 12, 0, Data(), "mmm") + Text(271, 108, 33, 23, 0, Data(), "mmm") +
                                 "</page>\n";
    EXPECT_BYTES(expected, PageOf(ExtractXml(pdf.Write(dir, "type3")), 1));
}

TEST(PageXml, PageWithoutTextHasOnlyItsTags) {
    TempDir dir;
    const std::string pdf = PdfFromPs(dir, "drawing",
                                      "%!PS\n<< /PageSize [612 792] >> setpagedevice\n"
                                      "newpath 100 100 moveto 300 300 lineto stroke showpage\n");
    ASSERT_FALSE(pdf.empty()) << "gs could not make the test PDF";
    const std::string xml = ExtractXml(pdf);
    EXPECT_EQ(xml.substr(0, xml.find('\n') + 1), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n");
    EXPECT_BYTES(PageTag(1) + "</page>\n", PageOf(xml, 1));
    EXPECT_EQ(xml.substr(xml.size() - 19), "</page>\n</pdf2xml>\n");
}

TEST(PageXml, DocumentThatCannotBeCreatedReportsFailure) {
    extract_test::CoreParams params;
    HtmlOutputDev dev("/nonexistent-folder/sub/doc", "", "", "", "", "", "png", true, 1, false);
    EXPECT_FALSE(dev.isOk());
}

}  // namespace
