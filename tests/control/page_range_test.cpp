// Page-range text into the page list, and the file-size text of the file
// list.
#include <gtest/gtest.h>

#include <vector>

#include "control/layout_names.h"
#include "control/page_range.h"

namespace {

std::vector<int32_t> Parse(const std::string& text) {
    int32_t pages[kPageListSize];
    for (auto& p : pages) p = -7;  // the parser must clear what it leaves
    const int n = ParsePageRange(text, pages);
    std::vector<int32_t> out;
    for (int i = 0; i < kPageListSize; ++i) {
        if (i >= n) {
            EXPECT_EQ(pages[i], 0) << "slot " << i << " not cleared for '" << text << "'";
        } else {
            out.push_back(pages[i]);
        }
    }
    return out;
}

std::vector<int32_t> Pages(std::vector<int32_t> first, int32_t from, int32_t to) {
    for (int32_t p = from; p <= to; ++p) first.push_back(p);
    return first;
}

TEST(PageRange, PiecesAndRanges) {
    const struct { const char* text; std::vector<int32_t> pages; } cases[] = {
        {"1, 3, 7, 10-15", {1, 3, 7, 10, 11, 12, 13, 14, 15}},
        {"", {}},
        {"2,,9", {2}},             // parsing stops at the first empty piece
        {"4,", {4}},
        {",4", {}},
        {"3x,8 pages", {3, 8}},   // trailing non-digits are ignored
        {"abc,6", {0, 6}},        // no leading digits reads as 0
        {"9-7", {}},              // a reversed range adds nothing
        {"6-6", {6}},
        {" 2 - 4 ", {2, 3, 4}},
        {"99999999999", {2147483647}},  // saturates instead of wrapping
        {"2147483646-99999999999", {2147483646, 2147483647}},
        // The list keeps the first hundred numbers.
        {"1-150", Pages({}, 1, 100)},
        {"7,1-99,500", Pages({7}, 1, 99)},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.text), c.pages) << "text '" << c.text << "'";
}

TEST(FileSizeText, GroupsDigitsByThrees) {
    const struct { uint64_t bytes; const char* text; } cases[] = {
        {999, "999 Byte"}, {1000, "1,000 Byte"}, {1234567, "1,234,567 Byte"},
        {18446744073709551615ull, "18,446,744,073,709,551,615 Byte"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFileSize(c.bytes), c.text);
}

}  // namespace

TEST(LayoutNames, MapToKindsOfRun) {
    int code = 0;
    for (const char* name : {"FLOWING", "EXACT", "NO IMAGES", "PlAIN TEXT"})
        EXPECT_EQ(qm::LayoutCode(name), code++) << name;
    EXPECT_EQ(qm::LayoutCode("PLAIN TEXT"), -1) << "the stored spelling is the odd one";
    EXPECT_STREQ(qm::LayoutName(3), "PlAIN TEXT");
    EXPECT_STREQ(qm::LayoutName(9), "FLOWING");
}
