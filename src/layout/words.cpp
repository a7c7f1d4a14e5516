// Words and fragments of a page: measuring text with the real font, fitting
// font sizes to the width the PDF gave a fragment, deciding whether a
// fragment continues the line of another one (and joining it), lowering
// sizes, and underlining words that a drawn rule runs under.
//
// The page intake (text_pool.cpp) and the flowing build use these to turn
// loose fragments into lines; the run writers (rtf/runs.cpp) read the result.
// Measurements are screen pixels at 96 per inch, compared with page units
// at 108 per inch as the thresholds below were tuned against.
#include "layout/words.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "layout/layout_document.h"
#include "layout/model.h"
#include "platform/font_metrics.h"

namespace {

// Join thresholds: shares of a fragment's height that lie inside a line.
// Several are single-precision values compared in double precision.
constexpr double kJoinMinShare = static_cast<double>(0.3f);     // 0.30000001
constexpr double kJoinInsideShare = static_cast<double>(0.6f);  // 0.60000002
constexpr double kJoinNewLineShare = 0.2;
constexpr double kJoinPieceShare = 0.31;
// A fragment more than this many units left or right of the line's text
// does not continue the line.
constexpr int32_t kJoinMaxGap = 30;

// Font fitting stops at this size and when the width is this close.
constexpr int kMinFitSize = 6;
constexpr int32_t kFitTolerance = 4;
// A fragment's words count as padded with spaces above this word spacing.
constexpr int16_t kPaddedWordSpace = 1000;
// Measuring uses one point more from this size on: screen fonts of 12
// points and up run narrower than the page text they stand for.
constexpr int kMeasureBumpSize = 12;

// A rule underlines text when it is thinner than this, its ends lie within
// kUnderlineEdgeSlack of the line's text and it covers a fragment's width
// to within kUnderlineWidthSlack.
constexpr int32_t kUnderlineMaxHeight = 2;
constexpr int32_t kUnderlineEdgeSlack = 6;
constexpr int32_t kUnderlineWidthSlack = 51;
constexpr uint8_t kStyleUnderline = 0x04;

// Windows-1252 bytes 0x80-0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const char kAnchorStart[] = "<#dsAnchor#";
const char kAnchorText[] = "~dsAnchor#>";
const char kAnchorEnd[] = "</~dsAnchor#>";

bool StartsAt(const std::string& s, size_t i, const char* lit, size_t n) { return s.compare(i, n, lit) == 0; }

// Parses "\uc1\uN" at i; on success stores the UTF-16 unit and the index
// after the escape and its one replacement character.
bool ParseUnicodeEscape(const std::string& s, size_t i, char32_t& unit, size_t& next) {
    static const char kPrefix[] = "\\uc1\\u";
    if (!StartsAt(s, i, kPrefix, sizeof kPrefix - 1)) return false;
    size_t j = i + sizeof kPrefix - 1;
    bool negative = false;
    if (j < s.size() && s[j] == '-') {
        negative = true;
        ++j;
    }
    const size_t digits = j;
    long value = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9' && j - digits < 7) value = value * 10 + (s[j++] - '0');
    if (j == digits) return false;
    if (negative) value = 65536 - value;
    // A space ends the control word; then the one replacement character.
    if (j < s.size() && s[j] == ' ') ++j;
    if (j < s.size()) ++j;
    unit = static_cast<char32_t>(value);
    next = j;
    return true;
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The output font of the fragment's RTF font number, or null.
const TRtfFontData<void>* OutputFont(CLayoutDocument* doc, int32_t number) {
    return doc != nullptr ? doc->FindFontByNumber(number) : nullptr;
}

double Ratio(int64_t num, int64_t den) { return static_cast<double>(num) / static_cast<double>(den); }

void TrimSpaces(std::string& s) {
    const char* ws = " \t\r\n";
    const size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) {
        s.clear();
        return;
    }
    s = s.substr(b, s.find_last_not_of(ws) - b + 1);
}

}  // namespace

std::u32string ShownCharacters(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (StartsAt(text, i, kAnchorStart, sizeof kAnchorStart - 1)) {
            // The link target is not shown; its text follows the marker.
            const size_t t = text.find(kAnchorText, i);
            if (t != std::string::npos) {
                i = t + sizeof kAnchorText - 1;
                continue;
            }
        }
        if (StartsAt(text, i, kAnchorEnd, sizeof kAnchorEnd - 1)) {
            i += sizeof kAnchorEnd - 1;
            continue;
        }
        char32_t unit = 0;
        size_t next = 0;
        if (text[i] == '\\' && ParseUnicodeEscape(text, i, unit, next)) {
            i = next;
            if (IsHighSurrogate(unit)) {
                char32_t low = 0;
                size_t after = 0;
                if (i < text.size() && text[i] == '\\' && ParseUnicodeEscape(text, i, low, after) &&
                    IsLowSurrogate(low)) {
                    out.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    i = after;
                    continue;
                }
            }
            out.push_back(IsHighSurrogate(unit) || IsLowSurrogate(unit) ? char32_t{0xFFFD} : unit);
            continue;
        }
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '{' || text[i + 1] == '}')) {
            out.push_back(static_cast<unsigned char>(text[i + 1]));
            i += 2;
            continue;
        }
        const unsigned char byte = static_cast<unsigned char>(text[i++]);
        out.push_back(byte >= 0x80 && byte < 0xA0 ? char32_t{kCp1252High[byte - 0x80]} : char32_t{byte});
    }
    return out;
}

bool IsShownSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0; }

template <>
CSize TRtfWord<void>::MeasureWord(const std::string& face, int size, const std::string& text) const {
    const int points = size >= kMeasureBumpSize ? size + 1 : size;
    qm::TextExtent e;
    if (!qm::MeasureString(face, points, (m_nStyle & 0x01) != 0, (m_nStyle & 0x02) != 0, ShownCharacters(text), e))
        return CSize{};
    return CSize{e.cx, e.cy};
}

namespace {

// Measures every word of `words` at `size` points in `face`: W the sum of
// the widths, H the largest height.
void MeasureWords(const CRtfSentence& words, const std::string& face, int size, int32_t& width, int32_t& height) {
    width = 0;
    height = 0;
    for (TRtfWord<void>* w : words) {
        const CSize e = w->MeasureWord(face, size, w->m_strText);
        width += e.cx;
        height = std::max(height, e.cy);
    }
}

}  // namespace

bool CRtfSentence::SetWordStyle(uint8_t style) {
    bool any = false;
    for (TRtfWord<void>* w : *this) {
        w->m_nStyle |= style;
        any = true;
    }
    return any;
}

CSize CRtfXmlText::MeasureText() const {
    const CSize box{m_rect.Width(), m_rect.Height()};
    CRtfPage* page = m_pPage.get();
    if (page == nullptr || !page->m_pDoc) return box;
    // The face is the fragment's own output font. Looking the font number
    // up among the page XML font ids instead, as the Windows program did,
    // measured with whichever font happened to carry that id.
    const TRtfFontData<void>* font = OutputFont(page->m_pDoc.get(), m_nFont);
    if (font == nullptr) return box;
    std::u32string text;
    uint8_t style = 0;
    for (TRtfWord<void>* w : m_words) {
        text += ShownCharacters(w->m_strText);
        style = w->m_nStyle;
    }
    qm::TextExtent e;
    if (!qm::MeasureString(font->m_strName, m_nFontSize + 1, (style & 0x01) != 0, (style & 0x02) != 0, text, e))
        return box;
    return CSize{e.cx, e.cy};
}

int CRtfXmlText::FitToText(CRtfSentence& words, CLayoutDocument* doc) {
    const TRtfFontData<void>* font = OutputFont(doc, m_nFont);
    if (font == nullptr) return 0;
    int32_t w = 0;
    int32_t h = 0;
    MeasureWords(words, font->m_strName, m_nFontSize, w, h);
    m_rect = CRect(m_rect.left, m_rect.top, m_rect.left + w, m_rect.top + h);
    return m_nFontSize;
}

void CRtfXmlText::ShrinkToText(CRtfSentence& words, CLayoutDocument* doc) {
    const TRtfFontData<void>* font = OutputFont(doc, m_nFont);
    if (font == nullptr) return;
    int32_t w = 0;
    int32_t h = 0;
    MeasureWords(words, font->m_strName, m_nFontSize, w, h);
    if (w < m_rect.Width()) {
        // A box of no height stands on its bottom edge (rotated pages).
        if (m_rect.top == m_rect.bottom)
            m_rect = CRect(m_rect.left, m_rect.bottom - h, m_rect.left + w, m_rect.bottom);
        else
            m_rect = CRect(m_rect.left, m_rect.top, m_rect.left + w, m_rect.top + h);
    } else if (m_rect.Width() == 0) {
        if (m_rect.top + h < w)
            m_rect.right = m_rect.left + w;
        else
            m_rect.left = m_rect.right - w;
        m_rect.bottom = m_rect.top + h;
    }
}

int CRtfXmlText::FitFontSize(CRtfSentence& words, CLayoutDocument* doc) {
    const TRtfFontData<void>* font = OutputFont(doc, m_nFont);
    if (font == nullptr) return 0;
    CRtfPage* page = m_pPage ? m_pPage.get() : doc->GetPage();
    const bool bothRotated = m_nRotation != 0 && page != nullptr && page->m_nRotation != 0;

    int s = m_nFontSize;
    int32_t previous = -1;
    int32_t w = 0;
    int32_t h = 0;
    for (;;) {
        MeasureWords(words, font->m_strName, s, w, h);
        const int32_t box = m_rect.Width();
        if (s - 1 >= kMinFitSize && w >= box && std::abs(w - box) >= kFitTolerance) {
            --s;
            continue;
        }
        if (!bothRotated) break;
        // Rotated text on a rotated page creeps toward the width from
        // below and stops when the difference no longer changes. It stops
        // at one point as well, where the Windows program could reach 0.
        const int32_t d = std::abs(w - box);
        if (d >= kFitTolerance || d == previous || s <= 1) break;
        --s;
        previous = d;
    }

    // Words padded with spaces by a wide word spacing lose the padding; the
    // box keeps its far edge and takes the measured width.
    if (TRtfWord<void>* first = words.GetHead();
        first != nullptr && !first->m_strText.empty() && first->m_strText.front() == ' ' &&
        first->m_nWordSpace > kPaddedWordSpace) {
        TrimSpaces(first->m_strText);
        m_rect.left = m_rect.right - w;
    }
    if (TRtfWord<void>* last = words.GetTail();
        last != nullptr && !last->m_strText.empty() && last->m_strText.back() == ' ' &&
        last->m_nWordSpace > kPaddedWordSpace) {
        TrimSpaces(last->m_strText);
        m_rect.right = m_rect.left + w;
    }
    for (TRtfWord<void>* word : words) word->m_nFontSize = static_cast<uint16_t>(s);
    return s;
}

namespace {

// Sizes are lowered but kept at one point at least: the size is unsigned,
// and lowering past zero wrapped around to a size of thousands of points.
uint16_t Lowered(uint16_t size, int points) {
    const int s = static_cast<int>(size) - points;
    return static_cast<uint16_t>(std::clamp(s, 1, 0xFFFF));
}

void SetWordSizes(CRtfXmlText& text) {
    for (TRtfWord<void>* w : text.m_words) w->m_nFontSize = text.m_nFontSize;
}

}  // namespace

bool CRtfXmlText::ReduceFontSize(int points) {
    m_nFontSize = Lowered(m_nFontSize, points);
    SetWordSizes(*this);
    if (m_pJoined) {
        for (CRtfXmlText* joined : *m_pJoined) {
            joined->m_nFontSize = Lowered(joined->m_nFontSize, points);
            SetWordSizes(*joined);
        }
    }
    return m_words.GetCount() > 0;
}

TSafeList<CRtfXmlText>::POSITION CRtfXmlText::TryJoin(CRtfXmlText* text, int* place) {
    if (text == nullptr) return nullptr;
    const CRect line = m_rcLine;
    const CRect r = text->m_rect;
    const int32_t h = r.Height();
    const bool hasJoined = m_pJoined && m_pJoined->GetCount() > 0;

    if (r.bottom <= line.top) {
        if (place != nullptr) *place = 1;
        return nullptr;
    }
    if (r.top >= line.bottom) {
        if (place != nullptr) *place = 2;
        return nullptr;
    }

    bool vertical = false;  // the vertical tests passed: go on to the horizontal one
    if (r.top <= line.top) {
        if (r.bottom > line.bottom && r.top < line.top) {
            vertical = true;  // spans the whole line
        } else if (r.bottom <= line.bottom) {
            if (Ratio(r.bottom - line.top, h) < kJoinMinShare) {
                // Mostly above the line: it belongs to the line before, and
                // what hangs into this line is cut off.
                if (place != nullptr) *place = 1;
                text->m_rect = CRect(r.left, r.top, r.right, line.top);
                return nullptr;
            }
            if (Ratio(r.bottom - m_rect.top, h) < kJoinMinShare) return nullptr;
            if (hasJoined) {
                for (CRtfXmlText* f : *m_pJoined)
                    if (Ratio(r.bottom - f->m_rect.top, h) < kJoinMinShare && f->m_rect.right >= r.left)
                        return nullptr;
            }
            vertical = true;
        }
    }
    // Here the fragment starts inside the line, or at its top and reaches
    // below it.
    if (!vertical) {
        if (r.bottom < line.bottom) {
            vertical = true;
        } else {
            const double inside = Ratio(line.bottom - r.top, h);
            if (inside > kJoinInsideShare) {
                if (Ratio(line.bottom - r.top, line.Height()) < kJoinNewLineShare) {
                    if (place != nullptr) *place = 2;
                    return nullptr;
                }
                vertical = true;
            } else {
                if (inside < kJoinMinShare) return nullptr;
                const CPoint c = r.CenterPoint();
                if (c.y > line.bottom && r.left < line.right) return nullptr;
                const CRect& head = m_rect;
                if (Ratio(head.bottom - r.top, h) < kJoinMinShare) return nullptr;
                if (Ratio(head.bottom - r.top, head.Height()) < kJoinMinShare) return nullptr;
                if (hasJoined) {
                    for (CRtfXmlText* f : *m_pJoined)
                        if (Ratio(f->m_rect.bottom - r.top, h) < kJoinPieceShare && f->m_rect.right >= r.left)
                            return nullptr;
                }
                vertical = true;
            }
        }
    }

    // Horizontal test: compare the text as measured, not the boxes, which
    // the PDF often makes wider than the glyphs.
    const int32_t wHead = MeasureText().cx;
    const int32_t wText = text->MeasureText().cx;
    const CRect whole = hasJoined ? line : m_rect;
    CRect head = whole;
    if (!hasJoined && wHead < head.Width()) {
        const int32_t inset = (head.Width() - wHead) / 2;
        head.left += inset;
        head.right -= inset;
    }
    if (wText < r.Width()) text->m_rect.left += (r.Width() - wText) / 2;
    const int32_t textLeft = text->m_rect.left;
    const int32_t textRight = text->m_rect.right - (text->m_rect.Width() - wText) / 2;
    if (head.left > textLeft) {
        CRect meet;
        if (head.left - textLeft > kJoinMaxGap && !meet.IntersectRect(whole, text->m_rect) &&
            whole.left - textRight > kJoinMaxGap) {
            if (place != nullptr) *place = 2;
            return nullptr;
        }
    } else if (textLeft - head.right > kJoinMaxGap) {
        return nullptr;
    }

    if (!m_pJoined) {
        CRtfPage* page = m_pPage.get();
        if (page == nullptr) return nullptr;
        m_pJoined = page->Make<DebugRtfXmlTextList>();
    }
    auto pos = m_pJoined->AddTail(text);
    m_rcLine.UnionRect(m_rcLine, r);
    return pos;
}

namespace {

// Underlines the joined pieces that a rule covers; whether a word was marked.
bool JoinedTakeRule(CRtfXmlText& text, const CRect& rule) {
    if (!text.m_pJoined || rule.IsRectEmpty()) return false;
    bool marked = false;
    for (CRtfXmlText* f : *text.m_pJoined) {
        CRect k;
        if (!k.IntersectRect(f->m_rect, rule)) continue;
        if (std::abs(f->m_rect.Width() - k.Width()) < kUnderlineWidthSlack)
            marked = f->m_words.SetWordStyle(kStyleUnderline) || marked;
        // The rule ends inside this piece: the pieces after it are not under it.
        if (f->m_rect.PtInRect(CPoint{k.right, k.bottom})) break;
    }
    return marked;
}

}  // namespace

bool CRtfXmlText::MarkUnderline(const CRect& rule) {
    if (rule.Height() >= kUnderlineMaxHeight) return false;
    CRect i;
    if (!i.IntersectRect(m_rcLine, rule)) return false;
    if (std::abs(i.left - rule.left) >= kUnderlineEdgeSlack || std::abs(i.right - rule.right) >= kUnderlineEdgeSlack ||
        i.top != rule.top)
        return false;
    CRect j;
    if (j.IntersectRect(m_rect, rule)) {
        bool taken = false;
        if (std::abs(m_rect.Width() - j.Width()) < kUnderlineWidthSlack) taken = m_words.SetWordStyle(kStyleUnderline);
        if (!m_rect.PtInRect(CPoint{i.right, i.bottom}) && JoinedTakeRule(*this, rule) && !taken) taken = true;
        return taken;
    }
    return JoinedTakeRule(*this, rule);
}

int32_t LinkedPage(const std::string& target) {
    if (target.size() < 2 || target[0] != '#' || target.size() > 10) return 0;
    int64_t page = 0;
    for (size_t i = 1; i < target.size(); ++i) {
        if (target[i] < '0' || target[i] > '9') return 0;
        page = page * 10 + (target[i] - '0');
    }
    return page <= INT32_MAX ? static_cast<int32_t>(page) : 0;
}
