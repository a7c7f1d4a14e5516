// Drawn paths read from their PostScript-like text and drawn as vector
// pictures; pictures as picture shapes carrying the picture's bytes as
// hexadecimal text. The path text is what the page
// PostScript device records; the picture step hands both over, so no page
// XML golden reaches them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "layout/model.h"
#include "support/test_util.h"

using qmtest::ReadFile;
using qmtest::TempDir;
using qmtest::WriteFile;

namespace {

// A path read as a page reads it.
struct Parsed {
    CRtfPage page{nullptr, 1};
    CRtfLine line;
    bool drawn = false;
    explicit Parsed(const std::string& path) {
        line.m_strPath = path;
        drawn = line.ParsePath(&page);
    }
    // How far the path's points spread across, in twips.
    int32_t WidthTwips() const {
        double x0 = 1e300, x1 = -1e300;
        for (const CPathPiece& p : line.m_pieces)
            for (const CPathPoint& q : p.m_points) x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
        return ToTwips(x1 - x0);
    }
};

const char* kTriangle = "0 0 m\n100 0 l\n100 100 l\nh\n";

}  // namespace

// Paint, width and sub-paths from the path text. Out-of-range colour
// operands are clamped, as PostScript does; coordinates and widths too
// large, or not numbers at all, give numbers a picture can hold instead of
// undefined conversions (found by fuzzing).
TEST(Shapes, PaintAndSubPathsFromThePath) {
    const std::string t = kTriangle;
    constexpr int32_t kAny = -1;
    struct Case {
        std::string path;
        int32_t fill, stroke, widthEmu, dashing;  // kAny: not checked
        int pieces, points;                       // of the first piece
        bool closed, line;
    } cases[] = {
        {"1 w\n0 0 m\n100 0 l\nS\n", kAny, 0, 12700, 0, 1, 2, false, false},  // one point wide
        {"[0 3 -3 0 300 0] cm\n1 w\n0 0 m\n10 0 l\nS\n", kAny, kAny, 25400, kAny, 1, 2, false, false},
        {t + "S\n", kAny, kAny, kAny, kAny, 1, 3, true, false},
        {"0 0 m\n100 0 l\n100 100 l\nS\n", kAny, kAny, kAny, kAny, 1, 3, false, false},
        {"0.5 g\n" + t + "f\n", 8355711, kAny, kAny, kAny, 1, 3, true, false},
        {"1 0 0 rg\n" + t + "f\n", 255, kAny, kAny, kAny, 1, 3, true, false},
        {"1 0 0 0 k\n" + t + "f\n", 16776960, kAny, kAny, kAny, 1, 3, true, false},
        {"0 0 1 RG\n[3 2] 0 d\n0 0 m\n100 0 l\nS\n", kAny, 16711680, kAny, 6, 1, 2, false, false},
        // A thin rectangle is a line in its fill colour, a wide one a closed path.
        {"1 0 0 rg\n10 100 200 0.5 re\nf\n", 255, kAny, kAny, kAny, 1, 2, false, true},
        {"10 100 200 50 re\nf\n", kAny, kAny, kAny, kAny, 1, 4, true, false},
        {"0 0 500 500 k\n" + t + "f\n", 0, kAny, kAny, kAny, 1, 3, true, false},
        {"-3 -3 -3 0 k\n" + t + "f\n", 16777215, kAny, kAny, kAny, 1, 3, true, false},
        {"2 g\n" + t + "f\n", 16777215, kAny, kAny, kAny, 1, 3, true, false},
        {"-7 g\n" + t + "f\n", 0, kAny, kAny, kAny, 1, 3, true, false},
        {"300 -1 0.5 RG\n0 0 m\n10 0 l\nS\n", kAny, 8388863, kAny, kAny, 1, 2, false, false},
        {"1e300 w\n0 0 m\n10 0 l\nS\n", kAny, kAny, 2147483647, kAny, 1, 2, false, false},
        {"nan w\n0 0 m\n10 0 l\nS\n", kAny, kAny, 0, kAny, 1, 2, false, false},
        // The clip path is not drawn; each sub-path is a piece of its own.
        {"0 0 500 500 re\nW\n0 0 m\n10 0 l\n0 20 m\n10 20 l\nS\n", kAny, kAny, kAny, kAny, 2, 2, false, false},
    };
    for (const Case& c : cases) {
        Parsed p(c.path);
        ASSERT_TRUE(p.drawn) << c.path;
        const CPathStyle& s = p.line.m_style;
        EXPECT_TRUE(c.fill == kAny || s.m_nFill == c.fill) << c.path << ": fill " << s.m_nFill;
        EXPECT_TRUE(c.stroke == kAny || s.m_nStroke == c.stroke) << c.path << ": stroke " << s.m_nStroke;
        EXPECT_TRUE(c.widthEmu == kAny || s.m_nWidthEmu == c.widthEmu) << c.path << ": width " << s.m_nWidthEmu;
        EXPECT_TRUE(c.dashing == kAny || s.m_nDashing == c.dashing) << c.path << ": dashing " << s.m_nDashing;
        ASSERT_EQ(p.line.m_pieces.size(), static_cast<size_t>(c.pieces)) << c.path;
        EXPECT_EQ(p.line.m_pieces[0].m_points.size(), static_cast<size_t>(c.points)) << c.path;
        EXPECT_EQ(p.line.m_pieces[0].m_bClosed, c.closed) << c.path;
        EXPECT_EQ(p.line.m_pieces[0].m_bLine, c.line) << c.path;
    }
    // A fill draws no outline; a stroke fills nothing.
    EXPECT_FALSE(Parsed("1 0 0 rg\n" + t + "f\n").line.m_style.m_bStroked);
    EXPECT_FALSE(Parsed("0 0 m\n100 0 l\nS\n").line.m_style.m_bFilled);
    // Coordinates are held within about seven kilometres, NaN and infinity
    // included.
    EXPECT_EQ(Parsed("0 0 m\n1e300 0 l\nS\n").WidthTwips(), 133333333);
    EXPECT_EQ(Parsed("0 0 m\nnan inf l\n-inf 5 l\nS\n").WidthTwips(), 133333333);
    EXPECT_EQ(Parsed("[1e300 0 0 1e300 1e300 -1e300] cm\n0 0 m\n1 1 l\nS\n").WidthTwips(), 0);
}

TEST(Shapes, WhatIsNotDrawn) {
    // White with the even-odd rule, as PDF producers paint page backgrounds.
    EXPECT_FALSE(Parsed("1 g\n" + std::string(kTriangle) + "f*\n").drawn);
    EXPECT_TRUE(Parsed("1 g\n" + std::string(kTriangle) + "f\n").drawn);
    EXPECT_FALSE(Parsed("0 0 m\n10 10 l\n").drawn);  // neither stroked nor filled
    CRtfLine line;
    line.m_strPath = "0 0 m\n10 10 l\nS\n";
    EXPECT_FALSE(line.ParsePath(nullptr));
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

namespace {

// A page whose drawn paths are the given path texts, drawn as a page
// draws them.
struct DrawnPage {
    CRtfPage page{nullptr, 1};
    std::vector<CRtfLine*> lines;
    size_t pictures = 0;
    DrawnPage(const std::vector<std::string>& paths, const std::vector<bool>& front = {}) {
        int z = 0;
        for (size_t i = 0; i < paths.size(); ++i) {
            auto line = std::make_unique<CRtfLine>();
            line->m_strPath = paths[i];
            line->m_nZOrder = z++;
            line->m_bFront = i < front.size() && front[i];
            if (!line->ParsePath(&page)) continue;
            lines.push_back(line.get());
            page.m_pObjects.push_back(std::move(line));
        }
        pictures = DrawPathsAsPictures(&page);
    }
    std::string Behind() const {
        std::string out;
        for (CRtfLine* l : lines) out += l->m_strShape;
        return out;
    }
    std::string Front() const {
        std::string out;
        for (CRtfLine* l : lines) out += l->m_strFront;
        return out;
    }
};

std::string Stroke(const char* colour, double x, double y) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s RG\n%g %g m\n%g %g l\nS\n", colour, x, y, x + 10, y);
    return buf;
}

std::string Fill(const char* colour, double x, double y, double w, double h) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s rg\n%g %g %g %g re\nf\n", colour, x, y, w, h);
    return buf;
}

int Count(const std::vector<qmtest::EmfRecord>& records, uint32_t type) {
    int n = 0;
    for (const auto& r : records) n += r.type == type ? 1 : 0;
    return n;
}

// The shape box of the first picture shape in `rtf`: left, top, right, bottom.
std::vector<int> ShapeBox(const std::string& rtf) {
    std::vector<int> box;
    for (const char* key : {"\\shpleft", "\\shptop", "\\shpright", "\\shpbottom"}) {
        const size_t at = rtf.find(key);
        box.push_back(at == std::string::npos ? -1 : std::atoi(rtf.c_str() + at + std::strlen(key)));
    }
    return box;
}

}  // namespace

// However many paths and paints, a page draws them in one picture behind
// its text, painted in the PDF's order: a pen or brush is made for each
// change of paint, and every path is drawn once.
TEST(PagePictures, AllPathsOfAPageInOnePictureInDrawingOrder) {
    const char* red = "1 0 0";
    const char* blue = "0 0 1";
    std::vector<std::string> strokes, interleaved, many;
    for (int i = 0; i < 50; ++i) strokes.push_back(Stroke(red, 100, 100 + 2 * i));
    for (int i = 0; i < 50; ++i) interleaved.push_back(Stroke(i % 2 ? red : blue, 100, 100 + 2 * i));
    const std::vector<std::string> sandwich = {Stroke(red, 100, 100), Fill(blue, 90, 90, 40, 20), Stroke(red, 100, 105)};
    for (int i = 0; i < 2000; ++i) {
        char colour[32];
        std::snprintf(colour, sizeof colour, "%g 0 0", (i % 100) / 100.0);
        many.push_back(Stroke(colour, 5 + (i % 40) * 12, 5 + (i / 40) * 12));
    }
    struct Case {
        const char* what;
        const std::vector<std::string>* paths;
        int pens, brushes;  // made
        int strokes, fills;  // paths painted
    } cases[] = {
        {"a run of one paint: one pen", &strokes, 1, 0, 50, 0},
        {"two paints in turn: a pen at every change", &interleaved, 50, 0, 50, 0},
        {"a fill between two strokes stays between them", &sandwich, 2, 1, 2, 1},
        {"2,000 strokes in 100 paints", &many, 2000, 0, 2000, 0},
    };
    for (const Case& c : cases) {
        DrawnPage page(*c.paths);
        EXPECT_EQ(page.pictures, 1u) << c.what;
        EXPECT_EQ(qmtest::CountOccurrences(page.Behind(), "{\\shp{"), 1) << c.what;
        EXPECT_EQ(page.Front(), "") << c.what;
        const auto pictures = qmtest::EmfPictures(page.Behind());
        ASSERT_EQ(pictures.size(), 1u) << c.what;
        const auto& emf = pictures[0];
        ASSERT_FALSE(emf.empty()) << c.what << ": records do not add up";
        EXPECT_EQ(Count(emf, 38), c.pens) << c.what;
        EXPECT_EQ(Count(emf, 39), c.brushes) << c.what;
        EXPECT_EQ(Count(emf, 64), c.strokes) << c.what;
        EXPECT_EQ(Count(emf, 62), c.fills) << c.what;
        // Every pen and brush made is deleted before the next of its kind.
        EXPECT_GE(Count(emf, 40), c.pens + c.brushes - 2) << c.what;
    }
    // The sandwich in order: stroke, fill, stroke.
    DrawnPage page(sandwich);
    std::vector<uint32_t> painted;
    const auto pictures = qmtest::EmfPictures(page.Behind());
    ASSERT_EQ(pictures.size(), 1u);
    for (const auto& r : pictures[0])
        if (r.type == 62 || r.type == 64) painted.push_back(r.type);
    EXPECT_EQ(painted, (std::vector<uint32_t>{64, 62, 64}));
}

// The picture's box holds every point with room for the strokes, and its
// points are twips from that box's corner, 12 points in from its edges
// unless that would pass the page's edge.
TEST(PagePictures, PictureBoxAndPointsInTwips) {
    DrawnPage page({"0 0 0 RG\n100 100 m\n110 100 l\nS\n"});
    const std::string rtf = page.Behind();
    EXPECT_EQ(ShapeBox(rtf), (std::vector<int>{1760, 8320, 2440, 8800}));
    EXPECT_NE(rtf.find("\\shpfhdr0\\shpwr3\\shpwrk0\\shpfblwtxt1"), std::string::npos);
    EXPECT_NE(rtf.find("\\emfblip\\picw1199\\pich847\\picwgoal680\\pichgoal480"), std::string::npos);
    const auto pictures = qmtest::EmfPictures(rtf);
    ASSERT_EQ(pictures.size(), 1u);
    const auto& emf = pictures[0];
    ASSERT_FALSE(emf.empty());
    // Header: bounds in device pixels of one twip each.
    EXPECT_EQ(emf[0].words[2], 679u);
    EXPECT_EQ(emf[0].words[3], 479u);
    for (const auto& r : emf) {
        if (r.type == 27) {
            EXPECT_EQ(r.words, (std::vector<uint32_t>{240, 240}));
        } else if (r.type == 6) {
            EXPECT_EQ(r.words, (std::vector<uint32_t>{240, 240, 440, 240, 1, 440, 240}));
        }
    }
    // A rule along the page's top left corner, and a box past its right
    // and bottom edges: the frame stops at the paper's edges, just inside
    // them on the right and bottom (a default page is 8,160 by 10,560
    // twips).
    DrawnPage corner({"0 0 0 RG\n0 528 m\n10 528 l\nS\n"});  // 528 points: the top of a default page
    EXPECT_EQ(ShapeBox(corner.Behind()), (std::vector<int>{0, 0, 440, 240}));
    DrawnPage past({Fill("0 0 0", 400, -10, 300, 100)});
    EXPECT_EQ(ShapeBox(past.Behind()), (std::vector<int>{7760, 8520, 8155, 10555}));
}

// The paper a PDF printer paints under everything is left out; a white
// box that does not cover the page, or a page-sized one in front of the
// text, is drawn. Paths drawn over text go in a picture in front of it.
TEST(PagePictures, PaperLeftOutAndFrontKeptApart) {
    const std::string sheet = Fill("1 1 1", 0, 0, 612, 792);
    const std::string box = Fill("1 1 1", 10, 10, 100, 100);
    struct Case {
        const char* what;
        std::vector<std::string> paths;
        std::vector<bool> front;
        int behind, inFront;
    } cases[] = {
        {"white paper", {sheet}, {}, 0, 0},
        {"white paper a little past the edges", {Fill("1 1 1", -2, -2, 616, 796)}, {}, 0, 0},
        {"white over half the page", {Fill("1 1 1", 0, 0, 612, 400)}, {}, 1, 0},
        {"gray paper is drawn", {Fill("0.9 0.9 0.9", 0, 0, 612, 792)}, {}, 1, 0},
        {"an outlined white page", {"1 g\n0 G\n0 0 612 792 re\nf\nS\n"}, {}, 1, 0},
        {"white box", {box}, {}, 1, 0},
        {"white paper over text", {sheet}, {true}, 0, 1},
        {"one paint behind and in front", {Stroke("0 0 0", 5, 5), Stroke("0 0 0", 5, 7)}, {false, true}, 1, 1},
    };
    for (const Case& c : cases) {
        DrawnPage page(c.paths, c.front);
        EXPECT_EQ(qmtest::CountOccurrences(page.Behind(), "\\emfblip"), c.behind) << c.what;
        EXPECT_EQ(qmtest::CountOccurrences(page.Front(), "\\emfblip"), c.inFront) << c.what;
        EXPECT_EQ(page.pictures, static_cast<size_t>(c.behind + c.inFront)) << c.what;
        if (c.inFront > 0) {
            EXPECT_NE(page.Front().find("{\\sn fBehindDocument}{\\sv 0}"), std::string::npos) << c.what;
            EXPECT_NE(page.Front().find("\\shpfhdr0\\shpwr3\\shpwrk0\\shpfblwtxt0"), std::string::npos) << c.what;
        }
    }
}

// A rule drawn as a thin filled rectangle is a line of its colour and
// thickness (viewers keep a line a pixel wide at any zoom; a filled
// rectangle thinner than a pixel fades), one of no thickness a hairline.
TEST(PagePictures, ThinRulesAreLinesOfTheirThickness) {
    DrawnPage page({Fill("0 0 1", 100, 100, 200, 0.6), Fill("0 0 1", 100, 200, 200, 0)});
    const auto pictures = qmtest::EmfPictures(page.Behind());
    ASSERT_EQ(pictures.size(), 1u);
    std::vector<uint32_t> widths;
    int lines = 0;
    for (const auto& r : pictures[0]) {
        if (r.type == 38) {
            EXPECT_EQ(r.words[4], 0xFF0000u);  // blue, red in the low byte
            widths.push_back(r.words[2]);
        }
        lines += r.type == 54 ? 1 : 0;
    }
    EXPECT_EQ(lines, 2);
    // 0.6 points is 12 twips (give or take the rounding of page units); a
    // hairline is 10.
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NEAR(static_cast<double>(widths[0]), 12, 1);
    EXPECT_EQ(widths[1], 10u);
}
