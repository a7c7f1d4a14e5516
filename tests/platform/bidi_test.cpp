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

}  // namespace
