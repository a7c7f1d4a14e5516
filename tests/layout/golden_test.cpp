// Page XML in, RTF out: every tests/data/layout/<case>.xml is converted in
// each layout that has a stored document beside it (<case>.flowing.rtf,
// .exact.rtf, .no-images.rtf, .plain-text.rtf) and must give those bytes.
// A case is named after the fault it guards; tests/data/layout/README says
// what each one holds.
//
// To regenerate the stored documents after a deliberate change of output,
// run the tests with QUILLMARK_UPDATE_GOLDENS=1 and review the diff. To
// make a case guard another layout, create its document as an empty file
// and regenerate. New case files are found when the tests are rebuilt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "control/rtf_document.h"
#include "support/golden.h"
#include "support/test_util.h"

namespace {

namespace fs = std::filesystem;

struct Golden {
    std::string name;  // <case>.<layout>
    std::string xml;
    std::string rtf;
    int layout;
};

void PrintTo(const Golden& g, std::ostream* os) { *os << g.name; }

const struct { const char* suffix; int layout; } kLayouts[] = {
    {"flowing", kLayoutFlowing}, {"exact", kLayoutExact}, {"no-images", kLayoutNoImages}, {"plain-text", kLayoutPlainText}};

std::vector<Golden> Goldens() {
    std::vector<Golden> out;
    const fs::path dir = fs::path(QUILLMARK_SOURCE_DIR) / "tests/data/layout";
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (e.path().extension() != ".xml") continue;
        for (const auto& l : kLayouts) {
            const fs::path rtf = dir / (e.path().stem().string() + "." + l.suffix + ".rtf");
            if (fs::exists(rtf)) out.push_back({e.path().stem().string() + "." + l.suffix, e.path(), rtf, l.layout});
        }
    }
    std::sort(out.begin(), out.end(), [](const Golden& a, const Golden& b) { return a.name < b.name; });
    return out;
}

// Where two documents first differ: the line, and both texts around that
// byte (a page's body is one long line).
std::string FirstMismatch(const std::string& expected, const std::string& actual) {
    const auto diff = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const size_t at = static_cast<size_t>(diff.first - expected.begin());
    const size_t from = at < 40 ? 0 : at - 40;
    const auto line = 1 + std::count(expected.begin(), diff.first, '\n');
    return "line " + std::to_string(line) + " differs at byte " + std::to_string(at) + ":\n  expected: ..." +
           expected.substr(from, 120) + "\n  actual:   ..." + actual.substr(from, 120);
}

class LayoutGolden : public ::testing::TestWithParam<Golden> {};

TEST_P(LayoutGolden, MatchesTheStoredDocument) {
    const Golden& g = GetParam();
    const std::string actual = qmtest::RtfFromPageXml(g.xml, g.layout);
    const char* update = std::getenv("QUILLMARK_UPDATE_GOLDENS");
    if (update != nullptr && std::string(update) == "1") {
        qmtest::WriteFile(g.rtf, actual);
        GTEST_SKIP() << "wrote " << g.rtf;
    }
    const std::string expected = qmtest::ReadFile(g.rtf);
    if (expected != actual) ADD_FAILURE() << g.name << ": " << FirstMismatch(expected, actual);
}

INSTANTIATE_TEST_SUITE_P(Cases, LayoutGolden, ::testing::ValuesIn(Goldens()),
                         [](const ::testing::TestParamInfo<Golden>& info) {
                             std::string n = info.param.name;
                             std::replace_if(n.begin(), n.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return n;
                         });

// Without preserved spacing a document differs from the stored one in the
// character scaling (always 100), the gaps between the pieces of a line
// (one plain space each, not a widened one) and lines spread to their width
// (set as they come), and in nothing else.
TEST(PlainSpacing, DropsScalingAndGapWidthsOnly) {
    const fs::path dir = fs::path(QUILLMARK_SOURCE_DIR) / "tests/data/layout";
    const struct {
        const char* name;
        int layout;
        std::vector<std::pair<std::string, std::string>> changes;
    } cases[] = {
        {"word_styles_and_scaling", kLayoutNoImages, {{R"(\\charscalex80 )", "\\charscalex100 "}}},
        {"spacing_and_raised_pieces_of_a_line",
         kLayoutFlowing,
         {{R"(\\qd\\ri\d+ )", ""}, {R"(\{\\expndtw\d+  \})", "{ }"}}},
        {"space_inside_word_of_zero_height_text", kLayoutFlowing, {{R"(\\qd\\ri\d+ )", ""}}},
    };
    for (const auto& c : cases) {
        const std::string suffix = c.layout == kLayoutFlowing ? ".flowing.rtf" : ".no-images.rtf";
        std::string expected = qmtest::ReadFile(dir / (std::string(c.name) + suffix));
        ASSERT_FALSE(expected.empty()) << c.name;
        for (const auto& [from, to] : c.changes) {
            const std::regex pattern(from);
            EXPECT_TRUE(std::regex_search(expected, pattern)) << c.name << " no longer holds " << from;
            expected = std::regex_replace(expected, pattern, to);
        }
        CLayoutContext plain;
        plain.m_bPreserveSpacing = false;
        const std::string actual = qmtest::RtfFromPageXml(dir / (std::string(c.name) + ".xml"), c.layout, &plain);
        if (expected != actual) ADD_FAILURE() << c.name << ": " << FirstMismatch(expected, actual);
    }
}

}  // namespace
