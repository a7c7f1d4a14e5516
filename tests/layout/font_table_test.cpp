// Output fonts and colours: the font-name table, face names, resolution to
// installed families, the user's map file and the colour table.
//
// Resolution asks fontconfig; these tests rely on the fonts the project
// installs (Liberation, URW base 35, Carlito) and on a few invented face
// names that no machine has.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "control/rtf_document.h"
#include "layout/font_table.h"
#include "layout/model.h"
#include "layout/xml_parse.h"
#include "platform/font_installed.h"
#include "platform/registry.h"
#include "rtf/rtf_file.h"
#include "support/test_util.h"

namespace {

constexpr const char* kMissingFace = "QuillmarkNoSuchFace";
constexpr const char* kMissingFace2 = "QuillmarkNoOtherFace";

CRtfFont* AddSpec(CRtfDocument& doc, const std::string& face, const std::string& alternate = "", int id = 0) {
    auto spec = std::make_unique<CRtfFont>();
    spec->m_nId = id;
    spec->SetName(face);
    spec->SetAlternate(alternate);
    CRtfFont* p = spec.get();
    EXPECT_TRUE(doc.AddFont(std::move(spec)));
    return p;
}

}  // namespace

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
        EXPECT_FALSE(ps.empty()) << "entry " << i;
        EXPECT_STRNE(table[i].family, "") << ps;
        // Capitals alone could be found inside a subset tag.
        bool capitalsOnly = true;
        for (char c : ps) capitalsOnly = capitalsOnly && c >= 'A' && c <= 'Z';
        EXPECT_FALSE(capitalsOnly) << ps;
        // The scan runs from the end: an entry found inside an earlier,
        // longer entry would make that one unreachable.
        for (std::size_t j = i + 1; j < count; ++j)
            EXPECT_EQ(ps.find(table[j].ps), std::string::npos) << ps << " is hidden by the later " << table[j].ps;
    }
}

TEST(FontSpec, SetNameSizeAlternate) {
    struct Case { const char* in; const char* stored; bool ok; } cases[] = {
        {"+Symbol", "+Symbol", true},  // '+' at position 0 is no subset tag
        {"AB+CD,Bold", "CD-Bold", true},
        {"A+B+C", "B+C", true},
        {"AB+", "", false},
    };
    for (const Case& c : cases) {
        CRtfFont f;
        EXPECT_EQ(f.SetName(c.in), c.ok) << c.in;
        EXPECT_EQ(f.m_strName, c.stored) << c.in;
    }

    const struct {
        int32_t in;
        uint16_t size;
        uint8_t missing;
    } sizes[] = {{12, 12, 0}, {0, 10, 1}, {65536, 10, 1}, {65547, 11, 0}};
    for (const auto& s : sizes) {
        CRtfFont f;
        f.SetSize(s.in);
        EXPECT_EQ(f.m_nSize, s.size) << s.in;
        EXPECT_EQ(f.m_bNoSize, s.missing) << s.in;
    }

}

TEST(FontInstalled, FontconfigFamiliesAndCompatibleAliases) {
    struct Case { const char* name; bool installed; } cases[] = {
        {"Liberation Sans", true},
        {"Times New Roman", true},  // bound to Liberation Serif
        {"Calibri", true},  // Carlito
        {"", false},
        {kMissingFace, false},
        {"serif", false},  // a generic name is no face
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qm::IsFontInstalled(c.name), c.installed) << c.name;
        EXPECT_EQ(qm::IsFontInstalled(c.name), c.installed) << c.name << " (cached)";
    }
}

TEST(FontTable, OutputFontsFollowFirstUse) {
    CRtfDocument doc(nullptr);
    CRtfFont* arial = AddSpec(doc, "Arial", "", 0);
    CRtfFont* courier = AddSpec(doc, "Courier New", "", 1);
    CRtfFont* arialLower = AddSpec(doc, "arial", "", 2);  // another face name, same font
    CRtfFont* arialAgain = AddSpec(doc, "Arial", "", 3);
    CRtfFont* missing = AddSpec(doc, kMissingFace, "", 4);
    CRtfFont* viaAlternate = AddSpec(doc, kMissingFace2, "Liberation Serif", 5);

    ASSERT_EQ(doc.m_fonts.GetCount(), 4);
    EXPECT_EQ(arial->m_pFontData->m_nIndex, 1);
    EXPECT_EQ(arial->m_nStyle, 0);
    EXPECT_EQ(courier->m_pFontData->m_nIndex, 2);
    EXPECT_EQ(arialLower->m_pFontData.raw(), arial->m_pFontData.raw());
    EXPECT_EQ(arialAgain->m_pFontData.raw(), arial->m_pFontData.raw());
    EXPECT_EQ(arialAgain->m_nStyle, arial->m_nStyle);
    EXPECT_EQ(missing->m_pFontData.raw(), doc.DefaultFont());
    EXPECT_EQ(missing->m_nStyle, 1);
    EXPECT_EQ(viaAlternate->m_pFontData->m_strName, "Liberation Serif");
    EXPECT_EQ(viaAlternate->m_pFontData->m_nIndex, 3);
    EXPECT_EQ(viaAlternate->m_nStyle, 0);

    // Every specification stays listed, duplicates included.
    EXPECT_EQ(doc.m_specs.GetCount(), 6);
    EXPECT_EQ(doc.FindSpecByName("Arial"), arial);
    EXPECT_EQ(doc.FindSpecByName("ARIAL"), nullptr);
    EXPECT_EQ(doc.FindFontByName("ARIAL"), arial->m_pFontData.raw());
    EXPECT_EQ(doc.FindFontByNumber(2), courier->m_pFontData.raw());

    // A later specification of a face first seen missing shares its
    // default font and its substitute mark.
    CRtfFont* missingAgain = AddSpec(doc, kMissingFace, "Arial", 6);
    EXPECT_EQ(missingAgain->m_pFontData.raw(), doc.DefaultFont());
    EXPECT_EQ(missingAgain->m_nStyle, 1);
}

TEST(ColorTable, HexColoursWithoutDuplicates) {
    CRtfDocument doc(nullptr);
    RtfColorData* red = doc.AddColor("#FF0000");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->m_nIndex, 1);
    EXPECT_EQ(red->Rgb(), 255u);
    EXPECT_EQ(doc.AddColor("\"ff0000\""), red);
    EXPECT_EQ(doc.AddColorHex(255, 0, 0), red);
    EXPECT_EQ(doc.AddColor("#F00"), nullptr);
    EXPECT_EQ(doc.AddColor("#ff00000"), nullptr);
    EXPECT_EQ(doc.m_colors.GetCount(), 2);

    RtfColorData* mixed = doc.AddColor("#0a8040");
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(mixed->Rgb(), 0x40800au);
    EXPECT_EQ(doc.AddColor("#000000"), doc.m_colors.GetHead());
}

// A map file that is not text gives no substitute from its binary lines;
// its text lines still count. The same rules hold for every name.
TEST(MapFile, ReadMapFileLines) {
    qmtest::TempDir dir;
    const std::string path = dir / "map";
    qmtest::WriteFile(path, "Garamond=Geo\r\n\n Garamond=Spaced\nOther=Garamond=No\nGaramond=rgia\nGaramondX=No\n");
    EXPECT_EQ(ReadMapFile(path, "Garamond"), "Georgia");
    EXPECT_EQ(ReadMapFile(path, "Other"), "Garamond=No");
    EXPECT_EQ(ReadMapFile(path, "Missing"), "");
    EXPECT_EQ(ReadMapFile(dir / "absent", "Garamond"), "");
    EXPECT_EQ(ReadMapFile("", "Garamond"), "");

    std::string bytes = "Futura=Arial";
    bytes += std::string("\0junk\n", 6);
    bytes += "Futura=Ar\x01ial\nFutura=A{rial}\nFutura=Ari;al\nFutura=Ar\\ial\n\xff\xfe";
    bytes += std::string("\0\x10\n", 3);
    bytes += "Times=Liberation\tSerif\nTimes=\x7f\nArial=Liberation Sans\r\n";
    qmtest::WriteFile(path, bytes);
    const struct { const char* name; const char* mapped; } cases[] = {
        {"Futura", ""}, {"Times", "Liberation\tSerif"}, {"Arial", "Liberation Sans"}};
    for (const auto& c : cases) EXPECT_EQ(ReadMapFile(path, c.name), c.mapped) << c.name;
    // A name with a NUL is never reported installed: fontconfig would see
    // only the part before it.
    EXPECT_FALSE(qm::IsFontInstalled(std::string("Arial\0junk", 10)));
}

namespace {

// The settings store as the applications install it, with one value.
class FakeStore : public qm::SettingsStore {
public:
    explicit FakeStore(std::string folder) : m_folder(std::move(folder)) {}
    bool ReadString(const std::string&, const std::string& name, std::string& value) override {
        if (name != "DLL_FONT") return false;
        value = m_folder;
        return true;
    }
    bool WriteString(const std::string&, const std::string&, const std::string&) override { return false; }

private:
    std::string m_folder;
};

// The map folder is read from the settings once per process, so every test
// here shares one folder (removed at exit); each writes its own map file.
const std::string& MapFolder() {
    static const qmtest::TempDir dir;
    return dir.path();
}

class FontMap : public ::testing::Test {
protected:
    void SetUp() override {
        m_store = std::make_unique<FakeStore>(MapFolder());
        qm::SetSettingsStore(m_store.get());
        m_context.m_strFontFolder = MapFolder();
    }
    void TearDown() override {
        WriteMap("");
        qm::SetSettingsStore(nullptr);
    }
    static void WriteMap(const std::string& content) {
        std::ofstream(MapFolder() + "/" + kFontMapFile, std::ios::binary) << content;
    }
    std::unique_ptr<FakeStore> m_store;
    CLayoutContext m_context;
};

}  // namespace

TEST_F(FontMap, SubstituteUsedOnlyWhenInstalled) {
    // The face of the output font; a substitute is marked either way.
    const struct { const char* map; const char* face; } cases[] = {
        {"QuillmarkNoSuchFace=Liberation Serif\n", "Liberation Serif"},
        {"QuillmarkNoSuchFace=  Liberation Serif  \r\n", "Liberation Serif"},
        {" QuillmarkNoSuchFace=Liberation Serif\n", "Times New Roman"},  // must start the line
        {"", "Times New Roman"},
    };
    for (const auto& c : cases) {
        WriteMap(c.map);
        CRtfDocument doc(nullptr, &m_context);
        CRtfFont* spec = AddSpec(doc, kMissingFace);
        EXPECT_EQ(spec->m_pFontData->m_strName, c.face) << c.map;
        EXPECT_EQ(spec->m_nStyle, 1) << c.map;
    }

    // Garamond=Georgia helps only where Georgia (or a font bound to it) is
    // installed; the substitute is marked either way.
    if (!qm::IsFontInstalled("Garamond")) {
        WriteMap("Garamond=Georgia\n");
        CRtfDocument doc(nullptr, &m_context);
        CRtfFont* spec = AddSpec(doc, "Garamond");
        EXPECT_EQ(spec->m_pFontData->m_strName, qm::IsFontInstalled("Georgia") ? "Georgia" : "Times New Roman");
        EXPECT_EQ(spec->m_nStyle, 1);
    }

    // An installed face is taken as it is, whatever the map says.
    WriteMap("Arial=Liberation Serif\n");
    CRtfDocument doc(nullptr, &m_context);
    CRtfFont* arial = AddSpec(doc, "Arial");
    EXPECT_EQ(arial->m_pFontData->m_strName, "Arial");
    EXPECT_EQ(arial->m_nStyle, 0);
}
