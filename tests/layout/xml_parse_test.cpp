// The page XML reader: tokens and values, the header, font specifications,
// pages, margins and text elements read through a document.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "control/rtf_document.h"
#include "layout/model.h"
#include "layout/xml_parse.h"

namespace {

// A page XML file in a private folder, removed with the object.
class TempXml {
public:
    explicit TempXml(const std::string& content) {
        char templ[] = "/tmp/qm-xml-XXXXXX";
        m_dir = mkdtemp(templ) != nullptr ? templ : "/tmp";
        m_path = m_dir + "/doc.xml";
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~TempXml() {
        std::remove(m_path.c_str());
        rmdir(m_dir.c_str());
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_dir;
    std::string m_path;
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

std::string ToCrLfText(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

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

// Opens a document on `xml` in a layout that reads pages without laying
// them out.
std::unique_ptr<CRtfDocument> Open(const TempXml& xml) {
    auto doc = CRtfDocument::CreateDocument(xml.path(), "/dev/null");
    if (doc) doc->SetLayout(kLayoutNoImages);
    return doc;
}

}  // namespace

TEST(XmlParse, KeywordsMatchAtTokenStartOnly) {
    struct Case {
        const char* token;
        int id;
    } cases[] = {
        {"author=\"x\"", 3},    {"pnumber=\"1\"", 7},   {"ptop=\"0\"", 9},      {"pwidth=\"612\"", 12},
        {"id=\"0\"", 14},       {"color=\"#000000\">", 18}, {"mtop=\"0050\"", 20}, {"top=\"5\"", 23},
        {"left=\"5\"", 24},     {"width=\"5\"", 25},    {"Angle=\"0\">", 30},   {"cSpace=\"+000.00\"", 30},
        {"cLeading=\"+0.00\">", 35}, {"xtop=\"5\"", 0},  {"Top=\"5\"", 0},       {"<text", 0},
        {"top", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CRtfXmlParse::Keyword(c.token), c.id) << c.token;
}

TEST(XmlParse, AttributeValuesAndNumbers) {
    struct Case {
        const char* token;
        bool ok;
        const char* value;
    } cases[] = {
        {"family=\"Times", true, "Times"},
        {"color=\"#ff0000\">", true, "#ff0000"},
        {"alternate=\"\"", true, ""},
        {"a=\"b=c\"", true, "b=c"},
        {"=\"5\"", false, ""},
        {"noequals", false, ""},
    };
    for (const Case& c : cases) {
        std::string v = "junk";
        EXPECT_EQ(CRtfXmlParse::AttrValue(c.token, v), c.ok) << c.token;
        EXPECT_EQ(v, c.value) << c.token;
    }

    struct Num {
        const char* text;
        int32_t value;
    } nums[] = {
        {"+000.00", 0},        {"-0001.50", -1},       {"12abc", 12},          {"abc", 0},
        {"  7", 7},            {"", 0},                {"4294967294", INT32_MAX}, {"-99999999999", INT32_MIN},
        {"0050", 50},
    };
    for (const Num& n : nums) EXPECT_EQ(CRtfXmlParse::AtoL(n.text), n.value) << n.text;

    EXPECT_EQ(CRtfXmlParse::Tokenize("<text  top=\"1\"   left=\"2\">"),
              (std::vector<std::string>{"<text", "top=\"1\"", "left=\"2\">"}));
    EXPECT_TRUE(CRtfXmlParse::Tokenize("   ").empty());
}

TEST(XmlParse, ContentDecoding) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a&amp;lt;b", "a<b"},  // the writer's escaped "&lt;" text reads back as '<'
        // Each replacement is one pass, so a doubly escaped entity loses one level only.
        {"a&amp;amp;lt;b", "a&amp;lt;b"},
        {"Fish &amp; chips", "Fish & chips"},
        {"&quot;q&quot;", "\"q\""},
        {"quot;", "\""},
        {"&lt;&gt;", "<>"},
        {"{x}", "\\{x\\}"},
        {"\\uc1\\u8212X", "\\uc1\\u8212X"},
    };
    for (const Case& c : cases) EXPECT_EQ(CRtfXmlParse::DecodeContent(c.in), c.out) << c.in;
}

TEST(XmlParse, HeaderValuesAreCutAtSpaces) {
    TempXml xml(Document(PageLine(1) + "</page>\n"));
    CRtfXmlParse reader(xml.path());
    ASSERT_TRUE(reader.IsOpen());
    CRtfXmlParse::DocInfo info;
    reader.GetDocInfo(&info);
    EXPECT_EQ(info.author, "John");
    EXPECT_EQ(info.keywords, "k");
    EXPECT_EQ(info.date, "2020-01-02T03:04:05+00:00");
    EXPECT_EQ(info.subject, "S");
    EXPECT_EQ(reader.GetFileName(), "doc.xml");
}

TEST(XmlParse, FontSpecifications) {
    TempXml xml(Document(PageLine(1) + kFonts + "</page>\n"));
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
}

TEST(XmlParse, IncompleteDocumentIsNotOpened) {
    TempXml cut(std::string(kDecl) + kRoot + PageLine(1) + kFonts);
    EXPECT_FALSE(CRtfDocument::CreateDocument(cut.path(), "/dev/null"));
    EXPECT_FALSE(CRtfDocument::CreateDocument("/nonexistent/doc.xml", "/dev/null"));
    EXPECT_FALSE(CRtfDocument::CreateDocument("", "/dev/null"));
}

TEST(XmlParse, PageAttributes) {
    struct Case {
        const char* attrs;
        CRect box;
        int32_t rotation;
    } cases[] = {
        {"pnumber=\"1\" ptop=\"0\" pleft=\"0\" pheight=\"792\" pwidth=\"612\" protation=\"0\"", {0, 0, 612, 792}, 0},
        {"pnumber=\"1\" ptop=\"0\" pleft=\"0\" pheight=\"3000\" pwidth=\"3000\" protation=\"90\"",
         {0, 0, 2375, 2375}, 90},
        {"pnumber=\"1\" ptop=\"10\" pleft=\"20\" pheight=\"100\" pwidth=\"200\" protation=\"45\"",
         {20, 10, 220, 110}, 0},
        // Height and width add to what is stored when they come.
        {"pnumber=\"1\" pheight=\"100\" pwidth=\"200\" ptop=\"10\" pleft=\"20\" protation=\"270\"",
         {20, 10, 200, 100}, 270},
    };
    for (const Case& c : cases) {
        TempXml xml(Document(std::string("<page ") + c.attrs + ">\n</page>\n"));
        auto doc = Open(xml);
        ASSERT_TRUE(doc);
        ASSERT_EQ(doc->BeginPage(1), 1);
        CRtfPage* page = doc->GetPage();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->m_rect, c.box) << c.attrs;
        EXPECT_EQ(page->m_nRotation, c.rotation) << c.attrs;
    }
}

TEST(XmlParse, MarginsOutsideZeroToFiftyBecomeFifty) {
    TempXml xml(Document(PageLine(1) + "<margin mleft=\"0060\" mtop=\"-1\" mbottom=\"0010\" mright=\"0050\">\n" +
                         "</page>\n"));
    auto doc = Open(xml);
    ASSERT_TRUE(doc);
    doc->BeginPage(1);
    CRtfPage* page = doc->GetPage();
    EXPECT_EQ(page->m_nMarginLeft, 50);
    EXPECT_EQ(page->m_nMarginTop, 50);
    EXPECT_EQ(page->m_nMarginBottom, 10);
    EXPECT_EQ(page->m_nMarginRight, 50);
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
    EXPECT_EQ(a->m_bToc, 1);
    EXPECT_EQ(a->m_nAngle, 15);
    CRtfFont* spec = doc->FindSpecById(0);
    EXPECT_EQ(a->m_nFont, spec->m_pFontData->m_nIndex);
    EXPECT_EQ(a->m_nFontSize, 12);
    EXPECT_EQ(a->m_nColor, 1);
    EXPECT_EQ(a->m_nFontStyle, spec->m_nStyle);
    EXPECT_EQ(a->m_pPage.raw(), doc->GetPage());
    EXPECT_EQ(a->m_pColors.raw(), &doc->m_colors);
    EXPECT_EQ(a->m_pFonts.raw(), &doc->m_fonts);
    ASSERT_EQ(a->m_words.GetCount(), 1);
    TRtfWord<void>* w = a->m_words.GetHead();
    EXPECT_EQ(w->m_strText, "hello");
    EXPECT_EQ(w->m_nStyle, 3);
    EXPECT_EQ(w->m_nHScale, 100);
    EXPECT_EQ(w->m_nFont, a->m_nFont);
    EXPECT_EQ(w->m_nFontSize, 12);
    EXPECT_EQ(w->m_nColor, 1);
    EXPECT_EQ(w->m_pText.raw(), a);

    // An unknown font id gives font 0, size 10, no colour.
    EXPECT_EQ(b->m_rect, CRect(10, 300, 40, 312));
    EXPECT_EQ(b->m_nRotation, 0);
    EXPECT_EQ(b->m_nFont, 0);
    EXPECT_EQ(b->m_nFontSize, 10);
    EXPECT_EQ(b->m_nColor, 0);
    EXPECT_EQ(b->m_pFonts.raw(), &doc->m_fonts);
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
    const int directions[][2] = {{1, 0}, {2, 180}, {3, 270}, {4, 90}, {5, 0}, {7, 0}, {0, 0}};
    for (const auto& d : directions) {
        TempXml xml(Document(PageLine(1) + kFonts + TextElement(100, 10, Data("t"), d[0]) + "</page>\n"));
        auto doc = Open(xml);
        ASSERT_TRUE(doc);
        doc->BeginPage(1);
        auto frags = Fragments(*doc);
        ASSERT_EQ(frags.size(), 1u) << d[0];
        EXPECT_EQ(frags[0]->m_nRotation, d[1]) << d[0];
    }
}

TEST(XmlParse, DataLinesMakeWords) {
    struct Case {
        const char* name;
        std::string data;
        size_t fragments;
        const char* words;
    } cases[] = {
        {"spaces only", Data("   ") + Data(""), 0, ""},
        {"empty content is one space", Data("") + Data("x"), 1, "[ ][x]"},
        {"content cut by a line end", Data("first part\nsecond part"), 1, "[first part]"},
        {"lines that are no data are skipped", "junk\n\n" + Data("a") + "  <data>b\n", 1, "[a]"},
        {"entities and braces", Data("a&amp;lt;b {c}"), 1, "[a<b \\{c\\}]"},
    };
    for (const Case& c : cases) {
        TempXml xml(Document(PageLine(1) + kFonts + TextElement(100, 10, c.data) + "</page>\n"));
        auto doc = Open(xml);
        ASSERT_TRUE(doc);
        doc->BeginPage(1);
        auto frags = Fragments(*doc);
        ASSERT_EQ(frags.size(), c.fragments) << c.name;
        if (c.fragments == 1) {
            EXPECT_EQ(WordsOf(*frags[0]), c.words) << c.name;
        }
    }
}

TEST(XmlParse, ElementEndedByPageEnd) {
    // A text element closed by </page> still counts, and the page ends there.
    TempXml xml(Document(PageLine(1) + kFonts + "<text top=\"5\" left=\"5\" width=\"9\" height=\"9\" font=\"0\">\n" +
                         Data("kept") + "</page>\n" + PageLine(2) + TextElement(100, 10, Data("next")) + "</page>\n"));
    auto doc = Open(xml);
    ASSERT_TRUE(doc);
    doc->BeginPage(1);
    auto frags = Fragments(*doc);
    ASSERT_EQ(frags.size(), 1u);
    EXPECT_EQ(WordsOf(*frags[0]), "[kept]");
    doc->EndPage(1);
    doc->BeginPage(2);
    frags = Fragments(*doc);
    ASSERT_EQ(frags.size(), 1u);
    EXPECT_EQ(WordsOf(*frags[0]), "[next]");
}

TEST(XmlParse, PagesAreFoundInIncreasingOrder) {
    auto page = [](int n, const std::string& word) {
        return PageLine(n) + (n == 2 ? kFonts : "") + TextElement(100, 10, Data(word)) + "</page>\n";
    };
    TempXml xml(Document(page(2, "two") + page(4, "four")));
    auto doc = Open(xml);
    ASSERT_TRUE(doc);

    // Page 3 is not in the file: page 2 is passed over, page 4 stays.
    ASSERT_EQ(doc->BeginPage(3), 1);
    EXPECT_TRUE(Fragments(*doc).empty());
    doc->EndPage(1);

    ASSERT_EQ(doc->BeginPage(4), 1);
    auto frags = Fragments(*doc);
    ASSERT_EQ(frags.size(), 1u);
    EXPECT_EQ(WordsOf(*frags[0]), "[four]");
    doc->EndPage(2);

    // Beyond the last page: an empty page, every time.
    ASSERT_EQ(doc->BeginPage(5), 1);
    EXPECT_TRUE(Fragments(*doc).empty());
    doc->EndPage(2);
    ASSERT_EQ(doc->BeginPage(6), 1);
    EXPECT_TRUE(Fragments(*doc).empty());
}

TEST(XmlParse, RangeNotStartingAtPageOneKeepsItsText) {
    // The document holds every page of the PDF; converting pages 2 and 3
    // must not hand page 2 over empty because page 1 ended first.
    auto page = [](int n) {
        return PageLine(n) + (n == 1 ? kFonts : "") + TextElement(100, 10, Data("p" + std::to_string(n))) +
               "</page>\n";
    };
    TempXml xml(Document(page(1) + page(2) + page(3)));
    auto doc = Open(xml);
    ASSERT_TRUE(doc);
    for (int n : {2, 3}) {
        ASSERT_EQ(doc->BeginPage(n), 1);
        auto frags = Fragments(*doc);
        ASSERT_EQ(frags.size(), 1u) << n;
        EXPECT_EQ(WordsOf(*frags[0]), "[p" + std::to_string(n) + "]");
        doc->EndPage(n == 2 ? 1 : 2);
    }
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
    EXPECT_EQ(read(ToCrLfText(lf)), expected);
}
