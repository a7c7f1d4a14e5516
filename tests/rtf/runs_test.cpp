// Text runs and the line writers of each layout.
#include <gtest/gtest.h>

#include "layout/text_fixture.h"
#include "rtf/runs.h"
#include "support/test_util.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace {

TRtfWord<void> Word(const std::string& text, uint8_t style = 0, uint16_t size = 10) {
    TRtfWord<void> w;
    w.m_strText = text;
    w.m_nStyle = style;
    w.m_nFontSize = size;
    w.m_nHScale = 100;
    return w;
}

#define EXPECT_RTF(got, want) EXPECT_EQ(qmtest::FirstDifference((want), (got)), "")

}  // namespace

TEST(FormatRun, WritesTheWordsFormat) {
    struct Case { const char* name; TRtfWord<void> word; int8_t rise; bool trim; std::string rtf; };
    TRtfWord<void> colored = Word("c");
    colored.m_nColor = 3;
    colored.m_nFont = 2;
    colored.m_nHScale = 80;
    const Case cases[] = {
        {"plain", Word("Hello"), 0, false, "\\fs20\\cf0\\f0\\charscalex100 {Hello}"},
        {"bold underline", Word("x", 0x05), 0, false, "\\fs20\\cf0\\f0\\charscalex100\\b \\ul {x}\\b0 \\ul0 "},
        {"italic shadow", Word("x", 0x42), 0, false, "\\fs20\\cf0\\f0\\charscalex100\\i \\shad {x}\\i0 \\shad0 "},
        {"rise 7", Word("2", 0, 10), 7, false, "\\fs25\\up3\\cf0\\f0\\charscalex100 {2}"},
        {"rise -7", Word("2", 0, 10), -7, false, "\\fs25\\up-3\\cf0\\f0\\charscalex100 {2}"},
        {"colour, font, scale", colored, 0, false, "\\fs20\\cf3\\f2\\charscalex80 {c}"},
        {"backslash doubled", Word("a\\b"), 0, false, "\\fs20\\cf0\\f0\\charscalex100 {a\\\\b}"},
        {"escaped braces kept", Word("\\{x\\}"), 0, false, "\\fs20\\cf0\\f0\\charscalex100 {\\{x\\}}"},
        {"backslash before a brace", Word("\\\\{"), 0, false, "\\fs20\\cf0\\f0\\charscalex100 {\\\\\\{}"},
        {"trimmed", Word("  pad "), 0, true, "\\fs20\\cf0\\f0\\charscalex100 {pad}"},
        {"empty", Word("", 0x01), 0, false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatRun(c.word, c.rise, c.trim), c.rtf) << c.name;
}

TEST(FormatPlainRun, WritesOnlyTheFontAndText) {
    TRtfWord<void> w = Word("a\\b \\{", 0x07);
    w.m_nFont = 4;
    EXPECT_EQ(FormatPlainRun(w), "\\f4 {a\\\\b \\{}");
    EXPECT_EQ(FormatPlainRun(Word("")), "");
    TextPage p;
    CRtfXmlText* t = p.Text({0, 0, 10, 10}, {"one", "", "two"});
    EXPECT_EQ(PlainRuns(t->m_words), "\\f0 {one}\\f0 {two}");
    EXPECT_EQ(FormatRuns(t->m_words, 0, false),
              "\\fs20\\cf0\\f0\\charscalex100 {one}\\fs20\\cf0\\f0\\charscalex100 {two}");
}

TEST(StripLinks, KeepsTheLinkTextOnly) {
    struct Case { std::string in; std::string out; };
    const Case cases[] = {
        {"see <#dsAnchor#http://x.org/~dsAnchor#>this</~dsAnchor#> page", "see this page"},
        {"<#dsAnchor#a~dsAnchor#>one</~dsAnchor#> and <#dsAnchor#b~dsAnchor#>two</~dsAnchor#>", "one and two"},
        {"<#dsAnchor#a~dsAnchor#>open to the end", "open to the end"},
        {"stray</~dsAnchor#> end", "stray end"},
        {"cut <#dsAnchor#target", "cut <#dsAnchor#target"},
    };
    for (const Case& c : cases) EXPECT_EQ(StripLinks(c.in), c.out) << c.in;
}

TEST(AddHyperlinks, TurnsLinksIntoFields) {
    CRtfDocument doc(std::make_unique<CRtfXmlParse>("/no/such/folder/report.xml"));
    doc.m_pPage = std::make_unique<CRtfPage>(&doc, 1);
    CRtfXmlText text;
    text.m_pPage = doc.m_pPage.get();
    struct Case { const char* name; std::string in; std::string out; };
    const Case cases[] = {
        {"no link", "plain {text}", "plain {text}"},
        {"uri", "go <#dsAnchor#http://x.org/a?b=1~dsAnchor#>there</~dsAnchor#>!",
         "go {\\field{\\*\\fldinst{HYPERLINK \"http://x.org/a?b=1\"}}{\\fldrslt {there}}}!"},
        {"empty target", "<#dsAnchor#~dsAnchor#>just text</~dsAnchor#>", "just text"},
        {"page of this document", "<#dsAnchor#report.xml#3~dsAnchor#>page 3</~dsAnchor#>",
         "{\\field{\\*\\fldinst{HYPERLINK \"#3\"}}{\\fldrslt {page 3}}}"},
        {"another document", "<#dsAnchor#other.pdf~dsAnchor#>x</~dsAnchor#>",
         "{\\field{\\*\\fldinst{HYPERLINK \"other.pdf\"}}{\\fldrslt {x}}}"},
        {"stray end marker", "a</~dsAnchor#>b", "ab"},
    };
    for (const Case& c : cases) EXPECT_EQ(AddHyperlinks(text, c.in), c.out) << c.name;

    // Without a page there is no file name to cut.
    CRtfXmlText loose;
    EXPECT_EQ(AddHyperlinks(loose, "<#dsAnchor#report.xml#3~dsAnchor#>p</~dsAnchor#>"),
              "{\\field{\\*\\fldinst{HYPERLINK \"report.xml#3\"}}{\\fldrslt {p}}}");
}

// A base fragment and one more beside it: the spacer between them, or the
// raised or lowered group the second becomes.
TEST(WriteLine, SecondFragmentBesideTheBase) {
    const std::string runs20 = "\\fs20\\cf0\\f0\\charscalex100 ";
    struct Case {
        const char* name;
        CRect base;
        uint16_t baseSize;
        CRect box;
        std::string text;
        std::string tail;  // after the base's runs; "@" stands for the second's runs
        bool raised;
    };
    const CRect line(0, 100, 50, 120);
    const CRect tall(0, 100, 50, 130);
    const Case cases[] = {
        {"10 apart at 10 points", line, 10, {60, 100, 100, 120}, "world", "{  }@", false},
        {"11 apart at 10 points", line, 10, {61, 100, 101, 120}, "world", "{   }@", false},
        {"10 apart at 20 points", line, 20, {60, 100, 100, 120}, "world", "{ }@", false},
        {"touching", line, 10, {50, 100, 90, 120}, "world", "@", false},
        {"superscript", tall, 10, {51, 90, 60, 120}, "2", "{\\super \\fs25\\up4\\cf0\\f0\\charscalex100 {2}}", true},
        {"one escaped character", tall, 10, {51, 90, 60, 120}, "\\uc1\\u8224X",
         "{\\super \\fs25\\up4\\cf0\\f0\\charscalex100 {\\uc1\\u8224X}}", true},
        {"subscript", tall, 10, {51, 110, 60, 140}, "2", "{\\sub " + runs20 + "{2}}", true},
        {"four characters", tall, 10, {51, 90, 60, 120}, "abcd", "{ }" + runs20 + "{abcd}", false},
        {"three units away", tall, 10, {53, 90, 60, 120}, "2", "{ }" + runs20 + "{2}", false},
        {"too high", tall, 10, {51, 80, 60, 110}, "2", "{ }" + runs20 + "{2}", false},
        {"level", tall, 10, {51, 100, 60, 130}, "2", "{ }" + runs20 + "{2}", false},
    };
    for (const Case& c : cases) {
        TextPage p;
        CRtfXmlText* base = p.Text(c.base, {"x"}, c.baseSize);
        CRtfXmlText* f = p.Text(c.box, {c.text}, 10);
        p.Join(base, f);
        std::string tail = c.tail;
        if (const size_t at = tail.find('@'); at != std::string::npos)
            tail.replace(at, 1, FormatRuns(f->m_words, 0, false));
        EXPECT_RTF(WriteLine(*base), FormatRuns(base->m_words, 0, false) + tail) << c.name;
        EXPECT_EQ((f->m_nFlags & kTextRaised) != 0, c.raised) << c.name;
    }
}

TEST(WriteLine, PutsTheFragmentsInReadingOrder) {
    TextPage p;
    CRtfXmlText* head = p.Text({100, 100, 150, 120}, {"B"});
    CRtfXmlText* c = p.Text({150, 100, 200, 120}, {"C"});
    CRtfXmlText* a = p.Text({50, 100, 100, 120}, {"A"});
    p.Join(head, c);
    p.Join(head, a);
    const std::string want = FormatRuns(a->m_words, 0, false) + FormatRuns(head->m_words, 0, false) +
                             FormatRuns(c->m_words, 0, false);
    EXPECT_RTF(WriteLine(*head), want);
    EXPECT_EQ(a->m_nFlags & kTextReadOrder, kTextReadOrder);
    EXPECT_EQ(c->m_nFlags & kTextReadOrder, kTextReadOrder);
    // A second writing of the same line keeps every piece.
    EXPECT_RTF(WriteLine(*head), want);
}

TEST(WriteExactFrames, PositionsTheLineInFrames) {
    // "@n" stands for the runs of piece n. Widths and heights are scaled by
    // 1.15 x 13.6666: 100 -> 1571, 20 -> 314.
    const std::string frame = "\\pard \\pvpg\\phpg";
    struct Case {
        const char* name;
        std::vector<std::pair<CRect, std::string>> pieces;  // the first is the head
        std::string want;
    } cases[] = {
        {"a piece more than an em off has a frame of its own",
         {{{10, 20, 110, 40}, "Hello"}, {{140, 20, 180, 40}, "you"}},
         frame + "\\posx136\\posy273\\absw1571\\absh314\\nowrap @0\\par" + frame +
             "\\posx1913\\posy273\\absw628\\absh314\\nowrap @1\\par"},
        {"pieces that continue each other share a frame",
         {{{10, 20, 110, 40}, "Hello"}, {{115, 21, 160, 41}, "world"}, {{161, 10, 170, 30}, "2"}},
         frame + "\\posx136\\posy273\\absw2357\\absh330\\nowrap @0{ }@1\\par" + frame +
             "\\posx2200\\posy136\\absw141\\absh314\\nowrap @2\\par"},
        {"backward box", {{{110, 20, 10, 40}, "olleH"}}, frame + "\\posx136\\posy273\\absw1571\\absh314\\nowrap @0\\par"},
        {"box off the page", {{{-5, -3, 95, 17}, "edge"}}, frame + "\\posx0\\posy0\\absw1571\\absh314\\nowrap @0\\par"},
    };
    for (const Case& c : cases) {
        TextPage p;
        std::vector<CRtfXmlText*> texts;
        for (const auto& [box, word] : c.pieces) {
            texts.push_back(p.Text(box, {word}));
            if (texts.size() > 1) p.Join(texts[0], texts.back());
        }
        std::string want = c.want;
        for (size_t i = 0; i < texts.size(); ++i) {
            std::string mark = "@";
            mark += std::to_string(i);
            want.replace(want.find(mark), mark.size(), FormatRuns(texts[i]->m_words, 0, false));
        }
        EXPECT_RTF(WriteExactFrames(*texts[0]), want) << c.name;
    }
}

TEST(WriteExactBlocks, StackedLinesShareOneFrame) {
    // Twips are units x 13.6666 (truncated); frame sizes grow by 1.15.
    const std::string frame = "\\pard \\pvpg\\phpg";
    struct Case { const char* name; std::vector<ExactFrame> frames; std::string want; } cases[] = {
        {"a lone frame is written as it always was",
         {{{10, 20, 110, 40}, "A"}},
         frame + "\\posx136\\posy273\\absw1571\\absh314\\nowrap A\\par"},
        {"lines below each other: indent, space before and exact height place each line",
         {{{10, 20, 110, 40}, "A"}, {{20, 50, 90, 70}, "B"}},
         frame + "\\posx136\\posy273\\absw1571\\absh785\\nowrap\\li0\\sb0\\sl-314\\slmult0 A\\par" + frame +
             "\\posx136\\posy273\\absw1571\\absh785\\nowrap\\li136\\sb95\\sl-314\\slmult0 B\\par"},
        {"lines closer than their grown height keep their distance",
         {{{10, 20, 110, 40}, "A"}, {{10, 40, 110, 60}, "B"}},
         frame + "\\posx136\\posy273\\absw1571\\absh628\\nowrap\\li0\\sb0\\sl-273\\slmult0 A\\par" + frame +
             "\\posx136\\posy273\\absw1571\\absh628\\nowrap\\li0\\sb0\\sl-314\\slmult0 B\\par"},
        {"a frame further along the band follows a tab stop",
         {{{10, 20, 110, 40}, "A"}, {{200, 21, 230, 41}, "9"}},
         frame + "\\posx136\\posy273\\absw3457\\absh330\\nowrap\\li0\\sb0\\sl-330\\slmult0\\tx2596 A\\tab 9\\par"},
        {"a raised piece stays on the line, raised by as much",
         {{{10, 20, 110, 40}, "A"}, {{111, 15, 120, 30}, "2"}},
         frame + "\\posx136\\posy204\\absw1728\\absh392\\nowrap\\li0\\sb0\\sl-392\\slmult0\\tx1380 A\\tab {\\up13 2}\\par"},
        {"a frame grows no further than the text beside it",
         {{{10, 20, 110, 40}, "A"}, {{10, 200, 110, 220}, "B"}, {{115, 15, 215, 35}, "C"}},
         frame + "\\posx136\\posy273\\absw1434\\absh314\\nowrap A\\par" + frame +
             "\\posx136\\posy2733\\absw1571\\absh314\\nowrap B\\par" + frame +
             "\\posx1571\\posy204\\absw1571\\absh314\\nowrap C\\par"},
        {"a piece above the line, a gap of more than a line and another column each start a new frame",
         {{{10, 20, 110, 40}, "A"}, {{111, 0, 120, 15}, "2"}, {{10, 90, 110, 110}, "B"}, {{300, 111, 400, 131}, "C"}},
         frame + "\\posx136\\posy273\\absw1571\\absh314\\nowrap A\\par" + frame +
             "\\posx1516\\posy0\\absw141\\absh235\\nowrap 2\\par" + frame +
             "\\posx136\\posy1229\\absw1571\\absh314\\nowrap B\\par" + frame +
             "\\posx4099\\posy1516\\absw1571\\absh314\\nowrap C\\par"},
    };
    for (const Case& c : cases) EXPECT_RTF(WriteExactBlocks(c.frames), c.want) << c.name;
}

TEST(WriteParagraph, WritesTheLineAsOneParagraphWithSpacesBetweenWords) {
    struct Case {
        const char* name;
        std::string first;
        std::string second;
        int32_t left;  // of the second; the first ends at 50
        bool space;
    };
    const Case cases[] = {
        {"apart, no spaces", "Hello", "world", 55, true},
        {"apart, space after", "Hello ", "world", 55, false},
        {"apart, escaped dash", "Hello\\uc1\\u8212X", "world", 55, true},
        {"touching", "Hel", "lo", 50, false},
        // Right-to-left script: the second fragment lies left of the first.
        {"right to left, apart", "\\uc1\\u1601X", "\\uc1\\u1602X", -55, true},
        {"right to left, touching", "\\uc1\\u1601X", "\\uc1\\u1602X", -50, false},
    };
    for (const Case& c : cases) {
        TextPage p;
        CRtfXmlText* a = p.Text({0, 100, 50, 120}, {c.first});
        CRtfXmlText* b = p.Text({c.left, 100, c.left + 50, 120}, {c.second});
        p.Join(a, b);
        const std::string sep = c.space ? "{ }" : "";
        EXPECT_RTF(WriteParagraph(*a), "\\pard " + FormatRuns(a->m_words, 0, false) + sep +
                                           FormatRuns(b->m_words, 0, false) + "\\par")
            << c.name;
        EXPECT_RTF(WritePlainParagraph(*a), "\\pard " + PlainRuns(a->m_words) + sep + PlainRuns(b->m_words) + "\\par")
            << c.name;
    }
}

TEST(WriteParagraph, GapsAreReadFromWhereTheTextStandsOnThePage) {
    // Measuring narrowed both boxes: the texts touch on the page, so no
    // space goes between them, nor a spacer in the flowing line.
    TextPage p;
    CRtfXmlText* a = p.Text({0, 100, 40, 120}, {"Manuscrip"});
    CRtfXmlText* b = p.Text({53, 100, 60, 120}, {"t"});
    a->m_rcPrint = CRect(0, 100, 50, 120);
    b->m_rcPrint = CRect(50, 100, 60, 120);
    p.Join(a, b);
    const std::string runs = FormatRuns(a->m_words, 0, false) + FormatRuns(b->m_words, 0, false);
    EXPECT_RTF(WriteParagraph(*a), "\\pard " + runs + "\\par");
    EXPECT_RTF(WriteLine(*a), runs);
    b->m_rcPrint = CRect(51, 100, 60, 120);
    EXPECT_RTF(WriteParagraph(*a), "\\pard " + FormatRuns(a->m_words, 0, false) + "{ }" +
                                       FormatRuns(b->m_words, 0, false) + "\\par");
    EXPECT_RTF(WriteLine(*a), FormatRuns(a->m_words, 0, false) + "{ }" + FormatRuns(b->m_words, 0, false));
}

TEST(WriteParagraph, LinksBecomeFieldsOrPlainText) {
    TextPage p;
    CRtfXmlText* t = p.Text({0, 0, 50, 20}, {"<#dsAnchor#http://a.b~dsAnchor#>go</~dsAnchor#>"});
    const std::string field =
        "\\fs20\\cf0\\f0\\charscalex100 {{\\field{\\*\\fldinst{HYPERLINK \"http://a.b\"}}{\\fldrslt {go}}}}";
    EXPECT_EQ(WriteLine(*t), field);
    EXPECT_EQ(WriteParagraph(*t), "\\pard " + field + "\\par");
    EXPECT_EQ(WritePlainParagraph(*t), "\\pard \\f0 {go}\\par");
}

TEST(WriteFragment, WritesTextAcrossThePageAsAShape) {
    struct Case { int32_t page; int32_t text; bool shape; };
    const Case cases[] = {
        {0, 0, false}, {0, 90, true}, {90, 90, false}, {90, 0, true}, {180, 180, false}, {270, 270, false},
    };
    for (const Case& c : cases) {
        TextPage p;
        p.page->SetRotation(c.page);
        CRtfXmlText* t = p.Text({100, 100, 160, 112}, {"text"}, 10, c.text);
        const std::string rtf = WriteFragment(*t);
        EXPECT_EQ(rtf.find("{\\shp{\\*\\shpinst") != std::string::npos, c.shape) << c.page << "/" << c.text;
        EXPECT_EQ(rtf.find("{text}") != std::string::npos, true) << c.page << "/" << c.text;
    }
    TextPage p;
    CRtfXmlText* loose = p.Text({100, 100, 160, 112}, {"text"});
    loose->m_pPage = nullptr;
    EXPECT_EQ(WriteFragment(*loose), "");
}

TEST(WriteRotated, FillsTheShapeFromTheFragment) {
    TextPage p;
    p.UseFonts({"Times New Roman", "Liberation Sans"});
    p.doc.AddColorHex(0, 0, 0);
    p.doc.AddColorHex(0x11, 0x22, 0x33);
    CRtfXmlText* t = p.Text({100, 100, 101, 112}, {"Up"}, 10, 90);
    t->m_nFont = 1;
    t->m_nColor = 1;
    for (TRtfWord<void>* w : t->m_words) {
        w->m_nFont = 1;
        w->m_nColor = 1;
    }
    const std::string rtf = WriteRotated(*t);
    const CRect box = RotatedShapeBox(*t);
    const auto id = [](const std::string& s) {
        const size_t at = s.find("\\shplid") + 7;
        return std::stoi(s.substr(at));
    };
    // The shape template, byte for byte.
    const char* tmpl =
        "\n{\\shp{\\*\\shpinst\\shpleft%d\\shptop%d\\shpright%d\\shpbottom%d\\shpbxpage\\shpbypage\\shpwr3"
        "\\shpfblwtxt1\\shpz0\\shplid%d\n{\\sp{\\sn fBehindDocument}{\\sv 1}}\n{\\sp{\\sn ShapeType}{\\sv 136}}\n{\\sp{"
        "\\sn fFlipH}{\\sv 0}}\n{\\sp{\\sn fFlipV}{\\sv 0}}\n{\\sp{\\sn Rotation}{\\sv %d}}\n{\\sp{\\sn "
        "gTextUNICODE}{\\sv %s}}\n{\\sp{\\sn gtextFont}{\\sv %s}}\n{\\sp{\\sn fGtext}{\\sv 1}}\n{\\sp{\\sn "
        "gtextFVertical}{\\sv 0}}\n{\\sp{\\sn gtextFKern}{\\sv 1}}\n{\\sp{\\sn gtextFTight}{\\sv 0}}\n{\\sp{\\sn "
        "gtextFStretch}{\\sv 1}}\n{\\sp{\\sn gtextFShrinkFit}{\\sv 0}}\n{\\sp{\\sn gtextFBestFit}{\\sv 0}}\n{\\sp{\\sn "
        "gtextFNormalize}{\\sv 0}}\n{\\sp{\\sn gtextFDxMeasure}{\\sv 0}}\n{\\sp{\\sn gtextFBold}{\\sv 0}}\n{\\sp{\\sn "
        "gtextFItalic}{\\sv 0}}\n{\\sp{\\sn gtextFUnderline}{\\sv 0}}\n{\\sp{\\sn gtextFShadow}{\\sv 0}}\n{\\sp{\\sn "
        "gtextFSmallcaps}{\\sv 0}}\n{\\sp{\\sn gtextFStrikethrough}{\\sv 0}}\n{\\sp{\\sn fColumnLineOK}{\\sv 0}}\n{"
        "\\sp{\\sn fillColor}{\\sv %ld}}\n{\\sp{\\sn fRecolorFillAsPicture}{\\sv 0}}\n{\\sp{\\sn fUseShapeAnchor}{"
        "\\sv 0}}\n{\\sp{\\sn fFilled}{\\sv 1}}\n{\\sp{\\sn fHitTestFill}{\\sv 1}}\n{\\sp{\\sn fillShape}{\\sv "
        "1}}\n{\\sp{\\sn fillUseRect}{\\sv 0}}\n{\\sp{\\sn fLineUseShapeAnchor}{\\sv 0}}\n{\\sp{\\sn fLine}{\\sv "
        "0}}\n{\\sp{\\sn shadowColor}{\\sv 8816262}}\n{\\sp{\\sn fShadow}{\\sv 0}}\n{\\sp{\\sn fshadowObscured}{"
        "\\sv 0}}\n{\\sp{\\sn fc3DConstrainRotation}{\\sv 1}}\n{\\sp{\\sn fc3DRotationCenterAuto}{\\sv 1}}\n{\\sp{"
        "\\sn fAllowOverlap}{\\sv 1}}}}\n";
    std::vector<char> want(4096);
    // 0x332211: red 0x11 + 256 x green 0x22 + 65536 x blue 0x33.
    std::snprintf(want.data(), want.size(), tmpl, box.left, box.top, box.right, box.bottom, id(rtf), 23592960,
                  "\\fs20\\cf1\\f1\\charscalex100 {Up}", "Liberation Sans", 3351057L);
    EXPECT_RTF(rtf, std::string(want.data()));

    // Each shape has its own number.
    EXPECT_EQ(id(WriteRotated(*t)), id(rtf) + 1);

    CRtfXmlText* empty = p.Text({100, 100, 100, 100}, {}, 10, 90);
    EXPECT_EQ(WriteRotated(*empty), "");
}

TEST(RotatedShapeBox, TurnsTheCoveredAreaUpright) {
    TextPage p;
    p.UseFonts({"Liberation Sans"});
    // Text reading upward from (100, 112): it covers a column left of x 100
    // and above y 112; the shape is the same area turned to run across.
    CRtfXmlText* up = p.Text({100, 100, 101, 112}, {"Upward text"}, 10, 90);
    const CRect shape = RotatedShapeBox(*up);
    ASSERT_FALSE(shape.IsRectEmpty());
    EXPECT_GT(shape.Width(), 3 * shape.Height());
    const int32_t cx = (shape.left + shape.right) / 2;
    const int32_t cy = (shape.top + shape.bottom) / 2;
    EXPECT_LT(cx, ToTwips(100));
    EXPECT_LT(cy, ToTwips(112));

    // Upright text measures as itself around its own box.
    CRtfXmlText* flat = p.Text({100, 100, 160, 112}, {"Flat"}, 10, 0);
    const CRect box = RotatedShapeBox(*flat);
    EXPECT_EQ(box.left, ToTwips(100));
    EXPECT_EQ(box.top, ToTwips(100));
}
