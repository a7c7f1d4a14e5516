// Page PostScript is written without setting up the page's fonts. These
// tests hold what makes that safe: the recorded paths, and the code of each
// picture where the device recorded it, are the same either way; and pages
// with Type 3 fonts (whose glyphs the device draws while setting them up)
// are recognised wherever their fonts hide.
#include <gtest/gtest.h>

#include <PDFDoc.h>

#include <memory>
#include <string>
#include <vector>

#include "images/page_ps_device.h"
#include "layout/model.h"
#include "support/pdf_fixture.h"
#include "support/test_util.h"

using namespace qmtest;

namespace {

struct Record {
    int32_t kind, number, zOrder, width;
    std::string path;
    bool operator==(const Record& o) const {
        return kind == o.kind && number == o.number && zOrder == o.zOrder && width == o.width && path == o.path;
    }
};

std::vector<Record> Records(PDFDoc* doc, int page, const std::string& psPath, bool setUpFonts) {
    std::vector<std::unique_ptr<CRtfShpObject>> objects;
    EXPECT_GE(WritePagePostScript(doc, page, psPath, &objects, true, false, setUpFonts), 0);
    std::vector<Record> out;
    for (const auto& o : objects) {
        Record r{o->m_nKind, o->m_nNumber, o->m_nZOrder, 0, {}};
        if (auto* line = dynamic_cast<CRtfLine*>(o.get())) {
            r.width = line->m_nLineWidth;
            r.path = line->m_strPath;
        }
        out.push_back(r);
    }
    return out;
}

}  // namespace

TEST(PageFontSetUp, Type3FontsAreFoundWhereverTheDeviceSetsThemUp) {
    CoreParams params;
    TempDir dir;
    // Objects 1-6 are fixed: catalogue, page tree, page, its (empty)
    // contents, a Type 3 font and a Type 1 font; each case adds from 7 on.
    const std::string type3 = "/Font << /T 5 0 R >>";
    const std::string type1 = "/Font << /H 6 0 R >>";
    const struct {
        const char* name;
        std::string resources;  // of the page
        std::string pageExtra;
        std::vector<std::string> extra;
        bool expected;
    } cases[] = {
        {"no fonts", "", "", {}, false},
        {"type 1 only", type1, "", {}, false},
        {"page resources", type1 + " " + type3, "", {}, true},
        {"inside a form", "/XObject << /X1 7 0 R >>", "",
         {StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Resources << " + type3 + " >>", "")}, true},
        {"form inside a form", "/XObject << /X1 7 0 R >>", "",
         {StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Resources << /XObject << /X2 8 0 R >> >>", ""),
          StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Resources << " + type3 + " >>", "")},
         true},
        {"form that uses itself", "/XObject << /X1 7 0 R >>", "",
         {StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Resources << " + type1 +
                     " /XObject << /X1 7 0 R >> >>",
                 "")},
         false},
        {"tiling pattern", "/Pattern << /P1 7 0 R >>", "",
         {StreamObject("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10 /Resources << " +
                     type3 + " >>",
                 "")},
         true},
        {"annotation appearance", type1, "/Annots [7 0 R]",
         {"<< /Type /Annot /Subtype /Square /Rect [0 0 50 50] /AP << /N 8 0 R >> >>",
          StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 50 50] /Resources << " + type3 + " >>", "")},
         true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> bodies = {
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << " + c.resources +
                " >> /Contents 4 0 R " + c.pageExtra + " >>",
            StreamObject("", ""),
            "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [0.001 0 0 0.001 0 0] "
            "/CharProcs << >> /Encoding << /Differences [] >> /FirstChar 0 /LastChar 0 /Widths [0] >>",
            "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        };
        bodies.insert(bodies.end(), c.extra.begin(), c.extra.end());
        const std::string path = dir / "case.pdf";
        WriteFile(path, RawPdf(bodies));
        PDFDoc doc(std::make_unique<GooString>(path));
        ASSERT_TRUE(doc.isOk()) << c.name;
        EXPECT_EQ(PageHasType3Fonts(&doc, 1), c.expected) << c.name;
    }
}

// Paths are recorded alike with and without the font set-up, except on a
// page with a Type 3 font: the device draws a glyph's procedure while it
// sets the font up, and the glyph's fill is recorded like any path of the
// page, so a page written without the set-up would lose it.
TEST(PageFontSetUp, PathsAreRecordedAlikeUnlessType3GlyphsAreDrawnAtSetUp) {
    CoreParams params;
    TempDir dir;
    for (bool type3 : {false, true}) {
        PdfBuilder pdf;
        if (type3) {
            pdf.AddType3Font(600);
            pdf.AddPage("BT /F1 12 Tf 72 700 Td (m) Tj ET\n72 650 m 300 650 l S\n");
        } else {
            pdf.AddFont("Helvetica");
            // Text, a stroke, a fill, a clipped fill and an even-odd fill.
            pdf.AddPage(
                "BT /F1 12 Tf 72 700 Td (Hello) Tj ET\n1 0 0 RG 2 w [3 1] 0 d 72 650 m 300 650 l S\n"
                "0 0 1 rg 100 500 50 40 re f\nq 80 400 100 100 re W n 0.5 g 90 410 200 20 re f Q\n"
                "BT /F1 20 Tf 72 300 Td (World) Tj ET\n"
                "0 1 0 rg 50 50 m 150 50 l 100 150 l h 70 70 m 130 70 l 100 120 l h f*\n");
        }
        PDFDoc doc(std::make_unique<GooString>(pdf.Write(dir, type3 ? "type3" : "paths")));
        ASSERT_TRUE(doc.isOk());
        ASSERT_EQ(PageHasType3Fonts(&doc, 1), type3);
        const std::vector<Record> full = Records(&doc, 1, dir / "full.ps", true);
        const std::vector<Record> fast = Records(&doc, 1, dir / "fast.ps", false);
        if (type3) {
            EXPECT_GT(full.size(), fast.size());
        } else {
            EXPECT_TRUE(PageHasGraphics(&doc, 1, true));
            ASSERT_EQ(full.size(), 4u);
            EXPECT_TRUE(full == fast);
        }
    }
}

TEST(PageFontSetUp, PicturesAreRecordedAroundTheSameCode) {
    // Text in an embedded font around two pictures, one a stencil.
    CoreParams params;
    TempDir dir;
    ASSERT_TRUE(MakePdf("%!PS\n/Helvetica findfont 14 scalefont setfont 72 700 moveto (Before the pictures) show\n"
                        "gsave 100 500 translate 60 40 scale 3 2 8 [3 0 0 -2 0 2] "
                        "{<ff0000 00c000 0000ff 000000 ff00ff 00c0c0>} false 3 colorimage grestore\n"
                        "72 450 moveto (Between) show 0 0 1 setrgbcolor\n"
                        "gsave 300 300 translate 50 50 scale 8 2 true [8 0 0 -2 0 2] {<a55a>} imagemask grestore\n"
                        "72 200 moveto (After) show showpage\n",
                        dir / "pictures.pdf"));
    PDFDoc doc(std::make_unique<GooString>(dir / "pictures.pdf"));
    ASSERT_TRUE(doc.isOk());
    ASSERT_FALSE(PageHasType3Fonts(&doc, 1));
    std::string code[2];
    size_t count[2] = {0, 0};
    for (int fonts = 0; fonts < 2; ++fonts) {
        const std::string ps = dir / (fonts ? "full.ps" : "fast.ps");
        std::vector<std::unique_ptr<CRtfShpObject>> objects;
        ASSERT_EQ(WritePagePostScript(&doc, 1, ps, &objects, true, true, fonts != 0), 2);
        const std::string bytes = ReadFile(ps);
        for (const auto& o : objects) {
            ++count[fonts];
            auto* picture = dynamic_cast<CRtfImage*>(o.get());
            if (picture == nullptr) continue;
            ASSERT_GE(picture->m_nPsStart, 0);
            ASSERT_LE(picture->m_nPsEnd, static_cast<int64_t>(bytes.size()));
            code[fonts] += std::to_string(picture->m_nNumber) + " " + picture->m_strImageMatrix + " " +
                           picture->m_strCmLine + " " + picture->m_strTemplate + "\n" +
                           bytes.substr(static_cast<size_t>(picture->m_nPsStart),
                                        static_cast<size_t>(picture->m_nPsEnd - picture->m_nPsStart));
        }
    }
    EXPECT_EQ(count[0], count[1]);
    EXPECT_NE(code[1].find("%-EOD-"), std::string::npos);
    EXPECT_EQ(code[0], code[1]);
    // The set-up left out is what made the difference in size.
    EXPECT_LT(ReadFile(dir / "fast.ps").size(), ReadFile(dir / "full.ps").size());
}
