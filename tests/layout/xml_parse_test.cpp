// The page XML reader: tokens and values, the header, font specifications,
// pages, margins and text elements read through a document.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "control/rtf_document.h"
#include "layout/model.h"
#include "layout/xml_parse.h"
#include "rtf/rtf_file.h"
#include "support/test_util.h"

namespace {

// A page XML file in a private folder, removed with the object.
struct TempXml {
    explicit TempXml(const std::string& content) { qmtest::WriteFile(path(), content); }
    std::string path() const { return dir / "doc.xml"; }
    qmtest::TempDir dir;
};

const char* kDecl = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
const char* kRoot = "<pdf2xml author=\"John Smith\" keywords=\"k\" date=\"2020-01-02T03:04:05+00:00\" subject=\"S\">\n";
const char* kFonts =
    "\t<fontspec id=\"0\" size=\"12\" family=\"ABCDEF+ArialMT\" alternate=\"\" color=\"#ff0000\">\n"
    "\t<fontspec id=\"1\" size=\"0\" family=\"Times New Roman\" alternate=\"\" color=\"#000000\">\n";

std::string PageLine(int n) {
    return "<page pnumber=\"" + std::to_string(n) +
           "\" pposition=\"absolute\" ptop=\"0\" pleft=\"0\" pheight=\"792\" pwidth=\"612\" protation=\"0\">\n";
}

std::string Data(const std::string& content, int style = 0) {
    return "<data cSpace=\"+000.00\" wSpace=\"+0000.00\" hScal=\"100\" style=\"" + std::to_string(style) +
           "\" cRise=\"+0000.00\" cLeading=\"+0000.00\">" + content + "\n";
}

std::string TextElement(int top, int left, const std::string& data, int direction = 1) {
    return "<text top=\"" + std::to_string(top) + "\" left=\"" + std::to_string(left) +
           "\" width=\"100\" height=\"12\" font=\"0\" direction=\"" + std::to_string(direction) +
           "\" toc=\"0\" Angle=\"0\">\n" + data + "</text>\n";
}

std::string Document(const std::string& pages) { return std::string(kDecl) + kRoot + pages + "</pdf2xml>\n"; }

// Every fragment the page received, whatever list the intake put it in.
std::vector<CRtfXmlText*> Fragments(CRtfDocument& doc) {
    std::vector<CRtfXmlText*> out;
    CRtfPage* page = doc.GetPage();
    if (page == nullptr || !page->m_pPool) return out;
    for (DebugRtfXmlTextList* list : {&page->m_pPool->m_main, &page->m_pPool->m_leftover}) {
        for (CRtfXmlText* t : *list) {
            out.push_back(t);
            if (t->m_pJoined)
                for (CRtfXmlText* j : *t->m_pJoined) out.push_back(j);
        }
    }
    return out;
}

std::string WordsOf(const CRtfXmlText& t) {
    std::string s;
    for (TRtfWord<void>* w : t.m_words) s += "[" + w->m_strText + "]";
    return s;
}

// The words of every fragment of page `n`, read in a page sequence that
// ends each page before the next begins.
std::string PageWords(CRtfDocument& doc, int n) {
    if (doc.BeginPage(n) != 1) return "<not begun>";
    std::string words;
    for (CRtfXmlText* t : Fragments(doc)) words += WordsOf(*t);
    doc.EndPage(1);
    return words;
}

// Opens a document on `xml` in a layout that reads pages without laying
// them out.
std::unique_ptr<CRtfDocument> Open(const TempXml& xml) {
    auto doc = CRtfDocument::CreateDocument(xml.path(), "/dev/null");
    if (doc) doc->SetLayout(kLayoutNoImages);
    return doc;
}

}  // namespace

TEST(XmlParse, KeywordsMatchAtTokenStartOnly) {
    struct Case { const char* token; int id; } cases[] = {
        {"ptop=\"0\"", 9},      {"top=\"5\"", 23},  {"Angle=\"0\">", 30}, {"cSpace=\"+000.00\"", 30},
        {"cLeading=\"+0.00\">", 35}, {"xtop=\"5\"", 0}, {"Top=\"5\"", 0},   {"top", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CRtfXmlParse::Keyword(c.token), c.id) << c.token;
}

TEST(XmlParse, AttributeValuesAndNumbers) {
    struct Case { const char* token; bool ok; const char* value; } cases[] = {
        {"family=\"Times", true, "Times"},
        {"alternate=\"\"", true, ""},
        {"a=\"b=c\"", true, "b=c"},
        {"=\"5\"", false, ""},
    };
    for (const Case& c : cases) {
        std::string v = "junk";
        EXPECT_EQ(CRtfXmlParse::AttrValue(c.token, v), c.ok) << c.token;
        EXPECT_EQ(v, c.value) << c.token;
    }

    struct Num { const char* text; int32_t value; } nums[] = {
        {"-0001.50", -1}, {"12abc", 12}, {"", 0}, {"4294967294", INT32_MAX}, {"-99999999999", INT32_MIN},
    };
    for (const Num& n : nums) EXPECT_EQ(CRtfXmlParse::AtoL(n.text), n.value) << n.text;

    EXPECT_EQ(CRtfXmlParse::Tokenize("<text  top=\"1\"   left=\"2\">"),
              (std::vector<std::string>{"<text", "top=\"1\"", "left=\"2\">"}));
    EXPECT_TRUE(CRtfXmlParse::Tokenize("   ").empty());
}

TEST(XmlParse, ContentDecoding) {
    struct Case { const char* in; const char* out; } cases[] = {
        {"a&amp;lt;b", "a<b"},  // the writer's escaped "&lt;" text reads back as '<'
        // Each replacement is one pass, so a doubly escaped entity loses one level only.
        {"a&amp;amp;lt;b", "a&amp;lt;b"},
        {"&quot;q&quot;", "\"q\""},
        {"quot;", "\""},
        {"{x}", "\\{x\\}"},
        {"\\uc1\\u8212X", "\\uc1\\u8212X"},
    };
    for (const Case& c : cases) EXPECT_EQ(CRtfXmlParse::DecodeContent(c.in), c.out) << c.in;
}

TEST(XmlParse, HeaderAndFontSpecifications) {
    TempXml xml(Document(PageLine(1) + kFonts + "</page>\n"));
    CRtfXmlParse reader(xml.path());
    ASSERT_TRUE(reader.IsOpen());
    CRtfXmlParse::DocInfo info;
    reader.GetDocInfo(&info);
    EXPECT_EQ(info.author, "John") << "header values are cut at spaces";
    EXPECT_EQ(info.keywords, "k");
    EXPECT_EQ(info.date, "2020-01-02T03:04:05+00:00");
    EXPECT_EQ(info.subject, "S");
    EXPECT_EQ(reader.GetFileName(), "doc.xml");

    auto doc = Open(xml);
    ASSERT_TRUE(doc);
    CRtfFont* arial = doc->FindSpecById(0);
    CRtfFont* times = doc->FindSpecById(1);
    ASSERT_NE(arial, nullptr);
    ASSERT_NE(times, nullptr);
    // The subset tag goes, the table gives the family, the colour is shared.
    EXPECT_EQ(arial->m_strName, "Arial");
    EXPECT_EQ(arial->m_nSize, 12);
    EXPECT_EQ(arial->m_bNoSize, 0);
    ASSERT_TRUE(arial->m_pColor);
    EXPECT_EQ(arial->m_pColor->m_nIndex, 1);
    EXPECT_EQ(arial->m_pColor->m_red, 255);
    // "Times New Roman" arrives cut at its first space and maps back.
    EXPECT_EQ(times->m_strName, "Times New Roman");
    EXPECT_EQ(times->m_nSize, 10);
    EXPECT_EQ(times->m_bNoSize, 1);
    ASSERT_TRUE(times->m_pColor);
    EXPECT_EQ(times->m_pColor->m_nIndex, 0);
    EXPECT_EQ(doc->m_colors.GetCount(), 2);

    // A document cut before its end is not opened.
    TempXml cut(std::string(kDecl) + kRoot + PageLine(1) + kFonts);
    EXPECT_FALSE(CRtfDocument::CreateDocument(cut.path(), "/dev/null"));
    EXPECT_FALSE(CRtfDocument::CreateDocument("/nonexistent/doc.xml", "/dev/null"));
    EXPECT_FALSE(CRtfDocument::CreateDocument("", "/dev/null"));
}

TEST(XmlParse, TextElementFields) {
    const std::string body =
        // width before left: the width adds to the left stored so far (0)
        "<text top=\"5\" width=\"30\" left=\"10\" height=\"12\" font=\"0\" direction=\"3\" toc=\"1\" Angle=\"15\">\n" +
        Data("hello", 3) + "</text>\n" +
        "<text top=\"300\" left=\"10\" width=\"30\" height=\"12\" font=\"7\" direction=\"7\" toc=\"0\" Angle=\"0\">\n" +
        "<data cSpace=\"-012.50\" wSpace=\"+0003.00\" hScal=\"090\" style=\"71\" cRise=\"+0002.75\" "
        "cLeading=\"-0004.00\">x{y}\n</text>\n";
    TempXml xml(Document(PageLine(1) + kFonts + "<margin mleft=\"0010\" mtop=\"0005\" mbottom=\"0010\" mright=\"0010\">\n" +
                         body + "</page>\n"));
    auto doc = Open(xml);
    ASSERT_TRUE(doc);
    doc->BeginPage(1);
    auto frags = Fragments(*doc);
    ASSERT_EQ(frags.size(), 2u);
    CRtfXmlText* a = frags[0]->m_rect.top == 5 ? frags[0] : frags[1];
    CRtfXmlText* b = a == frags[0] ? frags[1] : frags[0];

    EXPECT_EQ(a->m_rect, CRect(10, 5, 30, 17));
    EXPECT_EQ(a->m_nRotation, 270);
    CRtfFont* spec = doc->FindSpecById(0);
    EXPECT_EQ(a->m_nFont, spec->m_pFontData->m_nIndex);
    EXPECT_EQ(a->m_nFontSize, 12);
    EXPECT_EQ(a->m_nColor, 1);
    EXPECT_EQ(a->m_nFontStyle, spec->m_nStyle);
    ASSERT_EQ(a->m_words.GetCount(), 1);
    TRtfWord<void>* w = a->m_words.GetHead();
    EXPECT_EQ(w->m_strText, "hello");
    EXPECT_EQ(w->m_nStyle, 3);
    EXPECT_EQ(w->m_nFontSize, 12);

    // An unknown font id gives font 0, size 10, no colour.
    EXPECT_EQ(b->m_rect, CRect(10, 300, 40, 312));
    EXPECT_EQ(b->m_nFont, 0);
    EXPECT_EQ(b->m_nFontSize, 10);
    EXPECT_EQ(b->m_nColor, 0);
    ASSERT_EQ(b->m_words.GetCount(), 1);
    TRtfWord<void>* v = b->m_words.GetHead();
    EXPECT_EQ(v->m_strText, "x\\{y\\}");
    EXPECT_EQ(v->m_nCharSpace, -12);
    EXPECT_EQ(v->m_nWordSpace, 3);
    EXPECT_EQ(v->m_nHScale, 90);
    EXPECT_EQ(v->m_nStyle, 0x47);
    EXPECT_EQ(v->m_fRise, 2.0f);
    EXPECT_EQ(v->m_fLeading, -4.0f);
    EXPECT_EQ(v->m_nFontSize, 10);
}

TEST(XmlParse, DirectionGivesRotation) {
    const int directions[][2] = {{1, 0}, {2, 180}, {3, 270}, {4, 90}, {5, 0}};
    std::string elements;
    for (const auto& d : directions) elements += TextElement(100 * d[0], 10, Data("t"), d[0]);
    TempXml xml(Document(PageLine(1) + kFonts + elements + "</page>\n"));
    auto doc = Open(xml);
    ASSERT_TRUE(doc);
    doc->BeginPage(1);
    auto frags = Fragments(*doc);
    ASSERT_EQ(frags.size(), 5u);
    for (CRtfXmlText* t : frags) EXPECT_EQ(t->m_nRotation, directions[t->m_rect.top / 100 - 1][1]) << t->m_rect.top;
}

TEST(XmlParse, DataLinesMakeWords) {
    struct Case { const char* name; std::string data; const char* words; } cases[] = {
        {"spaces only", Data("   ") + Data(""), ""},
        {"empty content is one space", Data("") + Data("x"), "[ ][x]"},
        {"content cut by a line end", Data("first part\nsecond part"), "[first part]"},
        {"lines that are no data are skipped", "junk\n\n" + Data("a") + "  <data>b\n", "[a]"},
        {"entities and braces", Data("a&amp;lt;b {c}"), "[a<b \\{c\\}]"},
    };
    for (const Case& c : cases) {
        TempXml xml(Document(PageLine(1) + kFonts + TextElement(100, 10, c.data) + "</page>\n"));
        auto doc = Open(xml);
        ASSERT_TRUE(doc);
        EXPECT_EQ(PageWords(*doc, 1), c.words) << c.name;
    }
}

TEST(XmlParse, PagesAreFoundInIncreasingOrder) {
    // Page 1's text element is closed by </page>: it still counts, and the
    // page ends there.
    TempXml xml(Document(PageLine(1) + kFonts + "<text top=\"5\" left=\"5\" width=\"9\" height=\"9\" font=\"0\">\n" +
                         Data("p1") + "</page>\n" + PageLine(2) + TextElement(100, 10, Data("p2")) + "</page>\n" +
                         PageLine(4) + TextElement(100, 10, Data("p4")) + "</page>\n"));
    auto doc = Open(xml);
    ASSERT_TRUE(doc);
    // A range not starting at page 1 must not get page 2 empty because page 1
    // ended first; page 3 is not in the file, and beyond the last page comes
    // an empty page every time.
    const struct { int page; const char* words; } pages[] = {{2, "[p2]"}, {3, ""}, {4, "[p4]"}, {5, ""}, {6, ""}};
    for (const auto& p : pages) EXPECT_EQ(PageWords(*doc, p.page), p.words) << p.page;
    auto again = Open(xml);
    EXPECT_EQ(PageWords(*again, 1), "[p1]");
}

TEST(XmlParse, CrLfAndLfReadAlike) {
    const std::string lf =
        Document(PageLine(1) + kFonts + "<margin mleft=\"0007\" mtop=\"0005\" mbottom=\"0010\" mright=\"0010\">\n" +
                 TextElement(100, 10, Data("alpha") + Data("")) + TextElement(200, 10, Data("beta")) + "</page>\n");
    auto read = [](const std::string& content) {
        TempXml xml(content);
        auto doc = Open(xml);
        std::string out;
        if (!doc) return std::string("no document");
        doc->BeginPage(1);
        out += std::to_string(doc->GetPage()->m_nMarginLeft) + ";";
        for (CRtfXmlText* t : Fragments(*doc))
            out += std::to_string(t->m_rect.top) + "," + std::to_string(t->m_rect.right) + WordsOf(*t) + ";";
        out += doc->FindSpecById(0)->m_strName;
        return out;
    };
    const std::string expected = "7;100,110[alpha][ ];200,110[beta];Arial";
    EXPECT_EQ(read(lf), expected);
    EXPECT_EQ(read(ToCrLf(lf)), expected);
}
