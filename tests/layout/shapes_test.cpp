// Drawn paths as RTF freeform shapes, pictures as picture shapes, and the
// hexadecimal text file of a picture.
#include <gtest/gtest.h>

#include <cstring>

#include "layout/model.h"
#include "support/test_util.h"

using qmtest::ReadFile;
using qmtest::TempDir;
using qmtest::WriteFile;

namespace {

std::string Prop(const std::string& shape, const std::string& name) {
    std::string key = "{\\sn " + name + "}{\\sv ";
    size_t at = shape.find(key);
    if (at == std::string::npos) return "<none>";
    at += key.size();
    return shape.substr(at, shape.find('}', at) - at);
}

std::string Build(const std::string& path, bool* built = nullptr) {
    CRtfPage page(nullptr, 1);
    CRtfLine line;
    line.m_strPath = path;
    bool ok = line.BuildShape(&page);
    if (built != nullptr) *built = ok;
    return line.m_strShape;
}

}  // namespace

TEST(Shapes, WhiteEvenOddFillWritesNothing) {
    bool built = true;
    std::string shape = Build("1 g\n0 0 m\n100 0 l\n100 100 l\nh\nf*\n", &built);
    EXPECT_FALSE(built);
    EXPECT_EQ(shape, "");
    // The same fill in black, or white with the nonzero rule, is drawn.
    EXPECT_NE(Build("0 g\n0 0 m\n100 0 l\n100 100 l\nh\nf*\n"), "");
    EXPECT_NE(Build("1 g\n0 0 m\n100 0 l\n100 100 l\nh\nf\n"), "");
    CRtfLine line;
    line.m_strPath = "0 0 m\n10 10 l\nS\n";
    EXPECT_FALSE(line.BuildShape(nullptr));
}

TEST(Shapes, LineWidthOfOnePointIs12700Emu) {
    std::string shape = Build("1 w\n0 0 m\n100 0 l\nS\n");
    EXPECT_EQ(Prop(shape, "lineWidth"), "12700");
    // Under a matrix turned by 90 degrees the width scales with its b entry.
    shape = Build("[0 3 -3 0 300 0] cm\n1 w\n0 0 m\n10 0 l\nS\n");
    EXPECT_EQ(Prop(shape, "lineWidth"), "25400");
}

TEST(Shapes, ClosedThreePointSubPathHasSegmentCountEight) {
    std::string shape = Build("0 0 m\n100 0 l\n100 100 l\nh\nS\n");
    EXPECT_EQ(Prop(shape, "pSegmentInfo"), "2;8;16384;45824;1;45824;1;45824;24577;32768");
    // Points relative to the box's top left corner, in twips: (0,0) maps to
    // the bottom left of the box, y grows downwards.
    EXPECT_EQ(Prop(shape, "pVerticies"), "8;3;(0,2049);(2049,2049);(2049,0);");
    std::string open = Build("0 0 m\n100 0 l\n100 100 l\nS\n");
    EXPECT_EQ(Prop(open, "pSegmentInfo"), "2;7;16384;45824;1;45824;1;45824;32768");
}

TEST(Shapes, FillAndLineColours) {
    struct Case { const char* colour; const char* fill; } cases[] = {
        {"0.5 g", "8355711"},  // 127 + 256 * 127 + 65536 * 127
        {"1 0 0 rg", "255"},
        {"1 0 0 0 k", "16776960"},  // cyan: 0, 255, 255
    };
    for (const Case& c : cases) {
        std::string shape = Build(std::string(c.colour) + "\n0 0 m\n100 0 l\n100 100 l\nh\nf\n");
        EXPECT_EQ(Prop(shape, "fillColor"), c.fill) << c.colour;
        EXPECT_EQ(Prop(shape, "fFilled"), "1");
        EXPECT_EQ(Prop(shape, "lineWidth"), "<none>") << "a fill draws no outline";
    }
    std::string stroked = Build("0 0 1 RG\n[3 2] 0 d\n0 0 m\n100 0 l\nS\n");
    EXPECT_EQ(Prop(stroked, "lineColor"), "16711680");
    EXPECT_EQ(Prop(stroked, "lineDashing"), "6");
    EXPECT_EQ(Prop(stroked, "fFilled"), "0");
}

TEST(Shapes, ThinRectangleIsDrawnAsALineInItsFillColour) {
    std::string shape = Build("1 0 0 rg\n10 100 200 0.5 re\nf\n");
    EXPECT_EQ(Prop(shape, "pSegmentInfo"), "2;5;16384;45824;1;45824;32768");
    EXPECT_NE(shape.find("{\\sp{\\sn fLine}{\\sv 1}}{\\sp{\\sn lineColor}{\\sv 255}}"), std::string::npos) << shape;
    // A wide rectangle is a closed four-corner shape without an outline.
    std::string box = Build("10 100 200 50 re\nf\n");
    EXPECT_EQ(Prop(box, "pSegmentInfo"), "2;10;16384;45824;1;45824;1;45824;1;45824;24577;32768");
    EXPECT_NE(box.find("{\\sp{\\sn fLine}{\\sv 0}}{\\sp{\\sn lineColor}{\\sv 0}}"), std::string::npos);
}

TEST(Shapes, ClipPathsAreNotDrawnAndSubPathsAreShapesOfTheirOwn) {
    std::string shape = Build("0 0 500 500 re\nW\n0 0 m\n10 0 l\n0 20 m\n10 20 l\nS\n");
    size_t count = 0;
    for (size_t at = shape.find("{\\shp{"); at != std::string::npos; at = shape.find("{\\shp{", at + 1)) ++count;
    EXPECT_EQ(count, 2u);
}

TEST(Shapes, ShapeTextStartsWithTheFreeformTemplate) {
    CRtfPage page(nullptr, 1);
    CRtfLine line;
    line.m_nZOrder = 7;
    line.m_strPath = "0 0 m\n100 0 l\nS\n";
    ASSERT_TRUE(line.BuildShape(&page));
    // (0,0) and (100,0) in points are page units (0,792) and (150,792).
    const std::string head = "\n{\\shp{\\*\\shpinst\\shpleft0\\shptop10823\\shpright2049\\shpbottom10823\\shpfhdr0";
    EXPECT_EQ(line.m_strShape.substr(0, head.size()), head);
    EXPECT_NE(line.m_strShape.find("\\shpz7\\shpbxpage\\shpbypage\n{\\sp{\\sn shapeType}{\\sv 0}}"), std::string::npos);
    EXPECT_EQ(line.m_rect, CRect(0, 792, 150, 792));
    const std::string tail =
        "\n{\\sp{\\sn fLine}{\\sv 1}}{\\sp{\\sn lineColor}{\\sv 0}}\n{\\sp{\\sn lineType}{\\sv 0}}\n{\\sp{\\sn "
        "fArrowheadsOK}{\\sv 0}}\n{\\sp{\\sn fBehindDocument}{\\sv 1}}\n{\\sp{\\sn fLayoutInCell}{\\sv 1}}}}";
    ASSERT_GE(line.m_strShape.size(), tail.size());
    EXPECT_EQ(line.m_strShape.substr(line.m_strShape.size() - tail.size()), tail);
}

TEST(PictureFile, HexadecimalText) {
    TempDir dir;
    WriteFile(dir / "imagefile1.jpeg", std::string("\x00\xAB\xFF\x10\x7f", 5));
    CRtfImage picture;
    ASSERT_TRUE(picture.SetImageFile(dir / "imagefile1.jpeg", false));
    EXPECT_EQ(picture.m_strHex, "00ABFF107F");

    CRtfImage keep;
    EXPECT_TRUE(keep.SetImageFile(dir / "imagefile1.jpeg", true));
    EXPECT_FALSE(keep.m_bHasPicture);
    CRtfImage missing;
    EXPECT_FALSE(missing.SetImageFile(dir / "nothing.jpeg", false));
    EXPECT_FALSE(missing.m_bHasPicture);
    CRtfImage noDot;
    EXPECT_FALSE(noDot.SetImageFile(dir / "imagefile", false));
}

TEST(PictureFile, PictureShapeLandsWhereThePlacementPutsIt) {
    TempDir dir;
    WriteFile(dir / "imagefile1.jpeg", "\xFF\xD8");
    struct Case {
        int rotation;
        double place[6];
        int left, top, right, bottom;  // page units
    } cases[] = {
        // 100 x 80 points at (50, 300) on an unrotated 612 x 792 page (page
        // units 918 x 1188).
        {0, {100, 0, 0, 80, 50, 300}, 75, 618, 225, 738},
        // The same on a page shown turned by 90 degrees (1188 x 918 units).
        {90, {100, 0, 0, 80, 50, 300}, 450, 75, 570, 225},
    };
    for (const Case& c : cases) {
        CRtfPage page(nullptr, 1);
        page.m_rect = c.rotation == 90 ? CRect(0, 0, 1188, 918) : CRect(0, 0, 918, 1188);
        CRtfImage picture;
        ASSERT_TRUE(picture.SetImageFile(dir / "imagefile1.jpeg", false));
        picture.SetPlace(c.place[0], c.place[1], c.place[2], c.place[3]);
        picture.SetPlaceOrigin(c.place[4], c.place[5]);
        picture.m_n3 = c.rotation;
        std::string rtf = picture.WriteRtf(&page);
        char box[128];
        std::snprintf(box, sizeof box, "{\\shp\n{\\*\\shpinst\n\\shpleft%d\\shptop%d\\shpright%d\\shpbottom%d\n",
                      ToTwips(c.left), ToTwips(c.top), ToTwips(c.right), ToTwips(c.bottom));
        EXPECT_EQ(rtf.substr(0, std::strlen(box)), box) << "rotation " << c.rotation;
        EXPECT_NE(rtf.find("{\\sp{\\sn pib}{\\sv {\\pict\n\\jpegblip\nFFD8}\n}}}}"), std::string::npos) << rtf;
    }
    CRtfImage noFile;
    CRtfPage page(nullptr, 1);
    EXPECT_EQ(noFile.WriteRtf(&page), "");
}

// Paths from damaged pages: colour operands outside 0 to 1 are clamped, as
// PostScript does, and coordinates or widths too large (or not numbers at
// all) give numbers a control word can hold instead of undefined
// conversions. Found by fuzzing the shape builder.
TEST(Shapes, OutOfRangeNumbersAreClamped) {
    struct Case { const char* path; const char* property; const char* value; } cases[] = {
        {"0 0 500 500 k\n0 0 m\n10 0 l\n10 10 l\nf\n", "fillColor", "0"},
        {"-3 -3 -3 0 k\n0 0 m\n10 0 l\n10 10 l\nf\n", "fillColor", "16777215"},
        {"2 g\n0 0 m\n10 0 l\n10 10 l\nf\n", "fillColor", "16777215"},
        {"-7 g\n0 0 m\n10 0 l\n10 10 l\nf\n", "fillColor", "0"},
        {"300 -1 0.5 RG\n0 0 m\n10 0 l\nS\n", "lineColor", "8388863"},
        {"1e300 w\n0 0 m\n10 0 l\nS\n", "lineWidth", "2147483647"},
        {"nan w\n0 0 m\n10 0 l\nS\n", "lineWidth", "0"},
        {"0 0 m\n1e300 0 l\nS\n", "geoRight", "136666000"},
        {"[1e300 0 0 1e300 1e300 -1e300] cm\n0 0 m\n1 1 l\nS\n", "geoRight", "0"},
        {"0 0 m\nnan inf l\n-inf 5 l\nS\n", "geoRight", "136666000"},
    };
    for (const Case& c : cases) {
        bool built = false;
        std::string shape = Build(c.path, &built);
        EXPECT_TRUE(built) << c.path;
        EXPECT_EQ(Prop(shape, c.property), c.value) << c.path;
    }
}
