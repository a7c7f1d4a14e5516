// Drawn paths end to end: pages made in PostScript, converted in FLOWING,
// and where each page's drawing lands in the RTF: a vector picture behind
// the text, one in front of it, a rendered picture in the page's header,
// or left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "control/convert_doc.h"
#include "images/test_job.h"
#include "layout/model.h"
#include "support/test_util.h"

using qmtest::CountOccurrences;
using qmtest::ReadFile;
using qmtest::TempDir;

namespace {

std::string ConvertFlowing(const std::string& postscript, TempDir& dir) {
    EXPECT_TRUE(qmtest::MakePdf("%!PS\n<< /PageSize [612 792] >> setpagedevice\n" + postscript, dir / "in.pdf"));
    CTestJob job;
    job.m_strOutDir = dir / "out";
    job.m_nKind = kRunFlowing;
    CConvertDoc::Convert(&job, dir / "in.pdf");
    return ReadFile(dir / "out/in.rtf");
}

// The document's pages, split at the page breaks.
std::vector<std::string> Pages(const std::string& rtf) {
    std::vector<std::string> pages;
    size_t start = 0;
    for (size_t at = rtf.find("\\sbkpage"); at != std::string::npos; at = rtf.find("\\sbkpage", start)) {
        pages.push_back(rtf.substr(start, at - start));
        start = at + 8;
    }
    pages.push_back(rtf.substr(start));
    return pages;
}

// The header group of a page, empty when it has none.
std::string Header(const std::string& page) {
    const size_t at = page.find("{\\header");
    if (at == std::string::npos) return {};
    return page.substr(at, page.find("\\par}", at) + 5 - at);
}

}  // namespace

// A PDF printer's pages: each starts with white paper, then text; a
// coloured box under words, and one painted over words.
TEST(DrawnPathsEndToEnd, PaperLeftOutBoxesBehindTheirTextCoversInFront) {
    TempDir dir;
    const std::string rtf = ConvertFlowing(
        "/Helvetica findfont 14 scalefont setfont\n"
        "1 1 3 { /n exch def\n"
        "  1 setgray 0 0 612 792 rectfill\n"
        "  0 setgray 72 700 moveto (Words on the page) show\n"
        "  n 2 eq { 0.8 0.9 1 setrgbcolor 66 560 300 40 rectfill 0 setgray 72 575 moveto (Boxed words) show } if\n"
        "  n 3 eq { 0 setgray 72 500 moveto (Covered words) show 1 0 0 setrgbcolor 66 490 300 30 rectfill } if\n"
        "  showpage } for\n",
        dir);
    const std::vector<std::string> pages = Pages(rtf);
    ASSERT_EQ(pages.size(), 3u) << rtf;
    // The paper is no shape; nothing needs a header yet.
    EXPECT_EQ(CountOccurrences(pages[0], "{\\shp"), 0) << pages[0];
    EXPECT_EQ(Header(pages[0]), "");
    // The box drawn before its words is a picture behind the text, filled
    // in its colour; the page needs no header.
    EXPECT_EQ(CountOccurrences(pages[1], "{\\shp"), 1) << pages[1];
    EXPECT_EQ(Header(pages[1]), "");
    const auto behind = qmtest::EmfPictures(pages[1]);
    ASSERT_EQ(behind.size(), 1u);
    ASSERT_FALSE(behind[0].empty());
    EXPECT_TRUE(std::any_of(behind[0].begin(), behind[0].end(), [](const qmtest::EmfRecord& r) {
        return r.type == 39 && r.words.size() == 4 && r.words[2] == 16770764u;
    }));
    EXPECT_NE(pages[1].find("{\\sn fBehindDocument}{\\sv 1}"), std::string::npos);
    EXPECT_NE(pages[1].find("Boxed words"), std::string::npos);
    // The box painted over words is a picture in front of them.
    EXPECT_EQ(CountOccurrences(pages[2], "{\\shp"), 1) << pages[2];
    EXPECT_EQ(Header(pages[2]), "");
    EXPECT_EQ(qmtest::EmfPictures(pages[2]).size(), 1u);
    EXPECT_NE(pages[2].find("{\\sn fBehindDocument}{\\sv 0}"), std::string::npos);
}

namespace {
// The width in pixels of the PNG picture whose bytes start at `at` of a page
// (the IHDR chunk follows the eight-byte signature).
long PngWidth(const std::string& page, size_t at) { return std::stol(page.substr(at + 32, 8), nullptr, 16); }
// Paths drawn by the vector pictures of an RTF text: lines and paths
// stroked or filled.
int PathsDrawn(const std::string& rtf) {
    int n = 0;
    for (const auto& picture : qmtest::EmfPictures(rtf))
        for (const auto& r : picture) n += (r.type == 54 || (r.type >= 62 && r.type <= 64)) ? 1 : 0;
    return n;
}
}  // namespace

// Pages drawing more points than a page may carry as vector pictures show
// their drawing as one rendered picture behind their text; the others keep
// their paths, in a vector picture on each side of the text.
// Each page has words, then rules behind them (two points each), then boxes
// painted over the words (four points each, in front).
TEST(DrawnPathsEndToEnd, DenseDrawingsBecomeOnePictureBehindTheText) {
    struct Case {
        int rules;
        int greys;        // the rules' paints
        int covers;       // boxes painted over the words
        bool photo;       // a picture among the rules
        int pictures;     // rendered, in the header
        int behindPaths;  // paths of the vector picture behind the text
        int frontPaths;   // paths of the vector picture in front of it
    };
    const Case cases[] = {
        {40000, 2, 0, false, 1, 0, 0},       // 80,000 points: the drawing is rendered
        {9000, 3, 0, false, 0, 9000, 0},     // 18,000 points: vector
        {12000, 1, 4800, false, 1, 0, 4800}, // 24,000 points behind go, 19,200 in front stay
        {2000, 1, 5200, false, 1, 0, 0},     // 20,800 points in front: all of it goes
        {20000, 1, 0, true, 0, 20000, 0},    // the drawing would hide the photo
    };
    std::string ps = "/Helvetica findfont 14 scalefont setfont 0.3 setlinewidth\n";
    for (const Case& c : cases) {
        ps += "0 setgray 100 400 moveto (Words over the drawing) show\n";
        ps += "0 1 " + std::to_string(c.rules - 1) + " { /i exch def i " + std::to_string(c.greys) +
              " mod 0.2 mul setgray\n"
              "  i 40 mod 14 mul 20 add i 40 idiv 0.7 mul 40 add moveto 10 0 rlineto stroke } for\n";
        if (c.covers > 0)
            ps += "0 0 1 setrgbcolor 0 1 " + std::to_string(c.covers - 1) + " { pop 96 390 200 30 rectfill } for\n";
        if (c.photo) ps += "gsave 300 100 translate 50 50 scale 2 2 8 [2 0 0 2 0 0] {<00FF8040>} image grestore\n";
        ps += "showpage\n";
    }
    TempDir dir;
    const std::string rtf = ConvertFlowing(ps, dir);
    const std::vector<std::string> pages = Pages(rtf);
    ASSERT_EQ(pages.size(), std::size(cases));
    for (size_t i = 0; i < pages.size(); ++i) {
        const Case& c = cases[i];
        const std::string& page = pages[i];
        const std::string header = Header(page);
        const std::string body =
            page.substr(0, page.find("{\\header")) + page.substr(page.find("{\\header") + header.size());
        SCOPED_TRACE("page " + std::to_string(i + 1));
        EXPECT_EQ(CountOccurrences(header, "\\pngblip"), c.pictures);
        EXPECT_EQ(CountOccurrences(body, "\\pngblip"), 0);
        EXPECT_EQ(PathsDrawn(header), 0);
        EXPECT_EQ(PathsDrawn(body), c.behindPaths + c.frontPaths);
        EXPECT_LE(CountOccurrences(page, "{\\shp"), 2);
        // The words stay text, whatever became of the drawing.
        EXPECT_NE(body.find("Words over the drawing"), std::string::npos);
    }
    // The first page's picture is a PNG file covering the rules, from 20 to
    // 576 points across, at 150 dots per inch (with the strokes' ends and a
    // margin).
    const size_t png = pages[0].find("89504E470D0A1A0A", pages[0].find("\\pngblip"));
    ASSERT_NE(png, std::string::npos);
    EXPECT_NEAR(PngWidth(pages[0], png), (576.15 - 19.85 + 4) * 150 / 72, 3);
    EXPECT_NE(pages[0].find("\\shpfhdr1"), std::string::npos);
}
