// Hebrew, Arabic and Persian documents drawn glyph by glyph with cairo, as
// shaping programs draw them: either each line from its first letter
// leftwards, or from its leftmost glyph in page order. Whichever way, the
// document holds each line's words in reading order, its digits left to
// right, and marks the line as right to left.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/cli_fixture.h"

#ifdef QUILLMARK_HAVE_CAIRO
#include <cairo-pdf.h>
#include <cairo.h>
#endif

namespace {

using qmtest::CliTest;
using qmtest::RunCli;

std::string Utf8(const std::u32string& s) {
    std::string out;
    for (char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The word as the RTF holds it: \u escapes above Latin-1.
std::string Escaped(const std::u32string& word) {
    std::string out;
    for (char32_t c : word)
        out += c < 0x100 ? std::string(1, static_cast<char>(c)) : "\\uc1\\u" + std::to_string(c) + "X";
    return out;
}

// The text of a document's runs, one after the other: what each " {...}"
// group of plain text and \u escapes holds.
// A widened space ("{\expndtwN  }") counts as a space.
std::string RunText(const std::string& rtf) {
    static const std::regex kRun(R"(\{((?:\\uc1\\u[0-9]+X|[^{}\\])*)\})");
    static const std::regex kWidened(R"(\{\\expndtw-?[0-9]+ +\})");
    const std::string plain = std::regex_replace(rtf, kWidened, " ");
    std::string text;
    for (auto it = std::sregex_iterator(plain.begin(), plain.end(), kRun); it != std::sregex_iterator(); ++it)
        text += (*it)[1].str();
    return text;
}

std::vector<std::u32string> Words(const std::u32string& line) {
    std::vector<std::u32string> words(1);
    for (char32_t c : line) {
        if (c == U' ') words.emplace_back();
        else words.back() += c;
    }
    return words;
}

#ifdef QUILLMARK_HAVE_CAIRO
// Draws each line (in reading order) ending at the right margin: its words
// from the right, each word's letters leftwards, a word of digits left to
// right, and a space between words. `pageOrder` draws the glyphs of a line from its left end instead;
// `squeeze` narrows the font's glyphs, as a condensed face would.
void DrawRightToLeftPdf(const std::string& path, const std::vector<std::u32string>& lines, bool pageOrder,
                        double squeeze) {
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 595, 842);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_matrix_t size;
    cairo_matrix_init_scale(&size, 14 * squeeze, 14);
    cairo_set_font_matrix(cr, &size);
    cairo_scaled_font_t* font = cairo_get_scaled_font(cr);
    double y = 100;
    for (const std::u32string& line : lines) {
        std::vector<cairo_glyph_t> drawn;
        double x = 520;
        const std::vector<std::u32string> words = Words(line);
        for (size_t w = 0; w < words.size() * 2 - 1; ++w) {
            // Words and the spaces between them, in reading order.
            const std::u32string text = w % 2 == 0 ? words[w / 2] : U" ";
            // A shaper draws a bracket in right-to-left text with its mirror's glyph.
            std::u32string glyphs32 = text;
            for (char32_t& g : glyphs32) g = g == U'(' ? U')' : g == U')' ? U'(' : g;
            const std::string utf8 = Utf8(glyphs32);
            cairo_glyph_t* glyphs = nullptr;
            int count = 0;
            cairo_scaled_font_text_to_glyphs(font, 0, 0, utf8.c_str(), static_cast<int>(utf8.size()), &glyphs, &count,
                                             nullptr, nullptr, nullptr);
            cairo_text_extents_t extents;
            cairo_scaled_font_glyph_extents(font, glyphs, count, &extents);
            const bool digits = text[0] >= U'0' && text[0] <= U'9';
            if (digits) {
                x -= extents.x_advance;
                for (int g = 0; g < count; ++g) drawn.push_back({glyphs[g].index, x + glyphs[g].x, y});
            } else {
                for (int g = 0; g < count; ++g) {
                    const double next = g + 1 < count ? glyphs[g + 1].x : extents.x_advance;
                    x -= next - glyphs[g].x;
                    drawn.push_back({glyphs[g].index, x, y});
                }
            }
            cairo_glyph_free(glyphs);
        }
        if (pageOrder) {
            std::stable_sort(drawn.begin(), drawn.end(),
                             [](const cairo_glyph_t& a, const cairo_glyph_t& b) { return a.x < b.x; });
        }
        cairo_show_glyphs(cr, drawn.data(), static_cast<int>(drawn.size()));
        y += 30;
    }
    cairo_show_page(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
#endif

TEST_F(CliTest, RightToLeftLinesAreWrittenInReadingOrder) {
#ifndef QUILLMARK_HAVE_CAIRO
    GTEST_SKIP() << "cairo is not installed";
#else
    const std::u32string hebrew = U"\u05e9\u05dc\u05d5\u05dd \u05dc\u05db\u05dc \u05d4\u05e2\u05d5\u05dc\u05dd 2024";
    const std::u32string arabic =
        U"\u0645\u0631\u062d\u0628\u0627 \u0628\u0643\u0645 \u0641\u064a 300 \u0643\u062a\u0627\u0628";
    const std::u32string persian = U"\u0627\u06cc\u0646 \u06cc\u06a9 \u0633\u0646\u062f 15 \u0627\u0633\u062a";
    const std::u32string brackets = U"\u0645\u0631\u062d\u0628\u0627 (\u0628\u0643\u0645) \u0643\u062a\u0627\u0628";
    const struct {
        const char* name;
        std::u32string line;
        bool pageOrder;
        double squeeze = 1.0;
    } cases[] = {
        {"hebrew-leftwards", hebrew, false},     {"hebrew-page-order", hebrew, true},
        {"arabic-leftwards", arabic, false},     {"arabic-page-order", arabic, true},
        {"persian-leftwards", persian, false},   {"persian-page-order", persian, true},
        {"brackets-leftwards", brackets, false}, {"brackets-page-order", brackets, true},
        {"hebrew-squeezed", hebrew, true, 0.8},
    };
    // A line set in a font narrower than the word processor's is condensed
    // to stay one line; others keep their width.
    static const std::regex kScale(R"(\\rtlch\\afs[0-9]+\\fs[0-9]+\\cf[0-9]+\\f[0-9]+\\charscalex([0-9]+))");
    // A right-to-left paragraph of the flowing layout takes \li on its right:
    // with the right margin it puts the line's end 75 points from the
    // page's right edge, where it is drawn.
    static const std::regex kMargin(R"(\\margr([0-9]+))");
    static const std::regex kIndent(R"(\\rtlpar\\qr\\li([0-9]+)\\ri[0-9]+ )");
    for (const auto& c : cases) {
        const std::string pdf = m_dir / (std::string(c.name) + ".pdf");
        DrawRightToLeftPdf(pdf, {c.line, c.line}, c.pageOrder, c.squeeze);
        for (const char* layout : {"no-images", "flowing"}) {
            const std::string out = m_out + "/" + c.name + "-" + layout;
            const auto r = RunCli({"-q", "-l", layout, "-o", out, pdf});
            ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
            const std::string rtf = qmtest::ReadFile(out + "/" + c.name + ".rtf");
            EXPECT_EQ(qmtest::CountOccurrences(rtf, "\\rtlpar"), 2) << c.name << " " << layout;
            EXPECT_EQ(qmtest::CountOccurrences(RunText(rtf), Escaped(c.line)), 2)
                << c.name << " " << layout << ": " << RunText(rtf);
            if (std::string(layout) != "flowing") continue;
            std::smatch margin;
            ASSERT_TRUE(std::regex_search(rtf, margin, kMargin)) << c.name;
            size_t lines = 0;
            for (auto it = std::sregex_iterator(rtf.begin(), rtf.end(), kIndent); it != std::sregex_iterator(); ++it) {
                EXPECT_NEAR(std::stoi(margin[1]) + std::stoi((*it)[1]), 75 * 20, 40) << c.name;
                ++lines;
            }
            EXPECT_EQ(lines, 2u) << c.name;
            for (auto it = std::sregex_iterator(rtf.begin(), rtf.end(), kScale); it != std::sregex_iterator(); ++it) {
                if (c.squeeze < 1) EXPECT_LT(std::stoi((*it)[1]), 100) << c.name;
                else EXPECT_EQ(std::stoi((*it)[1]), 100) << c.name;
            }
        }
    }
#endif
}

}  // namespace
