// Page-range text into the page list, and the file-size text of the file
// list.
#include <gtest/gtest.h>

#include <vector>

#include "control/layout_names.h"
#include "control/page_range.h"
#include "images/test_job.h"

namespace {

using Spans = std::vector<CPageSpan>;

TEST(PageRange, PiecesAndRanges) {
    const struct { const char* text; Spans spans; } cases[] = {
        {"1, 3, 7, 10-15", {{1, 1}, {3, 3}, {7, 7}, {10, 15}}},
        {"4,", {{4, 4}}},
        {",4", {{4, 4}}},
        {"2,,9", {{2, 2}, {9, 9}}},  // an empty piece is not a reason to drop what follows
        {"6-6", {{6, 6}}},
        {" 2 - 4 ", {{2, 4}}},
        {"2147483646-2147483647", {{2147483646, 2147483647}}},
        // No cap: the hundred-and-first page counts like the first.
        {"1-150", {{1, 150}}},
        {"7,1-99,500", {{7, 7}, {1, 99}, {500, 500}}},
    };
    for (const auto& c : cases) {
        Spans spans{{42, 42}};  // the parser must replace what was there
        EXPECT_EQ(ParsePageRange(c.text, spans), "") << "text '" << c.text << "'";
        EXPECT_EQ(spans, c.spans) << "text '" << c.text << "'";
    }
}

// The message names the piece the user must correct, and nothing is
// selected by a text that is only partly a range.
TEST(PageRange, BadTextNamesTheBadPart) {
    const struct { const char* text; const char* message; } cases[] = {
        {"abc", "\"abc\" is not a page number or a range such as 10-15"},
        {"1, 3x ,5", "\"3x\" is not a page number or a range such as 10-15"},
        {"2-", "\"2-\" is not a page number or a range such as 10-15"},
        {"-5", "\"-5\" is not a page number or a range such as 10-15"},
        {"1-2-3", "\"1-2-3\" is not a page number or a range such as 10-15"},
        {"0", "\"0\": pages are numbered from 1"},
        {"3,0-2", "\"0-2\": pages are numbered from 1"},
        {"9-7", "\"9-7\" runs backwards"},
        {"99999999999", "\"99999999999\" is too large for a page number"},
        {"", "no page number given"},
        {" , ", "no page number given"},
    };
    for (const auto& c : cases) {
        Spans spans{{42, 42}};
        EXPECT_EQ(ParsePageRange(c.text, spans), c.message) << "text '" << c.text << "'";
        EXPECT_TRUE(spans.empty()) << "text '" << c.text << "'";
    }
}

TEST(PageRange, JobSelectsBySpans) {
    CTestJob job;
    EXPECT_TRUE(job.IsPageSelected(12345)) << "every page until a range is set";
    EXPECT_TRUE(job.AnyPageSelected(1));
    EXPECT_FALSE(job.AnyPageSelected(0)) << "a PDF without pages has nothing to select";
    ASSERT_EQ(ParsePageRange("3, 200-250", job.m_pages), "");
    job.m_nPageFlags = 0;
    const struct { int32_t page; bool selected; } pages[] = {
        {2, false}, {3, true}, {4, false}, {199, false}, {200, true}, {231, true}, {250, true}, {251, false}};
    for (const auto& p : pages) EXPECT_EQ(job.IsPageSelected(p.page), p.selected) << p.page;
    const struct { int32_t count; bool any; } counts[] = {{2, false}, {3, true}, {150, true}, {0, false}};
    for (const auto& c : counts) EXPECT_EQ(job.AnyPageSelected(c.count), c.any) << c.count;
    ASSERT_EQ(ParsePageRange("9", job.m_pages), "");
    EXPECT_FALSE(job.AnyPageSelected(4)) << "page 9 of a four-page PDF";
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
