// Flowing documents keep to the PDF's pages: opened in LibreOffice, a page's
// lines do not wrap and its content does not spill onto the next page, also
// where the PDF's fonts are not installed and the substitutes run wider.
#include <gtest/gtest.h>

#include <PDFDoc.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_fixture.h"
#include "support/pdf_fixture.h"

namespace {

using qmtest::CliTest;
using qmtest::PdfBuilder;

std::string Line(const std::string& font, double size, double x, double y, const std::string& text) {
    std::ostringstream s;
    s << "BT /" << font << " " << size << " Tf " << x << " " << y << " Td (" << text << ") Tj ET\n";
    return s.str();
}

// Words of running text, `chars` characters long.
std::string Words(size_t chars, size_t seed) {
    static const char* const kWords[] = {"the",   "quick", "brown",  "fox",  "jumps", "over",  "a",     "lazy",
                                         "dog",   "while", "boxing", "wizards", "judge", "my", "vow", "sphinx"};
    std::string s;
    for (size_t k = seed; s.size() < chars; ++k) s += std::string(s.empty() ? "" : " ") + kWords[k % 16];
    return s.substr(0, chars);
}

// The faces below are not installed and stand in for Times New Roman, whose
// letters run about 8% wider than theirs: too little for the sizes to be
// lowered when the page is read, enough to wrap a line that nearly fills
// its page.

// A slide: a 364 x 273 point page, a title and bullets, the bullets running
// nearly to the right edge.
std::string Slide() {
    PdfBuilder pdf;
    pdf.SetPageSize(364, 273);
    pdf.AddFontOfWidth("QuillDeckSans-Bold", 560, 32);
    pdf.AddFontOfWidth("QuillDeckSans", 390, 32);
    std::string content = Line("F1", 22, 24, 228, "Quarterly results and plans");
    for (int i = 0; i < 7; ++i) {
        const double y = 196 - 24 * i;
        content += Line("F2", 11, 30, y, "\\225") + Line("F2", 11, 44, y, Words(71, 3 * i));
    }
    pdf.AddPage(content);
    return pdf.Build();
}

// A US Letter page of 60 lines of 9-point text, each line nearly as wide as
// the page allows.
std::string SixtyLines() {
    PdfBuilder pdf;
    pdf.AddFontOfWidth("QuillBookface", 390, 34);
    std::string content;
    for (int i = 0; i < 60; ++i) content += Line("F1", 9, 54, 750 - 11.5 * i, Words(150, i));
    pdf.AddPage(content);
    return pdf.Build();
}

// A code listing in a monospace face that is not installed: indented lines,
// some of them long.
std::string CodeListing() {
    PdfBuilder pdf;
    pdf.AddFontOfWidth("QuillCodeMono", 600, 33);
    const struct { int indent; const char* text; } lines[] = {
        {0, "int main\\(int argc, char** argv\\) {"},
        {4, "std::vector<std::string> args\\(argv, argv + argc\\);"},
        {4, "for \\(const auto& a : args\\) {"},
        {8, "if \\(a == \"--help\"\\) return usage\\(\"tool [--help] [--verbose] file...\"\\);"},
        {8, "process\\(a, /*verbose=*/false, /*depth=*/3\\);  // one file at a time, in order"},
        {4, "}"},
        {4, "return 0;"},
        {0, "}"},
    };
    std::string content;
    for (int i = 0; i < 56; ++i) {
        const auto& l = lines[i % 8];
        content += Line("F1", 9, 54 + 5.4 * l.indent, 740 - 12 * i, l.text);
    }
    pdf.AddPage(content);
    return pdf.Build();
}

std::string FindSoffice() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && qmtest::FileExists(dir + "/soffice")) return dir + "/soffice";
    return {};
}

int PageCount(const std::string& pdf) {
    qmtest::CoreParams params;
    PDFDoc doc(std::make_unique<GooString>(pdf));
    return doc.isOk() ? doc.getNumPages() : -1;
}

TEST_F(CliTest, PagesOfSlidesListingsAndSubstitutedFontsDoNotSpillOver) {
    const struct { const char* name; std::string pdf; } cases[] = {
        {"slide", Slide()},
        {"sixty-lines", SixtyLines()},
        {"code-listing", CodeListing()},
    };
    std::vector<std::string> rtfs;
    for (const auto& c : cases) {
        const std::string pdf = m_dir / (std::string(c.name) + ".pdf");
        qmtest::WriteFile(pdf, c.pdf);
        const auto r = qmtest::RunCli({"-q", "-l", "flowing", "-o", m_out, pdf});
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        rtfs.push_back(m_out + "/" + c.name + ".rtf");
        // Condensing never goes below its floor.
        const std::string rtf = qmtest::ReadFile(rtfs.back());
        for (size_t at = rtf.find("\\charscalex"); at != std::string::npos; at = rtf.find("\\charscalex", at + 1))
            EXPECT_GE(std::atoi(rtf.c_str() + at + 11), 80) << c.name;
    }

    const std::string soffice = FindSoffice();
    if (soffice.empty()) GTEST_SKIP() << "LibreOffice is not installed";
    const std::string rendered = m_dir / "rendered";
    std::vector<std::string> argv = {soffice, "-env:UserInstallation=file://" + (m_dir / "lo-profile"), "--headless",
                                     "--convert-to", "pdf", "--outdir", rendered};
    argv.insert(argv.end(), rtfs.begin(), rtfs.end());
    const auto r = qmtest::Run(argv);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto& c : cases) EXPECT_EQ(PageCount(rendered + "/" + c.name + ".pdf"), 1) << c.name;
}

// Shapes of a flowing page painted over its text go into its first
// paragraph: written ahead of it they made a paragraph of their own in
// LibreOffice, a line of the default font that pushed the page's text down
// and its last lines onto the next page. (Shapes behind the text go into
// the page's header.)
TEST_F(CliTest, ShapesOfAFlowingPageSitInItsFirstParagraph) {
    const std::string pdf = PdfAt(m_dir / "boxed.pdf", 2,
                                  "%!PS\n/Helvetica findfont 12 scalefont setfont\n"
                                  "72 650 moveto (First page) show 0.8 setgray 60 640 200 20 rectfill showpage\n"
                                  "72 650 moveto (Second page) show 0.8 setgray 60 640 200 20 rectfill showpage\n");
    const auto r = qmtest::RunCli({"-q", "-l", "flowing", "-o", m_out, pdf});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string rtf = qmtest::ReadFile(m_out + "/boxed.rtf");
    const size_t secondPage = rtf.find("\\sbkpage");
    ASSERT_NE(secondPage, std::string::npos);
    for (const size_t from : {size_t{0}, secondPage}) {
        const size_t shape = rtf.find("{\\shp", from);
        ASSERT_NE(shape, std::string::npos) << from;
        const size_t paragraph = rtf.rfind("\\pard\\li", shape);
        ASSERT_NE(paragraph, std::string::npos) << from;
        EXPECT_GT(paragraph, from);
        // Between the paragraph's start and the shape: only its format.
        const std::string head = rtf.substr(paragraph, shape - paragraph);
        EXPECT_EQ(head.find("\\par\\"), std::string::npos) << head;
        EXPECT_EQ(head.substr(head.size() - 11), "\\slmult0 \r\n") << head;
    }
}

// Links to pages left out of the chosen range keep their text without a
// field: a field there would lead nowhere. Links to pages the document
// holds lead to the bookmark at the top of their page.
TEST_F(CliTest, LinksToPagesOutsideTheRangeArePlainText) {
    PdfBuilder pdf;
    pdf.AddFontOfWidth("QuillBookface", 500, 34);
    auto link = [&pdf](int y, size_t page) {
        return "<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [70 " + std::to_string(y - 2) + " 140 " +
               std::to_string(y + 10) + "] /Dest [" + std::to_string(pdf.PageObject(page)) + " 0 R /Fit] >> ";
    };
    const std::string annots = link(700, 1) + link(650, 2);
    pdf.AddPage(Line("F1", 12, 72, 700, "Towards two") + Line("F1", 12, 72, 650, "Towards three"),
                "/Annots [" + annots + "]");
    pdf.AddPage(Line("F1", 12, 72, 700, "Page two"));
    pdf.AddPage(Line("F1", 12, 72, 700, "Page three"));
    const std::string file = m_dir / "linked.pdf";
    qmtest::WriteFile(file, pdf.Build());

    const struct {
        const char* range;
        bool third;  // whether the link to page 3 stays a field
    } cases[] = {{"1-3", true}, {"1-2", false}, {"1,3", true}};
    for (const auto& c : cases) {
        const std::string out = m_out + "/" + c.range;
        const auto r = qmtest::RunCli({"-q", "-l", "flowing", "-p", c.range, "-o", out, file});
        ASSERT_EQ(r.status, 0) << c.range << ": " << r.err;
        const std::string rtf = qmtest::ReadFile(out + "/linked.rtf");
        EXPECT_EQ(rtf.find("HYPERLINK \\\\l \"page3\"") != std::string::npos, c.third) << c.range;
        EXPECT_EQ(rtf.find("{\\*\\bkmkstart page3}") != std::string::npos, c.third) << c.range;
        EXPECT_NE(rtf.find("three"), std::string::npos) << c.range;
        const bool second = std::string(c.range) != "1,3";
        EXPECT_EQ(rtf.find("HYPERLINK \\\\l \"page2\"") != std::string::npos, second) << c.range;
    }
}

}  // namespace
