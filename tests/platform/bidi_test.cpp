// Direction classes and the reading order of text as it stands on the page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/bidi.h"

namespace {

TEST(Bidi, KindsOfCharacters) {
    const struct {
        char32_t u;
        BidiKind kind;
    } cases[] = {
        {U'a', BidiKind::kLeft},         {U'\u00e9', BidiKind::kLeft},    {U'\u0416', BidiKind::kLeft},
        {U'\u4e00', BidiKind::kLeft},    {U'7', BidiKind::kNumber},       {U'\u0661', BidiKind::kNumber},
        {U'\u06f5', BidiKind::kNumber},  {U' ', BidiKind::kNeutral},      {U'.', BidiKind::kNeutral},
        {U'\u2014', BidiKind::kNeutral}, {U'\u00d7', BidiKind::kNeutral}, {U'\u05d0', BidiKind::kRight},
        {U'\u05ea', BidiKind::kRight},   {U'\u05b8', BidiKind::kMark},    {U'\u0627', BidiKind::kRight},
        {U'\u064e', BidiKind::kMark},    {U'\u0655', BidiKind::kMark},    {U'\u06cc', BidiKind::kRight},
        {U'\ufefb', BidiKind::kRight},   {U'\ufb2a', BidiKind::kRight},   {U'\u0301', BidiKind::kMark},
    };
    for (const auto& c : cases) EXPECT_EQ(BidiKindOf(c.u), c.kind) << std::hex << static_cast<unsigned>(c.u);
}

// Items are written as letters: L left to right, R right to left, D a digit,
// N neutral, M a combining mark; the expected order lists the items' places
// on the page (left to right, from 0) in reading order.
std::vector<BidiKind> Kinds(const std::string& code) {
    std::vector<BidiKind> kinds;
    for (char c : code) {
        switch (c) {
            case 'L': kinds.push_back(BidiKind::kLeft); break;
            case 'R': kinds.push_back(BidiKind::kRight); break;
            case 'D': kinds.push_back(BidiKind::kNumber); break;
            case 'M': kinds.push_back(BidiKind::kMark); break;
            default: kinds.push_back(BidiKind::kNeutral); break;
        }
    }
    return kinds;
}

TEST(Bidi, ReadingOrderOfShownText) {
    const struct {
        const char* what;
        const char* shown;
        bool rtl;
        std::vector<size_t> order;
    } cases[] = {
        {"left to right text stays", "LLNLL", false, {0, 1, 2, 3, 4}},
        {"right to left text is read from the right", "RRNRR", true, {4, 3, 2, 1, 0}},
        {"a Latin word inside right-to-left text keeps its own order", "RRNLLNRR", true, {7, 6, 5, 3, 4, 2, 1, 0}},
        {"a Hebrew word inside English", "LLNRRNLL", false, {0, 1, 2, 4, 3, 5, 6, 7}},
        {"digits at the left end of a right-to-left line are read last", "DDNRR", true, {4, 3, 2, 0, 1}},
        {"digits between Hebrew words of an English line", "LNRRNDDNRR", false, {0, 1, 9, 8, 7, 5, 6, 4, 3, 2}},
        {"marks go with their letters", "MRMRNLL", true, {5, 6, 4, 3, 2, 1, 0}},
        {"neutrals between two directions take the line's", "LLNRR", true, {4, 3, 2, 0, 1}},
        {"nothing", "", true, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadingOrder(Kinds(c.shown), c.rtl), c.order) << c.what;
}

// Which items stand in a stretch shown right to left ('t'), where a
// bracket's glyph is its mirror's.
TEST(Bidi, TurnedStretches) {
    const struct {
        const char* what;
        const char* shown;
        bool rtl;
        const char* turned;
    } cases[] = {
        {"brackets round an Arabic word in an Arabic line", "NRRN", true, "tttt"},
        {"brackets round a Latin word in an Arabic line", "NLLN", true, "t..t"},
        {"brackets round a Hebrew word in an English line", "LNRRNL", false, "..tt.."},
        {"digits inside right-to-left text read left to right", "RNDDNR", true, "tt..tt"},
        {"a left-to-right line", "NLLN", false, "...."},
    };
    for (const auto& c : cases) {
        std::vector<bool> turned;
        ReadingOrder(Kinds(c.shown), c.rtl, turned);
        std::string got;
        for (bool t : turned) got += t ? 't' : '.';
        EXPECT_EQ(got, c.turned) << c.what;
    }
}

TEST(Bidi, MirroredAndJoinedCharacters) {
    const struct {
        char32_t u;
        char32_t mirrored;
    } mirrors[] = {{U'(', U')'}, {U']', U'['}, {U'{', U'}'}, {U'<', U'>'}, {0xAB, 0xBB}, {0x2265, 0x2264}, {U'a', U'a'}, {U'.', U'.'}};
    for (const auto& m : mirrors) EXPECT_EQ(MirroredChar(m.u), m.mirrored) << std::hex << static_cast<unsigned>(m.u);

    const struct {
        const char* what;
        std::u32string text;
        std::u32string joined;
    } words[] = {
        // beh, alef, beh: initial, final alef (it joins on its right only), isolated
        {"alef breaks a word", U"\u0628\u0627\u0628", U"\ufe91\ufe8e\ufe8f"},
        {"beh teh beh: initial, medial, final", U"\u0628\u062a\u0628", U"\ufe91\ufe98\ufe90"},
        {"a mark between letters keeps them joined", U"\u0628\u064e\u0628", U"\ufe91\u064e\ufe90"},
        {"a space ends a word", U"\u0628 \u0628", U"\ufe8f \ufe8f"},
        {"other letters stay", U"\u05d0\u06a9a", U"\u05d0\u06a9a"},
    };
    for (const auto& w : words) EXPECT_EQ(JoinedForms(w.text), w.joined) << w.what;
}

}  // namespace
