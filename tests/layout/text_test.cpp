// Pure text functions of the reader and the run writer: the page XML's
// entities and numbers, the characters a run shows (which measuring and
// spacing go by), link markers; and the model's check of its links.
#include <gtest/gtest.h>

#include <climits>

#include "layout/model.h"
#include "layout/words.h"
#include "layout/xml_parse.h"
#include "rtf/runs.h"

TEST(PageXmlText, ContentDecodingAndNumbers) {
    struct Case { const char* in; const char* out; } cases[] = {
        {"a&amp;lt;b", "a<b"},  // the writer's escaped "&lt;" text reads back as '<'
        // Each replacement is one pass, so a doubly escaped entity loses one level only.
        {"a&amp;amp;lt;b", "a&amp;lt;b"},
        {"&quot;q&quot; quot;", "\"q\" \""},
        {"{x}", "\\{x\\}"},
        {"\\uc1\\u8212X", "\\uc1\\u8212X"},
    };
    for (const Case& c : cases) EXPECT_EQ(CRtfXmlParse::DecodeContent(c.in), c.out) << c.in;
    struct Num { const char* text; int32_t value; } nums[] = {
        {"-0001.50", -1}, {"12abc", 12}, {"", 0}, {"4294967294", INT32_MAX}, {"-99999999999", INT32_MIN},
    };
    for (const Num& n : nums) EXPECT_EQ(CRtfXmlParse::AtoL(n.text), n.value) << n.text;
}

TEST(ShownCharacters, DecodesWhatTheRunWillShow) {
    struct Case { const char* name; std::string text; std::u32string shown; } cases[] = {
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

TEST(StripLinks, KeepsTheLinkTextOnly) {
    struct Case { std::string in; std::string out; } cases[] = {
        {"see <#dsAnchor#http://x.org/~dsAnchor#>this</~dsAnchor#> page", "see this page"},
        {"<#dsAnchor#a~dsAnchor#>one</~dsAnchor#> and <#dsAnchor#b~dsAnchor#>two</~dsAnchor#>", "one and two"},
        {"<#dsAnchor#a~dsAnchor#>open to the end", "open to the end"},
        {"stray</~dsAnchor#> end", "stray end"},
        {"cut <#dsAnchor#target", "cut <#dsAnchor#target"},
    };
    for (const Case& c : cases) EXPECT_EQ(StripLinks(c.in), c.out) << c.in;
}

namespace {

class Item : public CTagged {
    QM_TAGGED_CLASS(Item, nullptr)
public:
    Item() { QM_TAG_INIT(); }
};

class Other : public CTagged {
    QM_TAGGED_CLASS(Other, nullptr)
public:
    Other() { QM_TAG_INIT(); }
};

}  // namespace

TEST(TypedLinkDeathTest, MistypedLinkStopsTheProgram) {
    Other other;
    // A link of the wrong class, as memory corruption or a bad cast makes.
    TPtr<Item> bad(reinterpret_cast<Item*>(static_cast<CTagged*>(&other)));
    EXPECT_DEATH(bad.get(), "link to Item points at Other");
}
