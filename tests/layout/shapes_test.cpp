// Drawn paths as RTF freeform shapes, pictures as picture shapes carrying
// the picture's bytes as hexadecimal text. The path text is what the page
// PostScript device records; the picture step hands both over, so no page
// XML golden reaches them.
#include <gtest/gtest.h>

#include <cstring>

#include "layout/model.h"
#include "rtf/rtf_file.h"
#include "support/test_util.h"

using qmtest::ReadFile;
using qmtest::TempDir;
using qmtest::WriteFile;

namespace {

std::string Build(const std::string& path, bool* built = nullptr) {
    CRtfPage page(nullptr, 1);
    CRtfLine line;
    line.m_strPath = path;
    const bool ok = line.BuildShape(&page);
    if (built != nullptr) *built = ok;
    return line.m_strShape;
}

// The value of a shape property, "<none>" when the shape has none.
std::string Prop(const std::string& shape, const std::string& name) {
    const std::string key = "{\\sn " + name + "}{\\sv ";
    size_t at = shape.find(key);
    if (at == std::string::npos) return "<none>";
    at += key.size();
    return shape.substr(at, shape.find('}', at) - at);
}

const char* kTriangle = "0 0 m\n100 0 l\n100 100 l\nh\n";

}  // namespace

// Out-of-range colour operands are clamped, as PostScript does; coordinates
// and widths too large, or not numbers at all, give numbers a control word
// can hold instead of undefined conversions (found by fuzzing).
TEST(Shapes, PropertiesFromThePath) {
    const std::string t = kTriangle;
    struct Case { std::string path; const char* property; const char* value; } cases[] = {
        {"1 w\n0 0 m\n100 0 l\nS\n", "lineWidth", "12700"},  // one point
        {"[0 3 -3 0 300 0] cm\n1 w\n0 0 m\n10 0 l\nS\n", "lineWidth", "25400"},
        {t + "S\n", "pSegmentInfo", "2;8;16384;45824;1;45824;1;45824;24577;32768"},
        // Relative to the box's top left corner, in twips, y downwards.
        {t + "S\n", "pVerticies", "8;3;(0,2000);(2000,2000);(2000,0);"},
        {"0 0 m\n100 0 l\n100 100 l\nS\n", "pSegmentInfo", "2;7;16384;45824;1;45824;1;45824;32768"},
        {"0.5 g\n" + t + "f\n", "fillColor", "8355711"},
        {"1 0 0 rg\n" + t + "f\n", "fillColor", "255"},
        {"1 0 0 0 k\n" + t + "f\n", "fillColor", "16776960"},
        {"1 0 0 rg\n" + t + "f\n", "lineWidth", "<none>"},  // a fill draws no outline
        {"0 0 1 RG\n[3 2] 0 d\n0 0 m\n100 0 l\nS\n", "lineColor", "16711680"},
        {"0 0 1 RG\n[3 2] 0 d\n0 0 m\n100 0 l\nS\n", "lineDashing", "6"},
        {"0 0 1 RG\n0 0 m\n100 0 l\nS\n", "fFilled", "0"},
        // A thin rectangle is a line in its fill colour, a wide one a closed shape.
        {"1 0 0 rg\n10 100 200 0.5 re\nf\n", "pSegmentInfo", "2;5;16384;45824;1;45824;32768"},
        {"1 0 0 rg\n10 100 200 0.5 re\nf\n", "lineColor", "255"},
        {"10 100 200 50 re\nf\n", "pSegmentInfo", "2;10;16384;45824;1;45824;1;45824;1;45824;24577;32768"},
        {"10 100 200 50 re\nf\n", "fLine", "0"},
        {"0 0 500 500 k\n" + t + "f\n", "fillColor", "0"},
        {"-3 -3 -3 0 k\n" + t + "f\n", "fillColor", "16777215"},
        {"2 g\n" + t + "f\n", "fillColor", "16777215"},
        {"-7 g\n" + t + "f\n", "fillColor", "0"},
        {"300 -1 0.5 RG\n0 0 m\n10 0 l\nS\n", "lineColor", "8388863"},
        {"1e300 w\n0 0 m\n10 0 l\nS\n", "lineWidth", "2147483647"},
        {"nan w\n0 0 m\n10 0 l\nS\n", "lineWidth", "0"},
        {"0 0 m\n1e300 0 l\nS\n", "geoRight", "133333333"},
        {"[1e300 0 0 1e300 1e300 -1e300] cm\n0 0 m\n1 1 l\nS\n", "geoRight", "0"},
        {"0 0 m\nnan inf l\n-inf 5 l\nS\n", "geoRight", "133333333"},
    };
    for (const Case& c : cases) {
        bool built = false;
        const std::string shape = Build(c.path, &built);
        EXPECT_TRUE(built) << c.path;
        EXPECT_EQ(Prop(shape, c.property), c.value) << c.path;
    }
}

TEST(Shapes, WhatIsNotDrawn) {
    bool built = true;
    // White with the even-odd rule, as PDF producers paint page backgrounds.
    EXPECT_EQ(Build("1 g\n" + std::string(kTriangle) + "f*\n", &built), "");
    EXPECT_FALSE(built);
    EXPECT_NE(Build("1 g\n" + std::string(kTriangle) + "f\n"), "");
    // The clip path is not drawn; each sub-path is a shape of its own.
    const std::string shape = Build("0 0 500 500 re\nW\n0 0 m\n10 0 l\n0 20 m\n10 20 l\nS\n");
    EXPECT_EQ(qmtest::CountOccurrences(shape, "{\\shp{"), 2);
    CRtfLine line;
    line.m_strPath = "0 0 m\n10 10 l\nS\n";
    EXPECT_FALSE(line.BuildShape(nullptr));
}

TEST(Shapes, ShapeTextStartsAndEndsWithTheFreeformTemplate) {
    CRtfPage page(nullptr, 1);
    CRtfLine line;
    line.m_nZOrder = 7;
    line.m_strPath = "0 0 m\n100 0 l\nS\n";
    ASSERT_TRUE(line.BuildShape(&page));
    // (0,0) and (100,0) in points are page units (0,792) and (150,792).
    const std::string& s = line.m_strShape;
    EXPECT_EQ(s.find("\n{\\shp{\\*\\shpinst\\shpleft0\\shptop10560\\shpright2000\\shpbottom10560\\shpfhdr0"), 0u);
    EXPECT_NE(s.find("\\shpz7\\shpbxpage\\shpbypage\n{\\sp{\\sn shapeType}{\\sv 0}}"), std::string::npos);
    const std::string tail =
        "\n{\\sp{\\sn fLine}{\\sv 1}}{\\sp{\\sn lineColor}{\\sv 0}}\n{\\sp{\\sn lineType}{\\sv 0}}\n{\\sp{\\sn "
        "fArrowheadsOK}{\\sv 0}}\n{\\sp{\\sn fBehindDocument}{\\sv 1}}\n{\\sp{\\sn fLayoutInCell}{\\sv 1}}}}";
    EXPECT_EQ(s.substr(s.size() - std::min(s.size(), tail.size())), tail);
}

// Every byte of the picture, NUL and high bytes included, reaches the
// shape as two hexadecimal digits; a picture that cannot be read gives no
// shape at all.
TEST(PictureFile, PictureShapeLandsWhereThePlacementPutsItWithEveryByte) {
    TempDir dir;
    WriteFile(dir / "imagefile1.jpeg", std::string("\x00\xAB\xFF\x10\x7f", 5));
    // 100 x 80 points at (50, 300) on a 612 x 792 page (page units 918 x
    // 1188), unrotated and turned by 90 degrees.
    const struct { int rotation; int left, top, right, bottom; } cases[] = {{0, 75, 618, 225, 738}, {90, 450, 75, 570, 225}};
    for (const auto& c : cases) {
        CRtfPage page(nullptr, 1);
        page.m_rect = c.rotation == 90 ? CRect(0, 0, 1188, 918) : CRect(0, 0, 918, 1188);
        CRtfImage picture;
        ASSERT_TRUE(picture.SetImageFile(dir / "imagefile1.jpeg", false));
        picture.SetPlace(100, 0, 0, 80);
        picture.SetPlaceOrigin(50, 300);
        picture.m_n3 = c.rotation;
        const std::string rtf = picture.WriteRtf(&page);
        char box[128];
        std::snprintf(box, sizeof box, "{\\shp\n{\\*\\shpinst\n\\shpleft%d\\shptop%d\\shpright%d\\shpbottom%d\n",
                      ToTwips(c.left), ToTwips(c.top), ToTwips(c.right), ToTwips(c.bottom));
        EXPECT_EQ(rtf.find(box), 0u) << "rotation " << c.rotation;
        EXPECT_NE(rtf.find("{\\sp{\\sn pib}{\\sv {\\pict\n\\jpegblip\n00ABFF107F}\n}}}}"), std::string::npos) << rtf;
    }
    CRtfImage missing;
    CRtfPage page(nullptr, 1);
    EXPECT_FALSE(missing.SetImageFile(dir / "nothing.jpeg", false));
    EXPECT_EQ(missing.WriteRtf(&page), "");
}

// A white fill over the page is the page itself; the exact layout leaves
// it out, as LibreOffice would set it above the text boxes of the page.
TEST(Shapes, PageBackgroundIsAWhiteFillOverThePage) {
    const struct {
        const char* path;
        bool background;
    } cases[] = {
        {"1 g\n0 0 612 792 re\nf\n", true},
        {"1 g\n-2 -2 616 796 re\nf\n", true},           // a little past the edges
        {"1 g\n0 0 612 400 re\nf\n", false},            // half the page
        {"0.9 g\n0 0 612 792 re\nf\n", false},          // gray is drawn
        {"1 g\n0 G\n0 0 612 792 re\nf\nS\n", false},  // an outlined box
        {"1 g\n0 0 612 792 re\n10 10 20 20 re\nf\n", false},  // more than one sub-path
    };
    for (const auto& c : cases) {
        bool built = false;
        const std::string shape = Build(c.path, &built);
        ASSERT_TRUE(built) << c.path;
        EXPECT_EQ(IsPageBackground(shape, 612 * 20, 792 * 20), c.background) << c.path;
    }
}
