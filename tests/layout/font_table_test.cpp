// Output fonts: the font-name table, the user's map file and the fontconfig
// check of installed faces. The font and colour tables a document gets are
// in the layout goldens.
//
// Resolution asks fontconfig; these tests rely on the fonts the project
// installs (Liberation, URW base 35, Carlito).
#include <gtest/gtest.h>

#include <string>

#include "control/rtf_document.h"
#include "layout/font_table.h"
#include "platform/font_installed.h"
#include "support/golden.h"
#include "support/test_util.h"

namespace {

TEST(FontNames, LookupFamily) {
    struct Case { const char* value; const char* family; } cases[] = {
        {"MyCustomFont", "Times New Roman"},
        {"ABCDEF+ArialMT", "Arial"},
        {"ArialNarrow-Bold", "Arial Narrow"},
        {"Times", "Times New Roman"},  // the default family, cut at its first space
        {"LiberationMono-Bold", "Courier New"},
        {"CMR10", "Latin Modern Roman"},
        {"CMMI10", "Cambria Math"},
        // A subset tag that happens to spell a TeX font name does not count.
        {"QCMRXZ+ArialMT", "Arial"},
    };
    for (const Case& c : cases) EXPECT_EQ(LookupFamily(c.value), c.family) << c.value;
}

TEST(FontNames, TableIsWellFormed) {
    std::size_t count = 0;
    const FontNamePair* table = FontNameTable(count);
    ASSERT_GT(count, 500u);
    EXPECT_STREQ(table[0].ps, "");
    EXPECT_STREQ(table[0].family, "Times New Roman");
    for (std::size_t i = 1; i < count; ++i) {
        const std::string ps = table[i].ps;
        EXPECT_STRNE(table[i].family, "") << ps;
        // Capitals alone could be found inside a subset tag.
        EXPECT_NE(ps.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << ps;
        // The scan runs from the end: an entry found inside an earlier,
        // longer entry would make that one unreachable.
        for (std::size_t j = i + 1; j < count; ++j)
            EXPECT_EQ(ps.find(table[j].ps), std::string::npos) << ps << " is hidden by the later " << table[j].ps;
    }
}

TEST(FontInstalled, FontconfigFamiliesAndCompatibleAliases) {
    struct Case { std::string name; bool installed; } cases[] = {
        {"Liberation Sans", true}, {"Times New Roman", true} /* Liberation Serif */, {"Calibri", true} /* Carlito */,
        {"", false}, {"QuillmarkNoSuchFace", false}, {"serif", false} /* a generic name is no face */,
        // fontconfig would see only the part before the NUL.
        {std::string("Arial\0junk", 10), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qm::IsFontInstalled(c.name), c.installed) << c.name;
        EXPECT_EQ(qm::IsFontInstalled(c.name), c.installed) << c.name << " (cached)";
    }
}

// Lines that are not text (control bytes, RTF delimiters) give no
// substitute; the text lines still count.
TEST(MapFile, ReadMapFileLines) {
    qmtest::TempDir dir;
    const std::string path = dir / "map";
    std::string bytes = "Garamond=Geo\r\n\n Garamond=Spaced\nOther=Garamond=No\nGaramond=rgia\nGaramondX=No\nFutura=Arial";
    bytes += std::string("\0junk\n", 6);
    bytes += "Futura=Ar\x01ial\nFutura=A{rial}\nFutura=Ari;al\nFutura=Ar\\ial\n\xff\xfe";
    bytes += std::string("\0\x10\n", 3);
    bytes += "Times=Liberation\tSerif\nTimes=\x7f\nArial=Liberation Sans\r\n";
    qmtest::WriteFile(path, bytes);
    const struct { std::string path; const char* name; const char* mapped; } cases[] = {
        {path, "Garamond", "Georgia"}, {path, "Other", "Garamond=No"}, {path, "Missing", ""},
        {path, "Futura", ""},          {path, "Times", "Liberation\tSerif"}, {path, "Arial", "Liberation Sans"},
        {dir / "absent", "Garamond", ""}, {"", "Garamond", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadMapFile(c.path, c.name), c.mapped) << c.name;
}

TEST(FontMap, SubstituteUsedOnlyWhenInstalled) {
    // The conversion reads the map folder (DLL_FONT) from the settings once
    // and hands it to its documents.
    const qmtest::TempDir maps;
    CLayoutContext context;
    context.m_strFontFolder = maps.path();
    const std::string serif = "{\\f0\\froman Times New Roman;}";
    const struct { const char* family; const char* map; std::string fonts; } cases[] = {
        {"Futura", "Futura=Liberation Serif\n", serif + "{\\f1 Liberation Serif;}"},
        {"Futura", "Futura=  Liberation Serif  \r\n", serif + "{\\f1 Liberation Serif;}"},
        {"Futura", " Futura=Liberation Serif\n", serif},  // must start the line
        {"Futura", "Futura=QuillmarkNoSuchFace\n", serif},
        {"Arial", "Arial=Liberation Serif\n", serif + "{\\f1\\fswiss Arial;}"},
    };
    for (const auto& c : cases) {
        qmtest::WriteFile(maps / kFontMapFile, c.map);
        qmtest::TempDir dir;
        qmtest::WriteFile(dir / "doc.xml", "<pdf2xml>\n<page pnumber=\"1\">\n\t<fontspec id=\"0\" size=\"12\" family=\"" +
                                               std::string(c.family) + "\" color=\"#000000\">\n</page>\n</pdf2xml>\n");
        const std::string rtf = qmtest::RtfFromPageXml(dir / "doc.xml", kLayoutPlainText, &context);
        const size_t at = rtf.find("{\\fonttbl\r\n") + 11;
        EXPECT_EQ(rtf.substr(at, rtf.find("\r\n", at) - at), c.fonts + "}") << c.map;
    }
}

}  // namespace
