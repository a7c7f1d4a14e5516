// Hyperlink fields of the run writer: one field per link however many runs
// the extractor split its text into, links into the document pointing at
// page bookmarks, and field arguments that survive quotes and backslashes.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "layout/layout_document.h"
#include "layout/words.h"
#include "rtf/fields.h"
#include "rtf/runs.h"

namespace {

const std::string kA = "<#dsAnchor#http://a.org/~dsAnchor#>";
const std::string kB = "<#dsAnchor#http://b.org/~dsAnchor#>";
const std::string kEnd = "</~dsAnchor#>";
const std::string kFieldA = "{\\field{\\*\\fldinst{HYPERLINK \"http://a.org/\"}}{\\fldrslt {";
const std::string kFieldB = "{\\field{\\*\\fldinst{HYPERLINK \"http://b.org/\"}}{\\fldrslt {";

// Whether every group that opens closes, and none closes that did not open.
bool Balanced(const std::string& s) {
    int depth = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
            continue;
        }
        if (s[i] == '{') ++depth;
        if (s[i] == '}' && --depth < 0) return false;
    }
    return depth == 0;
}

}  // namespace

TEST(HyperlinkFields, OneFieldPerLink) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    } cases[] = {
        {"link inside a run", "\\f0 {see " + kA + "this" + kEnd + " page}",
         "\\f0 {see " + kFieldA + "this}}} page}"},
        {"pieces in one run", "\\f0 {" + kA + "C" + kEnd + kA + "r" + kEnd + kA + "e" + kEnd + "}",
         "\\f0 {" + kFieldA + "Cre}}}}"},
        // A link set glyph by glyph in runs of changing format: the field
        // leaves the run groups, and the formatting after it is set again.
        {"pieces in runs of their own", "\\fs24\\ul {" + kA + "C" + kEnd + "}\\ul0 \\fs20\\ul {" + kA + "r" + kEnd + "}\\ul0 \\fs24 {next}",
         "\\fs24\\ul " + kFieldA + "{C}\\ul0 \\fs20\\ul {r}}}}\\ul0 \\fs20\\ul \\ul0 \\fs24 {next}"},
        {"pieces across a spacer", "\\f0 {" + kA + "a" + kEnd + "}{ }\\f0 {" + kA + "b" + kEnd + "}",
         "\\f0 " + kFieldA + "{a}{ }\\f0 {b}}}}\\f0 "},
        {"a superscript inside the link",
         "\\f0 {" + kA + "x" + kEnd + "}{\\super \\fs25\\up3 {" + kA + "2" + kEnd + "}}",
         "\\f0 " + kFieldA + "{x}{\\super \\fs25\\up3 {2}}}}}"},
        {"text between two pieces keeps them apart", "{" + kA + "a" + kEnd + " and " + kA + "b" + kEnd + "}",
         "{" + kFieldA + "a}}} and " + kFieldA + "b}}}}"},
        {"two targets side by side", "{" + kA + "a" + kEnd + kB + "b" + kEnd + "}",
         "{" + kFieldA + "a}}}" + kFieldB + "b}}}}"},
        // A tab between the pieces is no formatting: nothing is lifted over it.
        {"pieces across a tab", "{" + kA + "a" + kEnd + "}\\tab {" + kA + "b" + kEnd + "}",
         "{" + kFieldA + "a}}}}\\tab {" + kFieldA + "b}}}}"},
        {"a start ends the open link", "{" + kA + "a" + kB + "b" + kEnd + "}", "{" + kFieldA + "a}}}" + kFieldB + "b}}}}"},
        {"open to the end", "{" + kA + "open}", kFieldA + "{open}}}}"},
        {"no target", "{<#dsAnchor#~dsAnchor#>plain" + kEnd + "}", "{plain}"},
        {"stray end", "{stray" + kEnd + " end}", "{stray end}"},
        {"cut marker", "{cut <#dsAnchor#target}", "{cut <#dsAnchor#target}"},
        {"escaped braces stay text", "{\\{" + kA + "\\}" + kEnd + "}", "{\\{" + kFieldA + "\\}}}}}"},
    };
    for (const Case& c : cases) {
        const std::string out = MakeHyperlinkFields(c.in, "doc.xml");
        EXPECT_EQ(out, c.out) << c.name;
        EXPECT_TRUE(Balanced(out)) << c.name;
    }
}

TEST(HyperlinkFields, TargetsInTheDocumentAndEscapedArguments) {
    struct Case {
        const char* name;
        std::string target;
        std::string instruction;  // empty: no field at all
    } cases[] = {
        {"page of this document", "doc.xml#7", "HYPERLINK \\\\l \"page7\""},
        {"place not found", "doc.xml#0", ""},
        {"another document's page", "other.xml#7", "HYPERLINK \"other.xml#7\""},
        {"quote in a URI", "http://x/?q=\"a\"", "HYPERLINK \"http://x/?q=%22a%22\""},
        // The run text holds a backslash doubled.
        {"backslash in a URI", "http://x/a\\\\b", "HYPERLINK \"http://x/a%5Cb\""},
        {"escaped brace", "http://x/\\{y\\}", "HYPERLINK \"http://x/\\{y\\}\""},
    };
    for (const Case& c : cases) {
        const std::string out = MakeHyperlinkFields("{<#dsAnchor#" + c.target + "~dsAnchor#>t" + kEnd + "}", "doc.xml");
        if (c.instruction.empty()) {
            EXPECT_EQ(out, "{t}") << c.name;
        } else {
            EXPECT_EQ(out, "{{\\field{\\*\\fldinst{" + c.instruction + "}}{\\fldrslt {t}}}}") << c.name;
        }
    }
    // A page the document does not hold (a range was chosen) has no
    // bookmark: its links keep only their text.
    const std::set<int32_t> held = {1, 2};
    const struct {
        const char* target;
        const char* out;
    } ranged[] = {
        {"doc.xml#2", "{{\\field{\\*\\fldinst{HYPERLINK \\\\l \"page2\"}}{\\fldrslt {t}}}}"},
        {"doc.xml#5", "{t}"},
        {"other.xml#5", "{{\\field{\\*\\fldinst{HYPERLINK \"other.xml#5\"}}{\\fldrslt {t}}}}"},
    };
    for (const auto& c : ranged) {
        const std::string in = "{<#dsAnchor#" + std::string(c.target) + "~dsAnchor#>t" + kEnd + "}";
        EXPECT_EQ(MakeHyperlinkFields(in, "doc.xml", &held), c.out) << c.target;
    }
    EXPECT_EQ(LinkedPage("#12"), 12);
    EXPECT_EQ(LinkedPage("#"), 0);
    EXPECT_EQ(LinkedPage("#1a"), 0);
    EXPECT_EQ(LinkedPage("#99999999999"), 0);
    EXPECT_EQ(PageBookmark(3), "{\\*\\bkmkstart page3}{\\*\\bkmkend page3}");
}

TEST(RunJoiner, RunsOfOneFormatShareAGroup) {
    TRtfWord<void> plain;
    plain.m_nFontSize = 10;
    plain.m_nHScale = 100;
    TRtfWord<void> bold = plain;
    bold.m_nStyle = 0x01;

    struct Step {
        const TRtfWord<void>* word;
        const char* text;
        size_t spaces;            // before the word
        const char* gap = nullptr;  // a gap group before the word
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::string out;
    } cases[] = {
        {"pieces of a word", {{&plain, "par", 0}, {&plain, "tial", 0}}, "\\fs20\\cf0\\f0\\charscalex100 {partial}"},
        {"a spacer inside the run", {{&plain, "a", 0}, {&plain, "b", 2}}, "\\fs20\\cf0\\f0\\charscalex100 {a  b}"},
        {"format changes", {{&plain, "a", 0}, {&bold, "b", 1}, {&bold, "c", 0}},
         "\\fs20\\cf0\\f0\\charscalex100 {a}{ }\\fs20\\cf0\\f0\\charscalex100\\b {bc}\\b0 "},
        {"spaces at the end", {{&plain, "a", 0}, {nullptr, "", 1}}, "\\fs20\\cf0\\f0\\charscalex100 {a}{ }"},
        {"a widened space inside the run",
         {{&plain, "a", 0}, {&plain, "b", 0, "{\\expndtw40  }"}},
         "\\fs20\\cf0\\f0\\charscalex100 {a{\\expndtw40  }b}"},
        {"a widened space between formats",
         {{&plain, "a", 0}, {&bold, "b", 0, "{\\expndtw40  }"}},
         "\\fs20\\cf0\\f0\\charscalex100 {a}{\\expndtw40  }\\fs20\\cf0\\f0\\charscalex100\\b {b}\\b0 "},
    };
    for (const Case& c : cases) {
        CRunJoiner runs;
        std::vector<TRtfWord<void>> words;
        words.reserve(c.steps.size());
        for (const Step& s : c.steps) {
            if (s.spaces > 0) runs.Spaces(s.spaces);
            if (s.gap != nullptr) runs.Gap(s.gap);
            if (s.word == nullptr) continue;
            words.push_back(*s.word);
            words.back().m_strText = s.text;
            runs.Add(words.back(), 0, false);
        }
        EXPECT_EQ(runs.Take(), c.out) << c.name;
    }
}

// The narrowing of a fixed-pitch stand-in and a fitted line's condensing
// multiply; a line set smaller keeps the stand-in's narrowing.
TEST(RunJoiner, StandInNarrowingComposesWithTheLineFit) {
    TRtfWord<void> word;
    word.m_nFontSize = 10;
    word.m_nHScale = 90;
    word.m_nFaceScale = 80;
    word.m_strText = "code";
    const struct {
        LineFit fit;
        const char* out;
    } cases[] = {
        {{1.0, 1.0}, "\\fs20\\cf0\\f0\\charscalex72 {code}"},
        {{0.9, 1.0}, "\\fs20\\cf0\\f0\\charscalex64 {code}"},
        {{0.8, 0.75}, "\\fs15\\cf0\\f0\\charscalex57 {code}"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatRun(word, 0, false, c.fit), c.out) << c.fit.scale << " " << c.fit.size;
}

namespace {

class LineDocument : public CLayoutDocument {
public:
    LineDocument() : CLayoutDocument(nullptr) {}
    CRtfPage* GetPage() const override { return nullptr; }
    bool AddElement(CRtfXmlText*) override { return false; }
    std::string GetSourceName() const override { return "doc.xml"; }
};

void SetPiece(CRtfXmlText& text, CRtfPage& page, const char* words, int32_t left, int32_t right) {
    text.m_pPage = &page;
    text.m_rect = CRect(left, 100, right, 118);
    text.m_rcLine = text.m_rect;
    text.m_nFontSize = 12;
    TRtfWord<void>* w = text.NewWord();
    w->m_strText = words;
    w->m_nFontSize = 12;
    text.m_words.AddTail(w);
}

}  // namespace

// A line written on its own, outside any column (the leftovers written
// after a page's body), is fitted to the room it had on the PDF page as a
// line of a column that wide is, rather than set at its font's width with a
// run of spaces for each gap. In the column a line set short is spread to
// its width by its paragraph; alone, by its widened gap.
TEST(RunJoiner, ALineOutsideAColumnIsFittedToItsPlace) {
    LineDocument doc;
    CRtfPage page(&doc, 1);
    const struct {
        const char* name;
        int32_t gapLeft;  // where the second piece starts; it ends 130 units on
        bool condensed;
    } cases[] = {
        {"as wide as on the page", 260, false},
        {"wider than on the page", 170, true},
    };
    for (const auto& c : cases) {
        CRtfXmlText head;
        CRtfXmlText piece;
        SetPiece(head, page, "The quick brown fox", 100, c.gapLeft - 20);
        SetPiece(piece, page, "jumps over it", c.gapLeft, c.gapLeft + 130);
        DebugRtfXmlTextList joined;
        joined.AddTail(&piece);
        head.m_pJoined = &joined;
        const std::string alone = WriteFragment(head);
        const CRect column(100, 100, c.gapLeft + 130, 118);
        const std::string spread =
            c.condensed ? alone : "\\qd\\ri0 " + std::regex_replace(alone, std::regex(R"(\{\\expndtw\d+  \})"), " ");
        EXPECT_EQ(spread, WriteFragment(head, &column)) << c.name;
        EXPECT_EQ(alone.find("\\charscalex100") == std::string::npos, c.condensed) << c.name << ": " << alone;
    }
}
