// The paper of a converted document: the PDF's own page size in twips, on
// the first page (\paperw, \paperh) and on every later one (\pgwsxn, \pghsxn).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_fixture.h"

namespace {

using qmtest::CliTest;

// PostScript of one page per size (points), each with a line of text.
std::string PagesOfSizes(const std::vector<std::pair<double, double>>& sizes) {
    std::ostringstream ps;
    ps << "%!PS\n/Helvetica findfont 12 scalefont setfont\n";
    for (const auto& [w, h] : sizes)
        ps << "<< /PageSize [" << w << " " << h << "] >> setpagedevice 40 40 moveto (Some text) show showpage\n";
    return ps.str();
}

// The number after each occurrence of `word` in `rtf`.
std::vector<long> ValuesOf(const std::string& rtf, const std::string& word) {
    std::vector<long> out;
    for (size_t at = rtf.find(word); at != std::string::npos; at = rtf.find(word, at + 1))
        out.push_back(std::strtol(rtf.c_str() + at + word.size(), nullptr, 10));
    return out;
}

TEST_F(CliTest, PaperIsThePdfsPageSizeWithinATwip) {
    const struct { const char* name; double w, h; long twipsW, twipsH; } cases[] = {
        {"a4", 595.28, 841.89, 11906, 16838},
        {"letter", 612, 792, 12240, 15840},
        {"slide", 364, 273, 7280, 5460},
        {"landscape-a4", 841.89, 595.28, 16838, 11906},
    };
    for (const auto& c : cases) {
        const std::string pdf = PdfAt(m_dir / (std::string(c.name) + ".pdf"), 1, PagesOfSizes({{c.w, c.h}}));
        for (const char* layout : {"flowing", "exact"}) {
            const auto r = qmtest::RunCli({"-q", "-l", layout, "-o", m_out, pdf});
            ASSERT_EQ(r.status, 0) << r.err;
            const std::string rtf = qmtest::ReadFile(m_out + "/" + c.name + ".rtf");
            const std::vector<long> w = ValuesOf(rtf, "\\paperw");
            const std::vector<long> h = ValuesOf(rtf, "\\paperh");
            ASSERT_EQ(w.size(), 1u) << c.name;
            ASSERT_EQ(h.size(), 1u) << c.name;
            EXPECT_LE(std::labs(w[0] - c.twipsW), 1) << c.name << " " << layout;
            EXPECT_LE(std::labs(h[0] - c.twipsH), 1) << c.name << " " << layout;
        }
    }
}

// Later pages set their own paper; every section of a flowing page repeats
// it, and a page of another size keeps its own.
TEST_F(CliTest, EveryLaterPageCarriesItsOwnPaper) {
    const std::string pdf =
        PdfAt(m_dir / "mixed.pdf", 3, PagesOfSizes({{595.28, 841.89}, {612, 792}, {364, 273}}));
    const auto r = qmtest::RunCli({"-q", "-l", "flowing", "-o", m_out, pdf});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string rtf = qmtest::ReadFile(m_out + "/mixed.rtf");
    EXPECT_EQ(ValuesOf(rtf, "\\pgwsxn"), (std::vector<long>{12240, 7280}));
    EXPECT_EQ(ValuesOf(rtf, "\\pghsxn"), (std::vector<long>{15840, 5460}));
}

}  // namespace
