// The RTF document writer: header, page texts, section breaks and bodies,
// byte for byte as they reach the file.
#include <gtest/gtest.h>

#include <string>

#include "control/rtf_document.h"
#include "layout/model.h"
#include "layout/xml_parse.h"
#include "rtf/rtf_file.h"
#include "rtf/runs.h"
#include "support/test_util.h"

namespace {

using namespace qmtest;

TRtfFontData<void>* AddOutputFont(CRtfDocument& doc, const std::string& face) {
    auto f = std::make_unique<TRtfFontData<void>>();
    f->m_strName = face;
    f->m_nIndex = doc.m_fonts.GetCount();
    TRtfFontData<void>* p = f.get();
    doc.m_fonts.AddTail(p);
    doc.m_fontStore.push_back(std::move(f));
    return p;
}

const char* kPlainHeader =
    "{\\rtf\\ansi\\deff0\\ansicpg1252\r\n{\\fonttbl\r\n{\\f0\\froman Times New Roman;}}\r\n"
    "{\\colortbl\\red0\\green0\\blue0;}\r\n\\jexpand\\viewkind1\\viewscale100\r\n";

// A page of the usual size (612 by 792, margins 50 left and top, 10 right
// and bottom) made current in `doc`, optionally carrying one drawn path
// whose ready shape text is `shape`.
CRtfPage* NewPage(CRtfDocument& doc, int number, const std::string& shape) {
    doc.m_pPage = std::make_unique<CRtfPage>(&doc, number);
    CRtfPage* page = doc.m_pPage.get();
    page->m_nMarginLeft = 50;
    page->m_nMarginTop = 50;
    page->m_nMarginRight = 10;
    page->m_nMarginBottom = 10;
    if (!shape.empty()) {
        auto line = std::make_unique<CRtfLine>();
        line->m_strShape = shape;
        page->m_pObjects.push_back(std::move(line));
    }
    return page;
}

CRtfXmlText* NewText(CRtfPage* page, int top, const std::string& word) {
    CRtfXmlText* t = page->Make<CRtfXmlText>();
    t->m_rect = CRect(60, top, 200, top + 12);
    t->m_rcLine = t->m_rect;
    t->m_pPage = page;
    TRtfWord<void>* w = t->NewWord();
    w->m_strText = word;
    t->m_words.AddTail(w);
    return t;
}

// The page setups of the usual page, in twips: 612 -> 8363, 792 -> 10823,
// 50 -> 683, 10 -> 136.
const char* kPaperSetup = "\\paperw8363\\paperh10823\\margl683\\margr136\\margt683\\margb136\n";
const char* kSectionSetup = "\\pgwsxn8363\\pghsxn10823\\marglsxn683\\margrsxn136\\margtsxn683\\margbsxn136";
const char* kPageBreak = "\\pard\\sect\\sectd\\sbkpage";

}  // namespace

TEST(RtfFile, HeaderBytes) {
    TempDir dir;
    {
        CRtfDocument doc(nullptr);
        for (const char* face : {"Verdana", "Arial", "Arial Narrow", "Symbol", "Trebuchet MS", "COURIER"})
            AddOutputFont(doc, face);
        doc.AddColorHex(255, 0, 0);
        doc.m_strRtfPath = dir / "h.rtf";
        ASSERT_EQ(doc.OpenOutput(), 1);
    }
    EXPECT_TRUE(SameText("{\\rtf\\ansi\\deff0\\ansicpg1252\r\n"
                   "{\\fonttbl\r\n"
                   "{\\f0\\froman Times New Roman;}{\\f1 Verdana;}{\\f2\\fswiss Arial;}{\\f3 Arial Narrow;}"
                   "{\\f4\\ftech Symbol;}{\\f5 Trebuchet MS;}{\\f6\\fmodern COURIER;}}\r\n"
                   "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\r\n"
                   "\\jexpand\\viewkind1\\viewscale100\r\n"
                   "}", ReadFile(dir / "h.rtf")));
}

TEST(RtfFile, ColourTableAndInformationGroup) {
    CRtfDocument doc(nullptr);
    CRtfFile file(&doc, {}, "/dev/null");
    EXPECT_EQ(file.BuildColorTable(), "{\\colortbl\\red0\\green0\\blue0;}\n");
    doc.m_colors.RemoveAll();
    EXPECT_EQ(file.BuildColorTable(), "{\\colortbl}\n");

    EXPECT_EQ(file.BuildInfo(), "");
    EXPECT_EQ(CRtfFile(&doc, {"Ann", "Op", "never written", "Subj"}, "/dev/null").BuildInfo(),
              "{\\info{\\author Ann}{\\subject Subj}{\\operator Op}}\n");
    EXPECT_EQ(CRtfFile(&doc, {"", "", "", "Subj"}, "/dev/null").BuildInfo(), "{\\info{\\subject Subj}}\n");
}

TEST(RtfFile, ThreePageRange) {
    TempDir dir;
    {
        CRtfDocument doc(nullptr);
        doc.SetLayout(kLayoutPlainText);
        doc.m_strRtfPath = dir / "three.rtf";
        ASSERT_EQ(doc.OpenOutput(), 1);
        NewPage(doc, 4, "{\\shp a}");
        doc.EndPage(1);
        NewPage(doc, 5, "");  // nothing on it: its page break only
        doc.EndPage(0);
        CRtfPage* last = NewPage(doc, 6, "{\\shp c}");
        last->m_rect = CRect(0, 0, 700, 500);
        last->m_nMarginLeft = 0;
        doc.EndPage(2);
    }
    EXPECT_TRUE(SameText(std::string(kPlainHeader) + "{\\shp a}" +
                       "\\paperw8363\\paperh10823\\margl683\\margr136\\margt683\\margb136\r\n" + kPageBreak +
                       kPageBreak + "{\\shp c}" + "\\pgwsxn9566\\pghsxn6833\\marglsxn0\\margrsxn136\\margtsxn683\\margbsxn136" +
                       "}", ReadFile(dir / "three.rtf")));
}

TEST(RtfFile, EmptyFirstPageWritesNothingButCounts) {
    TempDir dir;
    {
        CRtfDocument doc(nullptr);
        doc.SetLayout(kLayoutExact);
        doc.m_strRtfPath = dir / "e.rtf";
        ASSERT_EQ(doc.OpenOutput(), 1);
        CRtfFile* file = doc.GetWriter();
        NewPage(doc, 1, "");
        EXPECT_TRUE(file->WritePage(doc.GetPage(), doc.GetLayout(), 1));
        doc.m_pPage.reset();
        EXPECT_FALSE(file->WritePage(doc.GetPage(), doc.GetLayout(), 0));  // no current page
        NewPage(doc, 2, "{\\shp b}");
        EXPECT_TRUE(file->WritePage(doc.GetPage(), doc.GetLayout(), 2));
    }
    // The second page is no longer the first written: section-level setup.
    EXPECT_TRUE(SameText(std::string(kPlainHeader) + kPageBreak + "{\\shp b}" + kSectionSetup + "}", ReadFile(dir / "e.rtf")));
}

TEST(RtfFile, FixedBodiesAndLeftoversUseTheLayoutsWriter) {
    struct Case { int layout; std::string (*body)(CRtfXmlText&); std::string (*leftover)(CRtfXmlText&); } cases[] = {
        {kLayoutExact, WriteExactFrames, WriteExactFrames},
        {kLayoutNoImages, WriteParagraph, WriteParagraph},
        {kLayoutPlainText, WritePlainParagraph, WritePlainParagraph},
        {kLayoutFlowing, nullptr, WriteFragment},  // no sections: an empty body
    };
    for (const Case& c : cases) {
        // The expected text comes from an identical page that is not written.
        CRtfDocument twin(nullptr);
        CRtfPage* tp = NewPage(twin, 1, "");
        std::string expected = kPaperSetup;
        if (c.body != nullptr) {
            expected += c.body(*NewText(tp, 100, "first"));
            expected += c.body(*NewText(tp, 200, "second"));
        }
        expected += c.leftover(*NewText(tp, 300, "rotated"));

        TempDir dir;
        {
            CRtfDocument doc(nullptr);
            doc.SetLayout(c.layout);
            doc.m_strRtfPath = dir / "f.rtf";
            ASSERT_EQ(doc.OpenOutput(), 1);
            CRtfPage* page = NewPage(doc, 1, "");
            page->m_pPool = page->Make<CRtfTextPool>();
            page->m_pPool->m_main.AddTail(NewText(page, 100, "first"));
            page->m_pPool->m_main.AddTail(NewText(page, 200, "second"));
            CRtfXmlText* left = NewText(page, 300, "rotated");
            left->m_pPage = nullptr;  // the writer sets it
            page->m_pPool->m_leftover.AddTail(left);
            doc.EndPage(1 | 2);
        }
        EXPECT_TRUE(SameText(kPlainHeader + ToCrLf(expected) + "}", ReadFile(dir / "f.rtf")));
    }
}

TEST(RtfFile, SectionBreaksAndFlowingGeometry) {
    CRtfDocument doc(nullptr);
    CRtfFile file(&doc, {}, "/dev/null");
    CRtfPage* page = NewPage(doc, 1, "");

    page->m_bFirstWrittenPage = 1;
    EXPECT_EQ(file.BuildSectionBreak(page), "\\pard\\sect\\sectd\\sbknone");
    page->m_bFirstWrittenPage = 0;
    EXPECT_EQ(file.BuildSectionBreak(page),
              "\\pard\\sect\\sectd\\sbknone\\pgwsxn8363\\pghsxn10823\\marglsxn683\\margrsxn136");

    EXPECT_EQ(file.BuildFlowingBody(page, true), "");  // no sections

    CRtfSection* first = page->Make<CRtfSection>(2);
    CRtfSection* second = page->Make<CRtfSection>(1);
    second->m_rect.bottom = 900;
    page->m_flow.m_sections.AddTail(first);
    page->m_flow.m_sections.AddTail(second);
    page->m_rect = CRect(0, 0, 612, 792);
    const std::string body = file.BuildFlowingBody(page, false);
    EXPECT_EQ(first->m_rect, CRect(50, 50, 602, 742));
    EXPECT_EQ(second->m_rect, CRect(50, 742, 602, 900));
    EXPECT_EQ(CountOccurrences(body, "\\sbknone"), 1) << body;  // one break, between the two sections
}

TEST(RtfFile, FlowingBodyEnd) {
    const std::string brk = "\\pard\\sect\\sectd\\sbknone";
    struct Case { std::string body; bool last; std::string result; } cases[] = {
        {"A" + brk + "B" + brk, false, "A" + brk + "B"},
        {"A \\par" + brk, true, "A"},
        {"A \\par" + brk, false, "A \\par"},
        {"A \\pard", true, "A \\pard"},
        {" \\par", true, " \\par"},  // at position 0 it stays
        {"A \\par \\par", true, "A \\par"},
        {brk, true, ""},
    };
    for (const Case& c : cases) {
        std::string body = c.body;
        CRtfFile::TrimFlowingBody(body, brk, c.last);
        EXPECT_EQ(body, c.result) << c.body;
    }
}

TEST(RtfFile, UnwritableOutputLeavesNoWriter) {
    CRtfDocument doc(nullptr);
    doc.m_strRtfPath = "/nonexistent-folder/x.rtf";
    EXPECT_EQ(doc.OpenOutput(), 0);
    EXPECT_EQ(doc.GetWriter(), nullptr);
    CRtfFile file(&doc, {}, "/nonexistent-folder/x.rtf");
    EXPECT_FALSE(file.IsOk());
    EXPECT_FALSE(file.Write("x"));
    EXPECT_EQ(ToCrLf("a\nb\r\n"), "a\r\nb\r\r\n");
}
