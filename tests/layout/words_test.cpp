// Words and fragments: shown characters, measuring, font fitting, joins of
// a line and underlines.
#include <gtest/gtest.h>

#include "layout/text_fixture.h"
#include "layout/words.h"
#include "platform/font_metrics.h"

namespace {

qm::TextExtent Screen(const std::string& face, int points, const std::u32string& text, bool bold = false) {
    qm::TextExtent e;
    qm::MeasureString(face, points, bold, false, text, e);
    return e;
}

}  // namespace

TEST(ShownCharacters, DecodesWhatTheRunWillShow) {
    struct Case { const char* name; std::string text; std::u32string shown; };
    const Case cases[] = {
        {"em dash escape", "a\\uc1\\u8212Xb", U"a\u2014b"},
        {"reader's braces", "\\{x\\}", U"{x}"},
        {"backslash before an escaped brace", "\\\\{", U"\\{"},
        {"surrogate pair", "\\uc1\\u55357X\\uc1\\u56832X!", U"\U0001F600!"},
        {"lone high surrogate", "\\uc1\\u55357Xa", U"\uFFFDa"},
        {"unfinished escape", "\\uc1\\uX", U"\\uc1\\uX"},
        {"Latin-1 byte", "caf\xE9", U"caf\u00E9"},
        {"Windows-1252 quote", "\x93q\x94", U"\u201Cq\u201D"},
        {"link", "see <#dsAnchor#http://a.b/~dsAnchor#>here</~dsAnchor#>.", U"see here."},
    };
    for (const Case& c : cases) EXPECT_EQ(ShownCharacters(c.text), c.shown) << c.name;
}

TEST(MeasureWord, MeasuresTheCharactersShownAtTheScreenSize) {
    TRtfWord<void> word;
    const CSize dash = word.MeasureWord("Liberation Serif", 10, "\\uc1\\u8212X");
    EXPECT_EQ(dash.cx, Screen("Liberation Serif", 10, U"\u2014").cx);
    EXPECT_LT(dash.cx, Screen("Liberation Serif", 10, U"\\uc1\\u8212X").cx / 3);
    EXPECT_EQ(word.MeasureWord("Liberation Serif", 10, "\\{").cx, Screen("Liberation Serif", 10, U"{").cx);
    const CSize face = word.MeasureWord("Liberation Serif", 10, "\\uc1\\u55357X\\uc1\\u56832X");
    EXPECT_EQ(face.cx, Screen("Liberation Serif", 10, U"\U0001F600").cx);

    // Twelve points and up measure one point larger.
    const std::u32string text = U"Measured text";
    for (int size : {11, 12}) {
        const int expected = size >= 12 ? size + 1 : size;
        const CSize e = word.MeasureWord("Times New Roman", size, "Measured text");
        EXPECT_EQ(e.cx, Screen("Times New Roman", expected, text).cx) << size;
        EXPECT_EQ(e.cy, Screen("Times New Roman", expected, text).cy) << size;
    }
    EXPECT_NE(word.MeasureWord("Times New Roman", 12, "Measured text").cx, Screen("Times New Roman", 12, text).cx);
    word.m_nStyle = 0x01;
    EXPECT_EQ(word.MeasureWord("Times New Roman", 10, "Measured text").cx,
              Screen("Times New Roman", 10, text, true).cx);
}

TEST(ShrinkToText, NarrowsOrGrowsBoxesByTheirShape) {
    TextPage p;
    p.UseFonts({"Liberation Serif"});
    const int32_t w = Screen("Liberation Serif", 10, U"word").cx;
    const int32_t h = Screen("Liberation Serif", 10, U"word").cy;
    struct Case { const char* name; CRect box; CRect expected; };
    const Case cases[] = {
        {"wider box", {100, 50, 300, 70}, {100, 50, 100 + w, 50 + h}},
        {"no width, top above the width: grows right", {100, 0, 100, 10}, {100, 0, 100 + w, h}},
        {"no width, top below the width: grows left", {100, 500, 100, 520}, {100 - w, 500, 100, 500 + h}},
    };
    for (const Case& c : cases) {
        CRtfXmlText* t = p.Text(c.box, {"word"}, 10);
        t->ShrinkToText(t->m_words, &p.doc);
        EXPECT_EQ(RectText(t->m_rect), RectText(c.expected)) << c.name;
    }
}

TEST(FitFontSize, LowersTheSizeUntilTheWordsFitButNeverBelowSix) {
    TextPage p;
    p.UseFonts({"Liberation Sans"});
    CRtfXmlText* tiny = p.Text({0, 0, 10, 20}, {"A rather long line of text"}, 14);
    EXPECT_EQ(tiny->FitFontSize(tiny->m_words, &p.doc), 6);
    EXPECT_EQ(tiny->m_words.GetHead()->m_nFontSize, 6);

    // A box that the text fills at 9 points: the size stops where the
    // width first falls below the box or comes within 4 pixels of it.
    TRtfWord<void> probe;
    const int32_t at9 = probe.MeasureWord("Liberation Sans", 9, "Fitting words").cx;
    CRtfXmlText* fits = p.Text({0, 0, at9 + 1, 20}, {"Fitting words"}, 14);
    const int size = fits->FitFontSize(fits->m_words, &p.doc);
    EXPECT_GE(size, 9);
    EXPECT_LE(size, 10);
    EXPECT_EQ(fits->m_words.GetHead()->m_nFontSize, size);

    CRtfXmlText* small = p.Text({0, 0, 1, 20}, {"Small text"}, 6);
    EXPECT_EQ(small->FitFontSize(small->m_words, &p.doc), 6);

    // Words padded by wide word spacing lose the padding.
    CRtfXmlText* t = p.Text({100, 0, 600, 20}, {"  padded  "}, 10);
    t->m_words.GetHead()->m_nWordSpace = 1001;
    const int32_t w = probe.MeasureWord("Liberation Sans", 10, "  padded  ").cx;
    EXPECT_EQ(t->FitFontSize(t->m_words, &p.doc), 10);
    EXPECT_EQ(t->m_words.GetHead()->m_strText, "padded");
    // The leading padding moves the left edge to keep the right one; the
    // word no longer ends in a space, so the right edge stays.
    EXPECT_EQ(t->m_rect, CRect(600 - w, 0, 600, 20));

    CRtfXmlText* normal = p.Text({100, 0, 600, 20}, {" spaced "}, 10);
    normal->m_words.GetHead()->m_nWordSpace = 1000;
    normal->FitFontSize(normal->m_words, &p.doc);
    EXPECT_EQ(normal->m_words.GetHead()->m_strText, " spaced ");
}

// The head's line is (100, 100, 200, 120); without fonts the measured
// widths are the boxes' own, so the horizontal test sees the boxes.
TEST(TryJoin, PlacesCandidatesAgainstTheLine) {
    struct Case {
        const char* name;
        CRect candidate;
        bool joined;
        int code;       // -1: left unchanged
        CRect after;    // the candidate's box afterwards
    };
    const Case cases[] = {
        {"wholly below", {100, 120, 150, 140}, false, 2, {100, 120, 150, 140}},
        // 6/20 is 0.3 exactly, below the single-precision 0.3 widened.
        {"three tenths inside from above is still cut", {210, 86, 250, 106}, false, 1, {210, 86, 250, 100}},
        {"more inside from above joins", {210, 87, 250, 107}, true, -1, {210, 87, 250, 107}},
        {"30 units to the right", {230, 100, 260, 120}, true, -1, {230, 100, 260, 120}},
        {"31 units to the right", {231, 100, 261, 120}, false, -1, {231, 100, 261, 120}},
        {"far to the left", {0, 100, 60, 120}, false, 2, {0, 100, 60, 120}},
        {"left, apart by 30 from its right edge", {10, 100, 70, 120}, true, -1, {10, 100, 70, 120}},
        {"hangs below, two thirds inside", {210, 110, 240, 125}, true, -1, {210, 110, 240, 125}},
        {"mostly inside but a sliver of the line", {210, 117, 240, 121}, false, 2, {210, 117, 240, 121}},
        {"centre below the line under the head", {150, 111, 190, 131}, false, -1, {150, 111, 190, 131}},
        {"centre below the line right of it", {210, 111, 240, 131}, true, -1, {210, 111, 240, 131}},
    };
    for (const Case& c : cases) {
        TextPage p;
        CRtfXmlText* head = p.Text({100, 100, 200, 120}, {"head"});
        CRtfXmlText* text = p.Text(c.candidate, {"next"});
        int code = -1;
        auto pos = head->TryJoin(text, &code);
        EXPECT_EQ(pos != nullptr, c.joined) << c.name;
        EXPECT_EQ(code, c.code) << c.name;
        EXPECT_EQ(RectText(text->m_rect), RectText(c.after)) << c.name;
        if (c.joined) {
            ASSERT_TRUE(head->m_pJoined) << c.name;
            EXPECT_EQ(head->m_pJoined->GetTail(), text) << c.name;
            CRect line;
            line.UnionRect(CRect(100, 100, 200, 120), c.candidate);
            EXPECT_EQ(RectText(head->m_rcLine), RectText(line)) << c.name;
        } else {
            EXPECT_EQ(head->m_rcLine, CRect(100, 100, 200, 120)) << c.name;
        }
    }
    // Nothing to join, or no page to measure on: no join.
    TextPage p;
    CRtfXmlText* head = p.Text({100, 100, 200, 120}, {"head"});
    EXPECT_EQ(head->TryJoin(nullptr, nullptr), nullptr);
    head->m_pPage = nullptr;
    EXPECT_EQ(head->TryJoin(p.Text({205, 100, 240, 120}, {"next"}), nullptr), nullptr);
}

TEST(TryJoin, EarlierPiecesOfTheLineCanRefuseACandidate) {
    // A piece that reaches barely into the candidate's band and overlaps it
    // horizontally marks the candidate as the start of another line.
    TextPage p;
    CRtfXmlText* head = p.Text({100, 100, 200, 120}, {"head"});
    CRtfXmlText* piece = p.Text({200, 90, 260, 112}, {"piece"});
    p.Join(head, piece);
    head->m_rcLine = CRect(100, 90, 260, 120);
    CRtfXmlText* text = p.Text({230, 106, 270, 131}, {"next"});
    EXPECT_EQ(head->TryJoin(text, nullptr), nullptr);
    CRtfXmlText* clear = p.Text({262, 106, 290, 131}, {"next"});
    EXPECT_NE(head->TryJoin(clear, nullptr), nullptr);
}

TEST(TryJoin, HorizontalTestUsesTheMeasuredText) {
    // A box far wider than its two letters is narrowed around its centre,
    // and a candidate 40 units past the box's measured text stays apart
    // even though it is within 30 units of the box.
    TextPage p;
    p.UseFonts({"Liberation Serif"});
    CRtfXmlText* head = p.Text({100, 100, 300, 120}, {"Hi"});
    CRtfXmlText* text = p.Text({320, 100, 340, 120}, {"x"});
    text->m_rect.right = 320 + text->MeasureText().cx;  // so that it is not narrowed itself
    EXPECT_EQ(head->TryJoin(text, nullptr), nullptr);
    // A candidate box wider than its text keeps its box narrowed from the
    // left.
    CRtfXmlText* wide = p.Text({205, 100, 305, 120}, {"x"});
    const int32_t wx = wide->MeasureText().cx;
    head->TryJoin(wide, nullptr);
    EXPECT_EQ(wide->m_rect, CRect(205 + (100 - wx) / 2, 100, 305, 120));
    // Without a page to measure with, the box alone counts and it joins.
    TextPage bare;
    CRtfXmlText* head2 = bare.Text({100, 100, 300, 120}, {"Hi"});
    CRtfXmlText* text2 = bare.Text({320, 100, 330, 120}, {"x"});
    EXPECT_NE(head2->TryJoin(text2, nullptr), nullptr);
}

TEST(MarkUnderline, RulesUnderTheTextUnderlineIt) {
    struct Case { const char* name; CRect rule; int result; };
    // The fragment and its line are (100, 100, 200, 120).
    const Case cases[] = {
        {"short by 50", {100, 119, 150, 120}, 1},
        {"short by 51", {100, 119, 149, 120}, 0},
        {"two units high", {100, 119, 200, 121}, 0},
        {"ends 5 past the line", {100, 119, 205, 120}, 1},
        {"ends 6 past the line", {100, 119, 206, 120}, 0},
        {"of no height", {100, 119, 200, 119}, 0},
    };
    for (const Case& c : cases) {
        TextPage p;
        CRtfXmlText* t = p.Text({100, 100, 200, 120}, {"under", "lined"});
        EXPECT_EQ(t->MarkUnderline(c.rule), c.result) << c.name;
        EXPECT_EQ((t->m_words.GetTail()->m_nStyle & 0x04) != 0, c.result == 1) << c.name;
    }
}

