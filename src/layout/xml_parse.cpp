// The page XML reader: the header pass, the font specifications and the
// pages with their text elements.
//
// Lines may end in LF or CR LF; the device writes LF, a document written by
// a text-mode stream on Windows has CR LF, and both read the same.
#include "layout/xml_parse.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <sys/types.h>

#include "layout/layout_document.h"
#include "layout/font_table.h"
#include "layout/words.h"
#include "layout/model.h"
#include "platform/strings.h"

namespace {

// The largest position or size of a text fragment, in page units (about
// 150 km): 2^24.
constexpr int32_t kMaxTextCoordinate = 1 << 24;

enum KeywordId : int {
    kAuthor = 3,
    kKeywordsAttr = 4,
    kDate = 5,
    kSubject = 6,
    kPNumber = 7,
    kPTop = 9,
    kPLeft = 10,
    kPHeight = 11,
    kPWidth = 12,
    kPRotation = 13,
    kId = 14,
    kSize = 15,
    kFamily = 16,
    kAlternate = 17,
    kColor = 18,
    kMLeft = 19,
    kMTop = 20,
    kMBottom = 21,
    kMRight = 22,
    kTop = 23,
    kLeft = 24,
    kWidth = 25,
    kHeight = 26,
    kFont = 27,
    kDirection = 28,
    kToc = 29,
    kAngleOrCSpace = 30,
    kWSpace = 31,
    kHScale = 32,
    kStyle = 33,
    kCRise = 34,
    kCLeading = 35,
    kPitch = 36,
    kPPaperHeight = 37,
    kPPaperWidth = 38,
};

// Courier New and its metric twins advance 600 thousandths of an em a
// glyph; a stand-in is narrowed to no less than half its width.
constexpr int32_t kClassFacePitch = 600;
constexpr int32_t kMinClassFaceScale = 50;

struct KeywordEntry {
    const char* text;
    int id;
};

// Tried in this order; the first keyword that starts the token wins.
constexpr KeywordEntry kKeywords[] = {
    {"version=", 1},    {"encoding=", 2},  {"author=", 3},     {"keywords=", 4},  {"date=", 5},
    {"subject=", 6},    {"pnumber=", 7},   {"pposition=", 8},  {"ptop=", 9},      {"pleft=", 10},
    {"pheight=", 11},   {"pwidth=", 12},   {"protation=", 13}, {"id=", 14},       {"size=", 15},
    {"family=", 16},    {"alternate=", 17}, {"color=", 18},    {"mleft=", 19},    {"mtop=", 20},
    {"mbottom=", 21},   {"mright=", 22},   {"top=", 23},       {"left=", 24},     {"width=", 25},
    {"height=", 26},    {"font=", 27},     {"direction=", 28}, {"toc=", 29},      {"Angle=", 30},
    {"cSpace=", 30},    {"wSpace=", 31},   {"hScal=", 32},     {"style=", 33},    {"cRise=", 34},
    {"cLeading=", 35},  {"pitch=", 36},    {"ppaperh=", 37},  {"ppaperw=", 38},
};

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Whether `line` has a '>' at `minPos` or later (the element's tag is closed
// on this line).
bool HasCloseAt(const std::string& line, std::size_t minPos) {
    std::size_t gt = line.find('>');
    return gt != std::string::npos && gt >= minPos;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    // One pass from left to right over the original text: a replacement is
    // never searched again, so "&amp;lt;" decodes to "&lt;" and then, by the
    // next replacement, to "<" - but only one level per replacement.
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = s.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
        out.append(s, pos, hit - pos);
        out += to;
    }
    out.append(s, pos, std::string::npos);
    s.swap(out);
}

int32_t RotationOf(int32_t direction) {
    switch (direction) {
        case 2: return 180;
        case 3: return 270;
        case 4: return 90;
        default: return 0;
    }
}

}  // namespace

int CRtfXmlParse::Keyword(const std::string& token) {
    // Only the keywords that start with the token's first letter are tried,
    // in table order; this is the reader's hottest loop.
    static const std::array<std::vector<const KeywordEntry*>, 256> byFirst = [] {
        std::array<std::vector<const KeywordEntry*>, 256> table;
        for (const KeywordEntry& k : kKeywords) table[static_cast<unsigned char>(k.text[0])].push_back(&k);
        return table;
    }();
    if (token.empty()) return 0;
    for (const KeywordEntry* k : byFirst[static_cast<unsigned char>(token[0])])
        if (token.compare(0, std::char_traits<char>::length(k->text), k->text) == 0) return k->id;
    return 0;
}

bool CRtfXmlParse::AttrValue(const std::string& token, std::string& value) {
    value.clear();
    std::size_t eq = token.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    std::size_t end = token.find(' ', eq + 1);
    std::string raw = token.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1);
    for (char c : raw)
        if (c != '"' && c != '>') value.push_back(c);
    return true;
}

int32_t CRtfXmlParse::AtoL(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t v = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<int64_t>(INT32_MAX) + 1) break;  // already out of range
    }
    if (negative) v = -v;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

std::vector<std::string> CRtfXmlParse::Tokenize(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (pos < line.size()) {
        std::size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string::npos) break;
        std::size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        tokens.push_back(line.substr(start, end - start));
        pos = end;
    }
    return tokens;
}

std::string CRtfXmlParse::DecodeContent(const std::string& content) {
    std::string s = content;
    ReplaceAll(s, "&amp;", "&");
    ReplaceAll(s, "&quot;", "\"");
    ReplaceAll(s, "quot;", "\"");
    ReplaceAll(s, "&lt;", "<");
    ReplaceAll(s, "&gt;", ">");
    ReplaceAll(s, "{", "\\{");
    ReplaceAll(s, "}", "\\}");
    return s;
}

CRtfXmlParse::CRtfXmlParse(const std::string& path) : m_strPath(path) {
    m_file = std::fopen(path.c_str(), "rb");
    m_bOpen = m_file != nullptr;
    if (!m_bOpen) return;

    std::string line;
    while (ReadLine(line)) {
        if (line.empty()) continue;
        if (StartsWith(line, "<pdf2xml") && HasCloseAt(line, 1)) {
            m_pInfo = std::make_unique<DocInfo>();
            for (const std::string& token : Tokenize(line)) {
                switch (Keyword(token)) {
                    case kAuthor: AttrValue(token, m_pInfo->author); break;
                    case kKeywordsAttr: AttrValue(token, m_pInfo->keywords); break;
                    case kDate: AttrValue(token, m_pInfo->date); break;
                    case kSubject: AttrValue(token, m_pInfo->subject); break;
                    default: break;
                }
            }
            continue;
        }
        if (StartsWith(line, "<page") || StartsWith(line, "</pdf2xml>")) {
            SeekLineStart();
            break;
        }
    }
}

CRtfXmlParse::~CRtfXmlParse() {
    if (m_file != nullptr) std::fclose(m_file);
    std::free(m_pLineBuf);
}

bool CRtfXmlParse::ReadLine(std::string& line) {
    line.clear();
    if (m_file == nullptr) return false;
    m_posLine = std::ftell(m_file);
    ssize_t n = getline(&m_pLineBuf, &m_nLineBufSize, m_file);
    if (n < 0) return false;
    line.assign(m_pLineBuf, static_cast<std::size_t>(n));
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void CRtfXmlParse::SeekLineStart() {
    if (m_file != nullptr) std::fseek(m_file, m_posLine, SEEK_SET);
}

void CRtfXmlParse::NoteLinkedPages(const std::string& line, CLayoutDocument* doc) const {
    // Links into the document carry the page XML file's name and the page;
    // the pages are known before the first is written, so a page linked
    // from a later one gets its bookmark too.
    static const std::string kStart = "<#dsAnchor#";
    static const std::string kTargetEnd = "~dsAnchor#>";
    const std::string base = GetFileName();
    for (size_t at = line.find(kStart); at != std::string::npos; at = line.find(kStart, at + 1)) {
        const size_t from = at + kStart.size();
        const size_t end = line.find(kTargetEnd, from);
        if (end == std::string::npos) break;
        if (base.empty() || line.compare(from, base.size(), base) != 0) continue;
        const int32_t page = LinkedPage(line.substr(from + base.size(), end - from - base.size()));
        if (page > 0) doc->m_linkedPages.insert(page);
    }
}

bool CRtfXmlParse::ReadFonts(CLayoutDocument* doc) {
    if (m_file == nullptr || doc == nullptr) return false;
    std::rewind(m_file);
    bool result = false;
    std::string line;
    std::string value;
    while (ReadLine(line)) {
        if (line.empty()) continue;
        if (StartsWith(line, "</pdf2xml>")) {
            result = true;
            break;
        }
        NoteLinkedPages(line, doc);
        // The device indents font lines with a tab; only this pass trims.
        const std::string spec = qm::Trim(line);
        if (!StartsWith(spec, "<fontspec") || !HasCloseAt(spec, 1)) continue;
        auto font = std::make_unique<CRtfFont>();
        bool known = true;
        for (const std::string& token : Tokenize(spec)) {
            int id = Keyword(token);
            if (id == kPitch) {
                AttrValue(token, value);
                font->m_nPitch = static_cast<uint16_t>(std::clamp<int32_t>(AtoL(value), 0, 1000));
                continue;
            }
            if (id < kId || id > kColor) continue;
            AttrValue(token, value);
            switch (id) {
                case kId: font->m_nId = AtoL(value); break;
                case kSize: font->SetSize(AtoL(value)); break;
                case kFamily: font->SetName(LookupFamily(value, known)); break;
                case kAlternate: font->SetAlternate(value.empty() ? value : LookupFamily(value)); break;
                case kColor: font->m_pColor = doc->AddColor(value); break;
                default: break;
            }
        }
        // A name the table does not know would become the default serif
        // face; the face of the font's class (fixed pitch, sans serif) that
        // the extractor names as the alternate fits it better.
        if (!known && !font->m_strAlternate.empty()) {
            font->SetName(font->m_strAlternate);
            font->m_bClassFace = true;
        }
        if (!doc->AddFont(std::move(font))) break;
    }
    std::rewind(m_file);
    return result;
}

void CRtfXmlParse::GetDocInfo(DocInfo* info) const {
    if (info != nullptr && m_pInfo) *info = *m_pInfo;
}

bool CRtfXmlParse::ParsePage(CLayoutDocument* doc, int page) {
    if (doc == nullptr) return false;
    bool inPage = false;
    std::string line;
    std::string value;
    while (ReadLine(line)) {
        if (line.empty()) continue;
        if (StartsWith(line, "</page>")) {
            // Only the wanted page's end ends the call. Ending at the end of
            // a skipped earlier page would hand the wanted page over empty:
            // the document holds every page of the PDF, so a range that does
            // not start at page 1 would lose all of its text.
            if (inPage) return true;
            continue;
        }
        if (StartsWith(line, "</pdf2xml>")) {
            SeekLineStart();
            return true;
        }
        if (StartsWith(line, "<page") && HasCloseAt(line, 1)) {
            const std::vector<std::string> tokens = Tokenize(line);
            int32_t number = 0;
            for (const std::string& token : tokens) {
                if (Keyword(token) == kPNumber) {
                    AttrValue(token, value);
                    number = AtoL(value);
                    break;
                }
            }
            if (number < page) continue;
            if (number > page) {
                SeekLineStart();
                return true;
            }
            CRtfPage* p = doc->GetPage();
            if (p == nullptr) return false;
            // Attributes apply in line order: the height and width add to
            // the top and left already stored.
            for (const std::string& token : tokens) {
                int id = Keyword(token);
                if ((id < kPNumber || id > kPRotation) && id != kPPaperHeight && id != kPPaperWidth) continue;
                AttrValue(token, value);
                const int32_t v = AtoL(value);
                switch (id) {
                    case kPPaperHeight: p->m_nPaperHeight = v; break;
                    case kPPaperWidth: p->m_nPaperWidth = v; break;
                    case kPNumber: m_nPage = v; break;
                    case kPTop: p->SetTop(v); break;
                    case kPLeft: p->SetLeft(v); break;
                    case kPHeight: p->SetHeight(v); break;
                    case kPWidth: p->SetWidth(v); break;
                    case kPRotation: p->SetRotation(v); break;
                    default: break;
                }
            }
            if (m_nPage == page) inPage = true;
            continue;
        }
        if (!inPage) continue;
        if (StartsWith(line, "<margin") && HasCloseAt(line, 1)) {
            CRtfPage* p = doc->GetPage();
            if (p == nullptr) return false;
            for (const std::string& token : Tokenize(line)) {
                int id = Keyword(token);
                if (id < kMLeft || id > kMRight) continue;
                AttrValue(token, value);
                const int32_t v = AtoL(value);
                switch (id) {
                    case kMLeft: p->SetMarginLeft(v); break;
                    case kMTop: p->SetMarginTop(v); break;
                    case kMBottom: p->SetMarginBottom(v); break;
                    case kMRight: p->SetMarginRight(v); break;
                    default: break;
                }
            }
            continue;
        }
        if (StartsWith(line, "<text") && HasCloseAt(line, 1)) ReadText(doc, line);
    }
    return false;
}

bool CRtfXmlParse::ReadText(CLayoutDocument* doc, const std::string& startLine) {
    auto text = std::make_unique<CRtfXmlText>();
    std::string value;
    const CRtfFont* spec = nullptr;
    for (const std::string& token : Tokenize(startLine)) {
        int id = Keyword(token);
        if (id < kTop || id > kAngleOrCSpace) continue;
        AttrValue(token, value);
        const int32_t v = AtoL(value);
        // Positions and sizes are held within kMaxTextCoordinate, so that
        // sums of a position and a size or two cannot overflow anywhere in
        // the layout, whatever numbers a damaged document holds. No page
        // comes near it.
        const int32_t g = std::clamp(v, -kMaxTextCoordinate, kMaxTextCoordinate);
        switch (id) {
            // Width and height add to the left and top stored so far.
            case kTop: text->m_rect.top = g; break;
            case kLeft: text->m_rect.left = g; break;
            case kWidth: text->m_rect.right = text->m_rect.left + g; break;
            case kHeight: text->m_rect.bottom = text->m_rect.top + g; break;
            case kDirection: text->m_nRotation = RotationOf(v); break;
            case kToc: text->m_bToc = static_cast<uint8_t>(v); break;
            case kAngleOrCSpace: text->m_nAngle = v; break;
            case kFont: {
                CRtfFont* font = doc->FindSpecById(v);
                spec = font;
                text->m_pFonts = &doc->m_fonts;
                if (font == nullptr) {
                    text->m_nFont = 0;
                    text->m_nFontSize = 10;
                    break;
                }
                text->m_nFont = font->m_pFontData ? font->m_pFontData->m_nIndex : 0;
                text->m_nFontSize = font->m_nSize != 0 ? font->m_nSize : 10;
                text->m_nFontStyle = font->m_nStyle;
                text->m_pColors = &doc->m_colors;
                text->m_nColor = font->m_pColor ? font->m_pColor->m_nIndex : 0;
                break;
            }
            default: break;
        }
    }

    // The data lines: one word each, until the element (or the page, or
    // the document) ends.
    std::string running;
    bool closed = false;
    std::string line;
    while (ReadLine(line)) {
        if (line.empty()) continue;
        if (StartsWith(line, "</text>") || StartsWith(line, "</page>") || StartsWith(line, "</pdf2xml>")) {
            closed = true;
            break;
        }
        if (!StartsWith(line, "<data") || !HasCloseAt(line, 1)) continue;
        const std::size_t gt = line.find('>');
        std::string content = line.substr(gt + 1);
        if (content.empty()) content.assign(1, ' ');  // assign(): GCC 12 misreports `= " "` at -O3
        running += content;

        TRtfWord<void>* word = text->NewWord();
        word->m_strText = DecodeContent(content);
        for (const std::string& token : Tokenize(line.substr(0, gt + 1))) {
            int id = Keyword(token);
            if (id < kAngleOrCSpace || id > kCLeading) continue;
            AttrValue(token, value);
            const int32_t v = AtoL(value);
            switch (id) {
                case kAngleOrCSpace: word->m_nCharSpace = static_cast<int16_t>(v); break;
                case kWSpace: word->m_nWordSpace = static_cast<int16_t>(v); break;
                case kHScale: word->m_nHScale = static_cast<uint8_t>(v); break;
                case kStyle: word->m_nStyle = static_cast<uint8_t>(v); break;
                case kCRise: word->m_fRise = static_cast<float>(v); break;
                case kCLeading: word->m_fLeading = static_cast<float>(v); break;
                default: break;
            }
        }
        text->m_words.AddTail(word);
        if (spec != nullptr && spec->m_bClassFace && spec->m_nPitch != 0) {
            // The fixed-pitch face standing in for the PDF's is set to the
            // PDF font's pitch, so code keeps its line length as well as
            // its columns. Only narrowed: a wider pitch would push lines
            // past their box.
            // Kept apart from the horizontal scale, which plain spacing drops.
            const int32_t scaled = 100 * spec->m_nPitch / kClassFacePitch;
            word->m_nFaceScale = static_cast<uint8_t>(std::clamp<int32_t>(scaled, kMinClassFaceScale, 100));
        }
        word->m_nFont = text->m_nFont;
        word->m_nFontSize = text->m_nFontSize;
        word->m_nColor = text->m_nColor;
    }
    // An element cut off by the end of the file shows nothing.
    if (!closed || qm::Trim(running).empty()) return false;
    if (text->m_words.IsEmpty()) return true;

    CRtfPage* page = doc->GetPage();
    if (page == nullptr) return false;
    bool absorbed = false;
    if (!page->FilterOverprint(text.get(), absorbed)) {
        // An absorbed fragment lives on among a neighbour's joined pieces,
        // so the page must keep it; any other rejected one goes now.
        if (absorbed) page->Own(std::move(text));
        return true;
    }
    text->m_pPage = page;
    // The page owns the fragment from here on: the intake may link it into
    // several lists, and a fragment it refuses is simply never linked.
    CRtfXmlText* accepted = page->Own(std::move(text));
    return doc->AddElement(accepted);
}

std::string CRtfXmlParse::GetFileName() const {
    auto slash = m_strPath.find_last_of('/');
    return slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
}
