// Page XML documents of small PDFs with known content, compared byte for
// byte (see PdfBuilder for the geometry of its fonts): a US Letter page is
// 918 by 1188 pixels and a baseline at y points lies at 1188 - 1.5 y pixels.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/pdf_fixture.h"

namespace {

using namespace qmtest;

#define EXPECT_BYTES(expected, actual) EXPECT_TRUE(SameText((expected), (actual)))

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

// The body of page 1 (margins and text elements) of one-page documents.
TEST(PageXml, TextElementsOfOnePage) {
    const std::string negZero =
        "<data cSpace=\"+000.00\" wSpace=\"+0000.00\" hScal=\"100\" style=\"0\" cRise=\"+0000.00\" "
        "cLeading=\"-0000.00\">";
    const std::string wide = Data(0, "+5000.00");
    struct {
        const char* what;
        std::string content;
        std::string expected;
        std::vector<std::string> toUnicode;
    } cases[] = {
        // "ab" is written 19 wide, so its edge is 127: "cd" starts there and
        // joins; "ef" at 147 stays apart; "gh" touches "ef" but has other
        // character spacing.
        {"touching runs merge, one pixel apart do not",
         Show(72, 700, "ab") + Show(84.66667, 700, "cd") + Show(98, 700, "ef") + Show(110.66667, 700, "gh", "0.5 Tc"),
         kMargins + Text(124, 108, 38, 18, 0, Data(), "abcd") + Text(124, 147, 19, 18, 0, Data(), "ef") +
             Text(124, 166, 20, 18, 0, Data(0, "+500.00"), "gh"), {}},
        // 7.5 pixels of character spacing is more than a tenth of the run
        // height, 1.5 is not.
        {"gaps inside one string split its run", Show(72, 700, "abc", "5 Tc") + Show(72, 600, "abc", "1 Tc"),
         kMargins + Text(124, 108, 10, 18, 0, wide, "a") + Text(124, 125, 10, 18, 0, wide, "b") +
             Text(124, 141, 10, 18, 0, wide, "c") + Text(274, 108, 31, 18, 0, Data(0, "+1000.00"), "abc"), {}},
        {"negative zero in the text state keeps its sign and stops a merge",
         Show(72, 700, "ab", "-0.0 TL") + Show(84.66667, 700, "cd", "0 TL") + Show(72, 600, "ef", "-0.0 TL"),
         kMargins + Text(124, 108, 19, 18, 0, negZero, "ab") + Text(124, 127, 19, 18, 0, Data(), "cd") +
             Text(274, 108, 19, 18, 0, negZero, "ef"), {}},
        // Left edge -15 and top -26.4 pixels: trunc(-14.5) and trunc(-25.9).
        {"negative coordinates truncate toward zero", Show(-10, 800, "a"),
         "<margin mleft=\"0000\" mtop=\"0000\" mbottom=\"0010\" mright=\"0010\">\n" +
             Text(-25, -14, 10, 18, 0, Data(), "a"), {}},
        // Eighteen characters, 162 pixels; the Hebrew run, drawn from its
        // leftmost letter, is upright text with its letters in reading order.
        {"text filter and Hebrew runs",
         Show(72, 700, "x\\001y\\002z\\003w\\004\\005\\006\\007\\010\"&<>'\\351") + Show(72, 600, "abc"),
         kMargins +
             Text(124, 108, 163, 18, 0, Data(),
                  "x yzw\\uc1\\u339X\\uc1\\u8364X\\uc1\\u55357X\\uc1\\u56832X&quot;&amp;&lt;&gt;'\xe9") +
             Text(274, 108, 28, 18, 0, Data(), "\\uc1\\u1490X\\uc1\\u1489X\\uc1\\u1488X"),
         {"<01> <00A0>", "<02> <00AD>", "<03> <0009>", "<04> <0153>", "<05> <20AC>", "<06> <000A>", "<07> <000D>",
          "<08> <D83DDE00>", "<61> <05D0>", "<62> <05D1>", "<63> <05D2>"}},
        // Each letter 6 points left of the one before (a character spacing
        // of -12): one run from 432 to 459, its letters in the order drawn.
        {"Hebrew drawn from its first letter leftwards is one run", Show(300, 600, "abc", "-12 Tc"),
         kMargins + Text(274, 432, 28, 18, 0, Data(0, "-12000.00"), "\\uc1\\u1488X\\uc1\\u1489X\\uc1\\u1490X"),
         {"<61> <05D0>", "<62> <05D1>", "<63> <05D2>"}},
        {"digits drawn left of Hebrew are read after it, in their own order", Show(72, 500, "12 abc"),
         kMargins + Text(424, 108, 55, 18, 0, Data(), "\\uc1\\u1490X\\uc1\\u1489X\\uc1\\u1488X 12"),
         {"<61> <05D0>", "<62> <05D1>", "<63> <05D2>"}},
        // Every glyph drawn on its own, the vowel point (d) before the letter
        // it sits under: it joins that letter's run.
        {"a vowel point drawn on its own goes with its letter",
         Show(72, 400, "a") + Show(79, 400, "d") + Show(78, 400, "b"),
         kMargins + Text(574, 108, 10, 18, 0, Data(), "\\uc1\\u1488X") +
             Text(574, 117, 10, 18, 0, Data(), "\\uc1\\u1489X\\uc1\\u1464X"),
         {"<61> <05D0>", "<62> <05D1>", "<64> <05B8>"}},
        // A turned run's box holds its glyphs: "up" rises 18 pixels from
        // its origin (450, 738) with its ascent of 14.4 to the left; the
        // upside-down run keeps its drawing order, which is its reading
        // order; the run at 45 degrees covers a square 25.5 pixels wide; one
        // at 1 degree counts as upright, and so does a mirrored letter (of
        // a logo), which runs leftwards with its glyph standing upright.
        {"turned, upside-down and skewed text matrices",
         "BT /F1 12 Tf 0 1 -1 0 300 300 Tm (up) Tj ET BT /F1 12 Tf 0 -1 1 0 400 300 Tm (down) Tj ET "
         "BT /F1 12 Tf -1 0 0 -1 300 500 Tm (abc) Tj ET "
         "BT /F1 12 Tf 0.70710678 0.70710678 -0.70710678 0.70710678 300 300 Tm (ab) Tj ET "
         "BT /F1 12 Tf 0.9998477 0.0174524 -0.0174524 0.9998477 72 600 Tm (skew) Tj ET "
         "BT /F1 12 Tf -1 0 0 1 300 400 Tm (E) Tj ET",
         kMargins + Text(720, 436, 19, 18, 0, Data(), "up", 4, 90) + Text(738, 596, 19, 36, 0, Data(), "down", 3, 270) +
             Text(434, 423, 28, 18, 0, Data(), "abc", 2, 180) + Text(715, 440, 26, 25, 0, Data(), "ab", 4, 45) +
             Text(274, 108, 37, 18, 0, Data(), "skew") + Text(574, 450, -7, 18, 0, Data(), "E"), {}},
        {"runs keep the order in which they were drawn",
         Show(72, 50, "footer") + Show(72, 400, "body") + Show(72, 750, "header"),
         "<margin mleft=\"0050\" mtop=\"0049\" mbottom=\"0010\" mright=\"0010\">\n" +
             Text(1099, 108, 55, 18, 0, Data(), "footer") + Text(574, 108, 37, 18, 0, Data(), "body") +
             Text(49, 108, 55, 18, 0, Data(), "header"), {}},
    };
    TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        PdfBuilder pdf;
        pdf.AddFont("Quillsans", c.toUnicode);
        pdf.AddPage(c.content);
        EXPECT_BYTES(c.expected, TextOf(PageOf(ExtractXml(pdf.Write(dir, "p" + std::to_string(++n))), 1))) << c.what;
    }
}

TEST(PageXml, MarginsTable) {
    struct { const char* what; std::string content; std::string margins; } cases[] = {
        {"text near the top left corner", Show(20, 770, "x"),
         "<margin mleft=\"0030\" mtop=\"0019\" mbottom=\"0010\" mright=\"0010\">\n"},
        {"text beyond the right edge: negative right margin, unsigned", Show(600, 400, "abcd"),
         "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0010\" mright=\"4294967292\">\n"},
        {"text near the bottom right corner: halved small margins", Show(590, 10, "a"),
         "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0002\" mright=\"0005\">\n"},
        {"text below the bottom edge: bottom margin 0", Show(72, -5, "a"),
         "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0000\" mright=\"0010\">\n"},
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

// Invisible text is the recognised text of a scan when nothing on its page
// is visible; beside visible text it would only double it.
TEST(PageXml, InvisibleTextIsThePageTextOnlyWhereNothingIsVisible) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    pdf.AddPage("BT 3 Tr /F1 12 Tf 72 700 Td (hidden) Tj ET BT 7 Tr /F1 12 Tf 72 650 Td (clip) Tj ET");
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (shown) Tj 3 Tr ( hidden) Tj ET");
    pdf.AddPage("BT /F1 12 Tf 72 700 Td ( ) Tj 3 Tr 72 650 Td (layer) Tj ET");
    pdf.AddPage("BT 3 Tr /F1 12 Tf 72 700 Td (under) Tj ET BT 0 Tr /F1 12 Tf 72 650 Td (over) Tj ET");
    std::vector<int> hiddenPages;
    const std::string xml = ExtractXml(pdf.Write(dir, "hidden"), nullptr, std::string(), &hiddenPages);
    EXPECT_BYTES(PageTag(1) + FontSpec(0, 12, "Quillsans", "#000000") + kMargins +
                     Text(124, 108, 55, 18, 0, Data(), "hidden") + Text(199, 108, 37, 18, 0, Data(), "clip") +
                     "</page>\n",
                 PageOf(xml, 1));
    EXPECT_BYTES(PageTag(2) + kMargins + Text(124, 108, 46, 18, 0, Data(), "shown") + "</page>\n", PageOf(xml, 2));
    // A visible blank does not make the page's text visible.
    EXPECT_NE(PageOf(xml, 3).find(">layer\n"), std::string::npos) << PageOf(xml, 3);
    EXPECT_EQ(PageOf(xml, 4).find("under"), std::string::npos) << PageOf(xml, 4);
    EXPECT_EQ(hiddenPages, (std::vector<int>{1, 3}));
}

// Boxes and directions are those of the page as the viewer shows it: text
// drawn upright on the screen of a turned page is ordinary text there, and
// text drawn upright in the PDF's own orientation is turned on the screen.
TEST(PageXml, TurnedPagesGiveTextAsShown) {
    const std::string landscape = "pheight=\"918\" pwidth=\"1188\"";
    const std::string portrait = "pheight=\"1188\" pwidth=\"918\"";
    const struct {
        int rotate;
        const char* toScreen;  // maps the page as shown onto the PDF's user space
        std::string size;
        std::string upright;  // "side" shown upright at (72, 540) on the page as shown
        std::string unturned;  // "side" drawn at (72, 540) in user space
    } cases[] = {
        {90, "0 1 -1 0 612 0", landscape, Text(94, 108, 37, 18, 0, Data(), "side"),
         Text(108, 806, 19, 36, 0, Data(), "side", 3, 270)},
        {180, "-1 0 0 -1 612 792", portrait, Text(364, 108, 37, 18, 0, Data(), "side"),
         Text(806, 774, 37, 18, 0, Data(), "side", 2, 180)},
        {270, "0 -1 1 0 0 792", landscape, Text(94, 108, 37, 18, 0, Data(), "side"),
         Text(774, 364, 19, 36, 0, Data(), "side", 4, 90)},
    };
    TempDir dir;
    for (const auto& c : cases) {
        PdfBuilder pdf;
        pdf.AddFont("Quillsans");
        const std::string extra = "/Rotate " + std::to_string(c.rotate);
        pdf.AddPage(std::string("q ") + c.toScreen + " cm " + Show(72, 540, "side") + "Q", extra);
        pdf.AddPage(Show(72, 540, "side"), extra);
        const std::string xml = ExtractXml(pdf.Write(dir, "turned" + std::to_string(c.rotate)));
        const std::string page = PageOf(xml, 1);
        EXPECT_EQ(page.substr(0, page.find('\n') + 1),
                  "<page pnumber=\"1\" pposition=\"absolute\" ptop=\"0\" pleft=\"0\" " + c.size +
                      " protation=\"" + std::to_string(c.rotate) + "\" " +
                      (c.size == landscape ? "ppaperh=\"12240\" ppaperw=\"15840\"" : "ppaperh=\"15840\" ppaperw=\"12240\"") +
                      ">\n");
        // Past the margin line.
        const std::string upright = TextOf(page);
        EXPECT_BYTES(c.upright, upright.substr(upright.find('\n') + 1)) << c.rotate;
        const std::string unturned = TextOf(PageOf(xml, 2));
        EXPECT_BYTES(c.unturned, unturned.substr(unturned.find('\n') + 1)) << c.rotate;
    }
}

TEST(PageXml, Type3FontSizeFollowsTheWidthOfItsM) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddType3Font(300);
    pdf.AddType3Font(833);
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (mmm) Tj ET BT /F2 12 Tf 72 600 Td (mmm) Tj ET");
    // An "m" is 0.833 of an em in Computer Modern: one 0.3 wide makes the
    // 18-pixel size 6.48, one 0.833 wide keeps it. The core gives these
    // nameless fonts ascent 0.95 and descent 0.35, so the runs are 8.4 and
    // 23.4 pixels high. Both fonts are the same extractor font: no name (so
    // "Times New Roman"), size 12, black.
    const std::string expected = PageTag(1) + FontSpec(0, 12, "Times New Roman", "#000000", "") + kMargins +
                                 Text(132, 108, 17, 8, 0, Data(), "mmm") + Text(271, 108, 46, 23, 0, Data(), "mmm") +
                                 "</page>\n";
    EXPECT_BYTES(expected, PageOf(ExtractXml(pdf.Write(dir, "type3")), 1));
}

// TeX's bitmap fonts draw glyphs in device pixels, flipped by the font
// matrix and flipped back by the text matrix: the text stands upright, and
// an "m" 833 pixels wide at 0.012 points a pixel is 10 points of a 12-point
// em (18 pixels, so the run is 23.4 high and its three m's 45 wide).
TEST(PageXml, Type3BitmapFontWithFlippedMatricesIsUprightAtItsSize) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddType3Font(833, "1 0 0 -1 0 0");
    pdf.AddPage("BT /F1 1 Tf 0.012 0 0 -0.012 72 700 Tm (mmm) Tj ET");
    const std::string expected = PageTag(1) + FontSpec(0, 12, "Times New Roman", "#000000", "") + kMargins +
                                 Text(121, 108, 46, 23, 0, Data(), "mmm") + "</page>\n";
    EXPECT_BYTES(expected, PageOf(ExtractXml(pdf.Write(dir, "type3-flipped")), 1));
}

// The font lines and the first lines of the text elements of page 1.
std::string FontAndTextLines(const std::string& xml) {
    std::string out;
    std::istringstream in(PageOf(xml, 1));
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("\t<fontspec") || line.starts_with("<text")) out += line + "\n";
    return out;
}

// A Type 3 font with no letter or digit has no width to measure its em by.
// The same "+" glyph (55 units wide, 47 high) is set at 11 points twice:
// in a font of pixels scaled down by the text matrix, as TeX's bitmap fonts
// are, and in a font whose em is one unit of text space. Both are the
// 11-point font of one extractor font, their runs 1.3 ems (21 pixels) high
// as the core's ascent and descent for such fonts make them.
TEST(PageXml, Type3FontWithoutLettersIsSetAtItsSizeOnThePage) {
    TempDir dir;
    const std::string ps =
        "%!PS\n<< /PageSize [612 792] >> setpagedevice\n"
        "/MakePlus { 8 dict begin /FontType 3 def /FontMatrix exch def /FontBBox [4 -7 50 40] def\n"
        "/Encoding 256 array def 0 1 255 { Encoding exch /.notdef put } for Encoding 43 /plus put\n"
        "/BuildChar { pop pop 55 0 4 -7 50 40 setcachedevice 25 -7 4 47 rectfill 4 14 46 4 rectfill } def\n"
        "currentdict end definefont pop } def\n"
        "/Pixels [1 0 0 1 0 0] MakePlus /Ems [0.01364 0 0 0.01364 0 0] MakePlus\n"
        "/Pixels findfont 0.15 scalefont setfont 72 700 moveto (+) show\n"
        "/Ems findfont 11 scalefont setfont 72 600 moveto (+) show showpage\n";
    const std::string pdf = dir / "plus.pdf";
    ASSERT_TRUE(MakePdf(ps, pdf));
    EXPECT_BYTES(FontSpec(0, 11, "Times New Roman", "#000000", "") +
                     "<text top=\"122\" left=\"108\" width=\"13\" height=\"21\" font=\"0\" direction=\"1\" toc=\"0\" "
                     "Angle=\"0\">\n"
                     "<text top=\"272\" left=\"108\" width=\"13\" height=\"21\" font=\"0\" direction=\"1\" toc=\"0\" "
                     "Angle=\"0\">\n",
                 FontAndTextLines(ExtractXml(pdf)));
}

// "angle:text" of each text element of page 1, a line each.
std::string AnglesAndTexts(const std::string& xml) {
    std::string out;
    std::istringstream in(PageOf(xml, 1));
    for (std::string line; std::getline(in, line);) {
        const size_t angle = line.find("Angle=\"");
        std::string data;
        if (!line.starts_with("<text") || angle == std::string::npos || !std::getline(in, data)) continue;
        out += line.substr(angle + 7, line.find('"', angle + 7) - angle - 7) + ":" + data.substr(data.find('>') + 1) +
               "\n";
    }
    return out;
}

// Turned labels drawn a word at a time become one element with spaces,
// the words in order; words too far apart along the baseline or on
// neighbouring baselines stay apart, and pieces that touch join without a
// space.
TEST(PageXml, TurnedWordsOnOneBaselineJoin) {
    TempDir dir;
    const std::string ps =
        "%!PS\n<< /PageSize [612 792] >> setpagedevice /Helvetica findfont 12 scalefont setfont\n"
        "/at { gsave translate rotate } def\n"
        "/words { { aload pop 0 moveto show } forall grestore } def\n"
        "90 100 300 at [[(Vertical) 0] [(axis) 50] [(label) 80]] words\n"
        "45 300 300 at [[(Slanted) 0] [(table) 48] [(header) 84]] words\n"
        "90 150 300 at [[(far) 0] [(apart) 60]] words\n"
        "90 200 300 at [[(Sp) 0] [(lit) 14.676]] words\n"
        "90 400 300 at [[(one) 0]] words 90 420 300 at [[(two) 0]] words\n"
        "showpage\n";
    const std::string pdf = dir / "turned-words.pdf";
    // Left to itself, pdfwrite would turn the page to make most text upright.
    ASSERT_TRUE(MakePdf(ps, pdf, {"-dAutoRotatePages=/None"}));
    EXPECT_BYTES("90:Vertical axis label\n45:Slanted table header\n90:far\n90:apart\n90:Split\n90:one\n90:two\n",
                 AnglesAndTexts(ExtractXml(pdf)));
}

TEST(PageXml, DocumentThatCannotBeCreatedReportsFailure) {
    qmtest::CoreParams params;
    HtmlOutputDev dev("/nonexistent-folder/sub/doc", "", "", "", "", "", "png", true, 1, false);
    EXPECT_FALSE(dev.isOk());
}

// The command line's --page-xml goes through the conversion's own
// extraction step and must write the same document as the device does.
TEST(PageXmlCommandLine, WritesTheDocumentOfTheExtractionStep) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (One) Tj ET");
    pdf.AddPage("");
    pdf.SetInfo("/Author <FEFF00C9> /ModDate (D:20240131120000)");
    const std::string input = pdf.Write(dir, "cli");
    const std::string out = dir / "out.xml";
    ASSERT_EQ(RunCli({"--page-xml", out, input}).status, 0);
    const std::string expected = ExtractXml(input);
    ASSERT_FALSE(expected.empty());
    EXPECT_BYTES(expected, ReadFile(out));
}

}  // namespace
