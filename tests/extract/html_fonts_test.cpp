// Unit tests of the extractor's fonts, colours and text filter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extract/html_fonts.h"
#include "support/pdf_fixture.h"

namespace {

// Entities, no-break space, soft hyphen, tab, line ends and surrogate pairs
// are checked through a whole page in page_xml_test.
TEST(HtmlTextFilter, FiltersEachKindOfCharacter) {
    qmtest::CoreParams params;
    const struct { const char* what; std::vector<Unicode> text; std::string expected; } cases[] = {
        {"Latin-1 letters stay single bytes", {0xe9, 0xff, 0xa1}, "\xe9\xff\xa1"},
        {"form feed is kept", {0x0c}, "\x0c"},
        {"C1 controls and DEL vanish", {0x7f, 0x80, 0x9f}, ""},
        {"U+0100 is the last code point mapped, and has no byte", {0x100}, ""},
        {"U+0101 is the first escaped", {0x101}, "\\uc1\\u257X"},
        {"values above 32767 stay unsigned", {0xfb01}, "\\uc1\\u64257X"},
        {"last code point", {0x10ffff}, "\\uc1\\u56319X\\uc1\\u57343X"},
        {"no character past U+10FFFF", {0x110000, 'a'}, "a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilterText(c.text.data(), static_cast<int>(c.text.size())), c.expected) << c.what;
}

TEST(HtmlTextFilter, WithoutTextEncodingEverythingFiltersToNothing) {
    HtmlTextFilter filter(nullptr);
    const Unicode text[] = {'a', '<', 0x20ac};
    std::string out = "kept";
    filter.Append(out, text, 3);
    EXPECT_EQ(out, "kept");
}

TEST(HtmlColor, ComponentsRoundToBytes) {
    const char* const bad = "Error : Bad color \n";
    struct {
        int r, g, b;
        const char* expected;
        const char* report;  // on standard output
    } cases[] = {
        {32768, 32768, 32768, "#808080", ""},  // 127.5 rounds up
        {128, 129, 0, "#000100", ""},          // 0.498 down, 0.502 up
        {65536 * 2, 0, 65536, "#000000", bad},  // out of range: black
        {-65536, 65536, 65536, "#000000", bad},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        HtmlColor color(c.r, c.g, c.b);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.report) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(color.ToString(), c.expected) << c.r << "," << c.g << "," << c.b;
    }
}

TEST(HtmlFont, StyleAndFamilyFollowTheName) {
    struct { const char* name; bool bold; bool italic; const char* family; } cases[] = {
        {"ABCDEF+Helvetica-BoldOblique", true, true, "ABCDEF+Helvetica-BoldOblique"},
        {"Arial-Black", true, false, "Arial-Black"},
        {"Arial,Bold", true, false, "Arial,Bold"},
        {"TimesNewRomanPS-ItalicMT", false, true, "TimesNewRomanPS-ItalicMT"},
        {"CMBX10", false, false, "CMBX10"},
        {"symbolmt", false, false, "Symbol"},
        {"SymbolMT", false, false, "SymbolMT"},
        {"wingdings2", false, false, "Wingdings 2"},
        {"", false, false, "Times New Roman"},
    };
    for (const auto& c : cases) {
        HtmlFont f(c.name, 12, HtmlColor());
        EXPECT_EQ(f.IsBold(), c.bold) << c.name;
        EXPECT_EQ(f.IsItalic(), c.italic) << c.name;
        EXPECT_EQ(f.Family(), c.family) << c.name;
    }
}

TEST(HtmlFontList, IdsCountUpAndEqualFontsShareOne) {
    HtmlFontList list;
    const HtmlColor black;
    HtmlColor blue;
    blue.b = 255;
    EXPECT_EQ(list.AddFont("Arial,Bold", 12, black), 0);
    EXPECT_EQ(list.AddFont("Arial,Bold", 12, blue), 1);  // another colour, another font
    EXPECT_EQ(list.AddFont("Arial,Bold", 10, black), 2);
    EXPECT_EQ(list.AddFont("arial,bold", 12, black), 3);  // names compare exactly
    EXPECT_EQ(list.AddFont("Arial,Bold", 12, black), 0);
    EXPECT_EQ(list.AddFont(HtmlFont("Arial,Bold", 12, blue)), 1);
    EXPECT_EQ(list.AddFont("arial,bold", 12, black), 3);
    EXPECT_EQ(list.Size(), 4);
}

TEST(HtmlFontList, FontSpecIsWrittenUnescaped) {
    HtmlFontList list;
    HtmlColor red;
    red.r = 255;
    list.AddFont("Times-Roman", 12, HtmlColor());
    list.AddFont("A\"<b", 9, red);
    list.AddFont("symbolmt", 4294967295u, HtmlColor());
    EXPECT_EQ(list.FontSpec(0), "<fontspec id=\"0\" size=\"12\" family=\"Times-Roman\" alternate=\"\" color=\"#000000\">");
    EXPECT_EQ(list.FontSpec(1), "<fontspec id=\"1\" size=\"9\" family=\"A\"<b\" alternate=\"\" color=\"#ff0000\">");
    EXPECT_EQ(list.FontSpec(2),
              "<fontspec id=\"2\" size=\"4294967295\" family=\"Symbol\" alternate=\"\" color=\"#000000\">");
    // The class face goes with a new font only, and is asked for only then.
    int asked = 0;
    const auto cmtt = [&asked] {
        ++asked;
        return FontTraits{4, 525};
    };
    list.AddFont("ABCDEF+CMTT10", 10, HtmlColor(), cmtt);
    list.AddFont("ABCDEF+CMTT10", 10, HtmlColor(), cmtt);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(list.FontSpec(3), "<fontspec id=\"3\" size=\"10\" family=\"ABCDEF+CMTT10\" alternate=\"CourierNew\" pitch=\"525\" color=\"#000000\">");
    // A pitch goes only with the fixed-pitch stand-in.
    list.AddFont("Quillsans", 10, HtmlColor(), [] { return FontTraits{32, 500}; });
    EXPECT_EQ(list.FontSpec(4), "<fontspec id=\"4\" size=\"10\" family=\"Quillsans\" alternate=\"Arial\" color=\"#000000\">");
}

TEST(ClassFace, FixedPitchSansOrSerifFromNameAndFlags) {
    constexpr int kFixed = 1, kSerif = 2, kSymbolic = 4, kNonSymbolic = 32;
    struct Case {
        const char* name;
        int flags;
        const char* face;
    } cases[] = {
        {"ABCDEF+CMTT10", kSymbolic, "CourierNew"},          // TeX fonts flag nothing but symbolic
        {"XYZABC+FreeMono", kSerif | kNonSymbolic, "CourierNew"},
        {"Consolas-Bold", kNonSymbolic, "CourierNew"},
        {"DejaVuSansMono", kNonSymbolic, "CourierNew"},      // mono wins over sans
        {"Quillcode", kFixed | kNonSymbolic, "CourierNew"},  // the descriptor says fixed pitch
        {"MonotypeCorsiva", kNonSymbolic | kSerif, ""},        // the foundry is no class
        {"ABCDEF+CMSS10", kSymbolic, "Arial"},
        {"Frutiger-Roman", kSerif, "Arial"},                  // the name knows better than a default
        {"PTSansSerif", kNonSymbolic, "Arial"},
        {"SourceSerifPro", kNonSymbolic, ""},                 // serif in the name
        {"Quillsans", kNonSymbolic, "Arial"},                 // non-symbolic without serifs
        {"Quillbook", kNonSymbolic | kSerif, ""},
        {"ABCDEF+CMR10", kSymbolic, ""},
        {"ABCDEF+CMSY9", kFixed | kSymbolic, ""},            // a symbol font's fixed pitch means nothing
        {"T3Font_0", kSerif, ""},                             // no descriptor: the core's serif guess
        {"Palatino-Roman", kNonSymbolic | kSerif, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassFace(c.name, c.flags), c.face) << c.name;
}

}  // namespace
