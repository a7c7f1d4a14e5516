// Drawn paths end to end: pages made in PostScript, converted in FLOWING,
// and where each page's shapes land in the RTF: behind the text in the
// page's header, in front of it in the body, or left out.
#include <gtest/gtest.h>

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
    // The box drawn before its words is in the header, behind the text.
    EXPECT_EQ(CountOccurrences(pages[1], "{\\shp"), 1) << pages[1];
    EXPECT_NE(Header(pages[1]).find("{\\sv 16770764}"), std::string::npos) << pages[1];
    EXPECT_NE(Header(pages[1]).find("\\shpfhdr1\\shpwr3\\shpwrk0\\shpfblwtxt1"), std::string::npos);
    EXPECT_NE(pages[1].find("Boxed words"), std::string::npos);
    // The box painted over words is in the body, in front; the page's
    // header is empty, so that it does not show the previous page's box.
    EXPECT_EQ(CountOccurrences(pages[2], "{\\shp"), 1) << pages[2];
    EXPECT_EQ(Header(pages[2]), "{\\header\\pard\\plain\\sl-20\\slmult0\\fs2 \\par}");
    EXPECT_GT(pages[2].find("{\\sv 255}"), pages[2].find("{\\header"));
    EXPECT_NE(pages[2].find("{\\sn fBehindDocument}{\\sv 0}"), std::string::npos);
}

// Ten pages of 2,000 short rules in two colours: every rule is drawn, in a
// handful of shapes per page.
TEST(DrawnPathsEndToEnd, ThousandsOfPathsInFewShapes) {
    TempDir dir;
    const std::string rtf = ConvertFlowing(
        "0.3 setlinewidth\n"
        "1 1 10 { pop\n"
        "  0 1 1999 { /i exch def i 2 mod 0 0 setrgbcolor\n"
        "    i 40 mod 14 mul 20 add i 40 idiv 14 mul 40 add moveto 10 0 rlineto stroke } for\n"
        "  showpage } for\n",
        dir);
    const std::vector<std::string> pages = Pages(rtf);
    ASSERT_EQ(pages.size(), 10u);
    for (const std::string& page : pages) {
        EXPECT_LE(CountOccurrences(page, "{\\shp"), static_cast<int>(kMaxPathsPerPage));
        EXPECT_EQ(CountOccurrences(page, "16384;"), 2000);
    }
}
