// The RTF document writer: header, pages and the closing brace.
#include "rtf/rtf_file.h"

#include <cctype>
#include <cstdio>
#include <cstdarg>
#include <cstring>

#include "layout/layout_document.h"
#include "layout/model.h"
#include "rtf/blocks.h"
#include "rtf/fields.h"
#include "rtf/runs.h"

namespace {

constexpr const char* kPageBreak = "\\pard\\sect\\sectd\\sbkpage";
constexpr const char* kSectionBreak = "\\pard\\sect\\sectd\\sbknone";
// The empty paragraph that would otherwise end the document.
constexpr const char* kFinalPar = " \\par";
// Where the text of a flowing page's first paragraph begins: the end of its
// paragraph format.
constexpr const char* kFirstParagraphText = "\\slmult0 ";

// Face names (lower case, whole name) that get an RTF font-family word.
struct FamilyWord {
    const char* face;
    const char* word;
};
constexpr FamilyWord kFamilyWords[] = {
    {"times new roman", "\\froman"}, {"palatino", "\\froman"},    {"symbol", "\\ftech"},
    {"wingdings", "\\ftech"},        {"wingdings 2", "\\ftech"},  {"wingdings 3", "\\ftech"},
    {"old english", "\\fdecor"},     {"itc zapf", "\\fdecor"},    {"zapf itc", "\\fdecor"},
    {"courier", "\\fmodern"},        {"courier new", "\\fmodern"}, {"pica", "\\fmodern"},       {"serif", "\\fserif"},
    {"helvetica", "\\fswiss"},       {"arial", "\\fswiss"},       {"trebuchetms", "\\fswiss"},
    {"cursive", "\\fscript"},        {"miriam", "\\fbidi"},
};

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof buf) return std::string(buf, static_cast<std::size_t>(n));
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    va_start(ap, fmt);
    std::vsnprintf(out.data(), out.size(), fmt, ap);
    va_end(ap);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The line writer of each layout; the leftovers of a page use it too.
std::string WriteTextFor(int layout, CRtfXmlText& text) {
    switch (layout) {
        // A turned text goes into a text box of its own shape (a frame
        // would stand upright and break the text at every word), anchored
        // in a paragraph of its own: in a frame's paragraph it would leave
        // the page.
        case kLayoutExact:
            return TextAngle(text) != 0 ? "\\pard " + WriteRotated(text) : WriteExactFrames(text);
        case kLayoutNoImages: return WriteParagraph(text);
        case kLayoutPlainText: return WritePlainParagraph(text);
        default: return WriteFragment(text);
    }
}

// %u of a signed value prints its unsigned 32-bit form, as the format always has.
unsigned U(int32_t v) { return static_cast<unsigned>(v); }

}  // namespace

std::string ToCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

CRtfFile::CRtfFile(const CLayoutDocument* tables, const RtfDocInfo& info, const std::string& path)
    : m_pTables(tables), m_info(info) {
    m_file = std::fopen(path.c_str(), "wb");
    if (m_file == nullptr) return;
    m_bOpen = true;
    m_bOk = Write(BuildHeader());
}

CRtfFile::~CRtfFile() { Close(); }

bool CRtfFile::Close() {
    if (!m_bOpen) return m_bOk && !m_bWriteFailed;
    Write("}");
    if (std::fclose(m_file) != 0) m_bWriteFailed = true;
    m_file = nullptr;
    m_bOpen = false;
    return m_bOk && !m_bWriteFailed;
}

bool CRtfFile::Write(const std::string& text) {
    if (!m_bOpen) return false;
    const std::string bytes = ToCrLf(text);
    // A short write (a full disk) is remembered: the document then counts as
    // failed and is not put in place of an existing one.
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
    if (!ok) m_bWriteFailed = true;
    return ok;
}

std::string CRtfFile::BuildHeader() {
    std::string out = Format("{\\rtf\\ansi\\deff%u\\ansicpg%u", 0u, 1252u);
    out += "\n";
    out += BuildFontTable();
    out += BuildColorTable();
    out += BuildInfo();
    out += "\\jexpand\\viewkind1\\viewscale100";
    // Every column of a section ends at an explicit column break, so
    // balancing the columns cannot change where text falls; the word
    // processor would still lay each multi-column section out again and
    // again to balance it, which takes most of its time on manuals.
    out += "\\nocolbal\n";
    return out;
}

std::string CRtfFile::BuildFontTable() {
    m_families.clear();
    for (const FamilyWord& f : kFamilyWords) m_families.emplace(f.face, f.word);

    std::string out = "{\\fonttbl\n";
    if (m_pTables != nullptr) {
        for (TRtfFontData<void>* font : m_pTables->m_fonts) {
            auto it = m_families.find(Lower(font->m_strName));
            const std::string& word = it != m_families.end() ? it->second : std::string();
            out += Format("{\\f%u%s %s;", U(font->m_nIndex), word.c_str(), font->m_strName.c_str());
            out += "}";
        }
    }
    out += "}\n";
    return out;
}

std::string CRtfFile::BuildColorTable() {
    std::string out = "{\\colortbl";
    if (m_pTables != nullptr) {
        for (RtfColorData* c : m_pTables->m_colors)
            out += Format("\\red%u\\green%u\\blue%u;", unsigned{c->m_red}, unsigned{c->m_green}, unsigned{c->m_blue});
    }
    out += "}\n";
    return out;
}

std::string CRtfFile::BuildInfo() {
    const RtfDocInfo& d = m_info;
    if (d.author.empty() && d.op.empty() && d.third.empty() && d.subject.empty()) return {};
    std::string out = "{\\info";
    if (!d.author.empty()) out += "{\\author " + d.author + "}";
    if (!d.subject.empty()) out += "{\\subject " + d.subject + "}";
    if (!d.op.empty()) out += "{\\operator " + d.op + "}";
    out += "}\n";
    return out;
}

std::string CRtfFile::BuildPageSetup(CRtfPage* page) {
    const int32_t w = page->PaperWidthTwips();
    const int32_t h = page->PaperHeightTwips();
    const int32_t l = ToTwips(page->m_nMarginLeft);
    const int32_t r = ToTwips(page->m_nMarginRight);
    const int32_t t = ToTwips(page->m_nMarginTop);
    const int32_t b = ToTwips(page->m_nMarginBottom);
    // The first page sets the document's paper; later pages set their own
    // section's page size.
    if (!m_bPageWritten)
        return Format("\\paperw%d\\paperh%d\\margl%d\\margr%d\\margt%u\\margb%u", w, h, l, r, U(t), U(b)) + "\n";
    return Format("\\pgwsxn%u\\pghsxn%u\\marglsxn%u\\margrsxn%u\\margtsxn%u\\margbsxn%u", U(w), U(h), U(l), U(r),
                  U(t), U(b));
}

// Shapes anchored in the body are painted over the text by LibreOffice
// whatever their wrapping says, except before the document's first
// paragraph; shapes of a header are painted behind the body text there
// and in Word alike. So each page's shapes behind the text are written
// into the header of the page's section, a header of one tiny paragraph
// at the top edge that leaves the body where the margins put it. A later
// page without such shapes still gets an empty header, or it would show
// the previous page's, whose header it inherits.
std::string CRtfFile::BuildBehindText(const std::string& shapes) {
    if (shapes.empty() && !m_bHeaderWritten) return {};
    m_bHeaderWritten = true;
    return "\\headery0{\\header\\pard\\plain\\sl-20\\slmult0\\fs2 " + shapes + "\\par}\n";
}

std::string CRtfFile::BuildSectionBreak(CRtfPage* page) {
    if (page->m_bFirstWrittenPage) return kSectionBreak;
    // Sections after the first page repeat the page size, or they would
    // take the document's paper; top and bottom margins are not repeated.
    return Format("%s\\pgwsxn%u\\pghsxn%u\\marglsxn%u\\margrsxn%u", kSectionBreak,
                  U(page->PaperWidthTwips()), U(page->PaperHeightTwips()), U(ToTwips(page->m_nMarginLeft)),
                  U(ToTwips(page->m_nMarginRight)));
}

std::string CRtfFile::BuildFixedBody(CRtfPage* page, int mode) {
    if (page == nullptr || !page->m_pPool) return {};
    if (mode == kLayoutExact) {
        std::vector<ExactFrame> frames;
        for (CRtfXmlText* text : page->m_pPool->m_main) {
            std::vector<ExactFrame> line = ExactFramesOf(*text);
            frames.insert(frames.end(), std::make_move_iterator(line.begin()), std::make_move_iterator(line.end()));
        }
        return WriteExactBlocks(frames, page->m_pDoc ? &page->m_pDoc->Context() : nullptr,
                                static_cast<int32_t>(page->PaperWidthTwips()),
                                static_cast<int32_t>(page->PaperHeightTwips()));
    }
    std::string out;
    for (CRtfXmlText* text : page->m_pPool->m_main) out += WriteTextFor(mode, *text);
    return out;
}

std::string CRtfFile::BuildFlowingBody(CRtfPage* page, bool last) {
    if (page == nullptr) return {};
    TSafeList<CRtfSection>& sections = page->m_flow.m_sections;
    if (sections.IsEmpty()) return {};

    // Each section spans the text width; the first starts at the top margin
    // and each later one where the previous one ends.
    CRtfSection* previous = nullptr;
    for (CRtfSection* s : sections) {
        s->m_rect.left = page->m_nMarginLeft;
        s->m_rect.right = page->m_rect.right - page->m_nMarginRight - page->m_rect.left;
        if (previous == nullptr) {
            s->m_rect.top = page->m_nMarginTop;
            if (s->m_rect.bottom == 0) s->m_rect.bottom = page->m_rect.bottom - page->m_rect.top - page->m_nMarginTop;
        } else {
            s->m_rect.top = previous->m_rect.bottom;
        }
        previous = s;
    }

    std::string body;
    std::string lastBreak;
    for (CRtfSection* s : sections) {
        WriteSection(*s, body);
        lastBreak = BuildSectionBreak(page);
        body += lastBreak;
    }
    TrimFlowingBody(body, lastBreak, last);
    return body;
}

void CRtfFile::TrimFlowingBody(std::string& body, const std::string& lastBreak, bool last) {
    if (!lastBreak.empty() && EndsWith(body, lastBreak)) body.erase(body.size() - lastBreak.size());
    // A final empty paragraph can push an empty page onto the document.
    const std::string finalPar = kFinalPar;
    if (last && body.size() > finalPar.size() && EndsWith(body, finalPar)) body.erase(body.size() - finalPar.size());
}

bool CRtfFile::WritePage(CRtfPage* page, int layout, int flags) {
    if (page == nullptr) return false;
    const std::string pageBreak = (flags & 1) == 0 ? kPageBreak : "";
    page->m_bFirstWrittenPage = m_bPageWritten ? 0 : 1;

    // The first page this writer handles never starts with a break.
    std::string text;
    if (m_bPageWritten) text = pageBreak;

    std::string objects;
    std::string behind;
    std::string pathsBehind, pathsFront;
    for (const auto& obj : page->m_pObjects) {
        if (!obj) continue;
        if (obj->m_nKind == CRtfShpObject::kImage) {
            if (auto* image = dynamic_cast<CRtfImage*>(obj.get()))
                (image->m_bDrawing ? behind : objects) += image->WriteRtf(page);
        } else if (obj->m_nKind == CRtfShpObject::kLine) {
            if (auto* line = dynamic_cast<CRtfLine*>(obj.get())) {
                pathsFront += line->m_strFront;
                pathsBehind += line->m_strShape;
            }
        }
    }
    // The pictures of the drawn paths are pictures like the page's others,
    // which LibreOffice keeps behind the text in the body too and stacks
    // in the order written: the paths behind the text under the page's
    // pictures, those in front over them.
    objects = pathsBehind + objects + pathsFront;

    const std::string body =
        layout == kLayoutFlowing ? BuildFlowingBody(page, (flags & 2) != 0) : BuildFixedBody(page, layout);

    std::string leftovers;
    if (page->m_pPool) {
        for (CRtfXmlText* t : page->m_pPool->m_leftover) {
            t->m_pPage = page;
            leftovers += WriteTextFor(layout, *t);
        }
    }

    if (!objects.empty() || !behind.empty() || !body.empty() || !leftovers.empty()) {
        // Links into the document lead to the top of their page.
        const std::string bookmark =
            m_pTables != nullptr && m_pTables->m_linkedPages.count(page->m_nPage) != 0 ? PageBookmark(page->m_nPage)
                                                                                         : std::string();
        // Shapes written ahead of the page's first paragraph make a paragraph
        // of their own in LibreOffice, a line of the default font that pushes
        // the page's text down and its last lines onto the next page. In the
        // flowing layout they go into the first paragraph's text instead;
        // those behind the text go into the section's header either way.
        const size_t first = layout == kLayoutFlowing ? body.find(kFirstParagraphText) : std::string::npos;
        if (first != std::string::npos) {
            const size_t at = first + std::strlen(kFirstParagraphText);
            text += BuildPageSetup(page);
            text += BuildBehindText(behind);
            text += body.substr(0, at);
            text += bookmark;
            text += objects;
            text += body.substr(at);
        } else {
            // A fixed page's pictures close its body, after its text boxes:
            // written ahead of them, they made LibreOffice move the text
            // boxes down, and the page spilt onto the next.
            const bool objectsLast = layout != kLayoutFlowing;
            if (!objectsLast) text += objects;
            text += BuildPageSetup(page);
            text += BuildBehindText(behind);
            text += bookmark;
            text += body;
            if (objectsLast) text += objects;
        }
        text += leftovers;
    }

    if (text.empty()) {
        if (m_bPageWritten) return false;
        m_bPageWritten = true;
        return true;
    }
    if (!Write(text)) return false;
    m_bPageWritten = true;
    return true;
}
