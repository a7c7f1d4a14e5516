// Text runs in RTF: one group per word with its character format, the line
// writers of each layout (a flowing line with superscripts, subscripts and
// spacing, a turned text shape, positioned frames, a paragraph, a plain
// paragraph) and the hyperlink fields made from the extractor's link markers.
//
// The RTF document writer and the paragraph blocks of the flowing layout
// place the strings built here into the page's RTF.
#include "rtf/runs.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "layout/layout_document.h"
#include "layout/words.h"
#include "platform/bidi.h"
#include "platform/font_metrics.h"
#include "platform/strings.h"
#include "rtf/blocks.h"
#include "rtf/fields.h"

namespace {

const std::string kAnchorStart = "<#dsAnchor#";
const std::string kAnchorText = "~dsAnchor#>";
const std::string kAnchorEnd = "</~dsAnchor#>";

// Superscripts and subscripts are short and sit close to their base text.
constexpr size_t kMaxRaisedChars = 4;
constexpr int32_t kMaxRaisedGap = 3;
// Frames of the exact layout are made larger than the text's box so that a
// substitute font's wider glyphs still fit on one line.
constexpr double kFrameGrowth = 1.15;
// Text boxes of turned text are made this much longer than the text in the
// word processor's font, so that it does not break onto a second line.
constexpr int64_t kShapeGrowthNum = 11;
constexpr int64_t kShapeGrowthDen = 10;
// Pieces whose tops and bottoms lie within this many units read as one band.
constexpr int32_t kFrameBandSlack = 2;
// The z-order of the exact layout's text boxes starts above any drawing's:
// LibreOffice orders text boxes and shapes behind the text by z-order
// alone, and a page's white background shape hid the text boxes of every
// page after the first.
constexpr int64_t kTextBoxZ = int64_t{1} << 24;
// How far inside the paper's right and bottom edges a frame's growth stops,
// in twips.
constexpr int32_t kPaperEdge = 5;
// Coordinates beyond this many page units cannot be converted to twips in
// 32 bits; no real page comes near it.
constexpr double kMaxUnits = 150000000.0;
// A fitted run is set no smaller than 2 points.
constexpr uint32_t kMinFittedHalfPoints = 4;

std::string U(uint32_t v) { return std::to_string(v); }
std::string D(int64_t v) { return std::to_string(v); }

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = s.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
        out.append(s, pos, hit - pos);
        out += to;
    }
    out.append(s, pos, std::string::npos);
    return out;
}

// Backslashes are doubled for RTF, except where they already escape a
// brace (the reader's doing) or start a Unicode escape (the extractor's).
std::string EscapeRunText(const std::string& text) {
    std::string s = ReplaceAll(text, "\\", "\\\\");
    s = ReplaceAll(s, "\\\\{", "\\{");
    s = ReplaceAll(s, "\\\\}", "\\}");
    return ReplaceAll(s, "\\\\uc1\\\\u", "\\uc1\\u");
}

int32_t Twips(double units) { return ToTwips(std::clamp(units, -kMaxUnits, kMaxUnits)); }

// The fragments of a line in list order: the head, then its joined pieces.
std::vector<CRtfXmlText*> LinePieces(CRtfXmlText& text) {
    std::vector<CRtfXmlText*> pieces{&text};
    if (text.m_pJoined)
        for (CRtfXmlText* j : *text.m_pJoined) pieces.push_back(j);
    return pieces;
}

// Where the fragment's text starts and ends on the page. Measuring narrows
// m_rect to the screen font's width and the join test keeps a box narrowed
// from the left; reading gaps from those put spaces inside words ("Manuscrip
// t", "dott y") wherever the screen font runs narrower than the PDF's.
const CRect& PrintBox(const CRtfXmlText& text) { return text.m_rcPrint.IsRectNull() ? text.m_rect : text.m_rcPrint; }
int32_t PrintLeft(const CRtfXmlText& text) { return PrintBox(text).left; }
int32_t PrintRight(const CRtfXmlText& text) { return PrintBox(text).right; }

std::string WordsText(const CRtfXmlText& text) {
    std::string s;
    for (TRtfWord<void>* w : text.m_words) s += w->m_strText;
    return s;
}

// Whether a gap of `gap` page units after `before` separates words. Glyph
// by glyph PDFs leave a unit or so between the pieces of a word (kerning,
// rounding), while a word space is a fifth of an em or more. The boxes of
// the page XML are rounded and often a unit wider than the glyphs, so a
// gap reads up to one and a half units short: a gap counts as a space
// from a tenth of an em (1.5 units per point) less that. In body text any
// gap is a space, as it always was; in a heading a stray unit no longer
// splits a word.
bool IsWordGap(const CRtfXmlText& before, int64_t gap) {
    const int64_t size = std::max<int64_t>(before.m_nFontSize, 1);
    return gap > 0 && 20 * gap + 30 >= 3 * size;
}

// Whether a space must be written between two fragments of a line: there
// is a gap between them and neither shows a space there. PDFs that place
// every word on its own (TeX does) would otherwise come out as one long word
// in the paragraph layouts. Right-to-left script arrives in reading order,
// each fragment left of the one before, so a gap on that side counts too.
bool NeedsSpace(const CRtfXmlText& before, const CRtfXmlText& after) {
    const bool gapRight = IsWordGap(before, static_cast<int64_t>(PrintLeft(after)) - PrintRight(before));
    const bool gapLeft = IsWordGap(before, static_cast<int64_t>(PrintLeft(before)) - PrintRight(after));
    if (!gapRight && !gapLeft) return false;
    const std::u32string a = ShownCharacters(WordsText(before));
    const std::u32string b = ShownCharacters(WordsText(after));
    if (a.empty() || b.empty()) return false;
    return !IsShownSpace(a.back()) && !IsShownSpace(b.front());
}

// The strong characters of a text: right to left and left to right.
struct StrongCount {
    size_t right = 0;
    size_t left = 0;
    bool digits = false;
};

StrongCount CountStrong(const std::u32string& text) {
    StrongCount c;
    for (char32_t u : text) {
        switch (BidiKindOf(u)) {
        case BidiKind::kRight: ++c.right; break;
        case BidiKind::kLeft: ++c.left; break;
        case BidiKind::kNumber: c.digits = true; break;
        default: break;
        }
    }
    return c;
}

StrongCount CountStrong(const CRtfXmlText& text) { return CountStrong(ShownCharacters(WordsText(text))); }

// A piece of a line as the line's ordering sees it: its text is in reading
// order, so its first strong character tells its direction.
BidiKind PieceKind(const CRtfXmlText& piece, const StrongCount& c) {
    if (c.right > 0 || c.left > 0)
        return ReadsRightToLeft(ShownCharacters(WordsText(piece))) ? BidiKind::kRight : BidiKind::kLeft;
    return c.digits ? BidiKind::kNumber : BidiKind::kNeutral;
}

// A left-to-right piece (a number, a Latin word) in a line read from the
// right holds its text as shown: the spaces at its right end come before it
// and those at its left end after it.
void TurnEdgeSpaces(CRtfXmlText& piece) {
    TRtfWord<void>* first = piece.m_words.GetHead();
    TRtfWord<void>* last = piece.m_words.GetTail();
    if (first == nullptr || last == nullptr || first->m_strText.find_first_not_of(' ') == std::string::npos ||
        last->m_strText.find_first_not_of(' ') == std::string::npos)
        return;
    std::string& head = first->m_strText;
    const size_t leading = head.find_first_not_of(' ');
    head.erase(0, leading);
    std::string& tail = last->m_strText;
    const size_t trailing = tail.size() - tail.find_last_not_of(' ') - 1;
    tail.erase(tail.size() - trailing);
    head.insert(0, trailing, ' ');
    tail.append(leading, ' ');
}

// The characters of a run's text one by one as they stand in its bytes: a
// Unicode escape, a brace escape or a byte each.
std::vector<std::string> TextUnits(const std::string& text) {
    static const std::string kEscape = "\\uc1\\u";
    std::vector<std::string> units;
    for (size_t i = 0; i < text.size();) {
        size_t end = i + 1;
        if (text.compare(i, kEscape.size(), kEscape) == 0) {
            end = i + kEscape.size();
            while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '-')) ++end;
            end = std::min(text.size(), end + 1);  // the stand-in character
        } else if (text[i] == '\\' && i + 1 < text.size()) {
            end = i + 2;
        }
        units.push_back(text.substr(i, end - i));
        i = end;
    }
    return units;
}

std::string MirroredUnit(const std::string& unit) {
    static const std::string kEscape = "\\uc1\\u";
    char32_t u = 0;
    if (unit.size() == 1) u = static_cast<unsigned char>(unit[0]);
    else if (unit.size() == 2 && unit[0] == '\\') u = static_cast<unsigned char>(unit[1]);
    else if (unit.compare(0, kEscape.size(), kEscape) == 0 && unit.size() > kEscape.size() + 1)
        u = static_cast<char32_t>(std::strtol(unit.c_str() + kEscape.size(), nullptr, 10));
    const char32_t m = MirroredChar(u);
    if (m == u || u == 0) return unit;
    if (unit.size() <= 2 && m < 0x100) return unit.substr(0, unit.size() - 1) + static_cast<char>(m);
    return kEscape + std::to_string(static_cast<uint32_t>(m)) + "X";
}

// A piece of neutrals (brackets, a full stop) inside text shown right to
// left stands as the page shows it: read from the other end, each bracket
// drawn with its mirror's glyph. Returns whether the piece was read round
// as a whole (a piece of one word); otherwise only its brackets turn.
bool TurnNeutralPiece(CRtfXmlText& piece) {
    const bool whole = piece.m_words.GetCount() == 1;
    for (TRtfWord<void>* w : piece.m_words) {
        if (w->m_strText.find(kAnchorStart) != std::string::npos) return false;
        std::vector<std::string> units = TextUnits(w->m_strText);
        if (whole) std::reverse(units.begin(), units.end());
        std::string text;
        for (const std::string& unit : units) text += MirroredUnit(unit);
        w->m_strText = text;
    }
    return whole;
}

// Puts a piece's text into reading order where the line's order asks for
// it; once per piece, so that writing a line twice writes it alike.
void TurnShownPiece(CRtfXmlText& piece, bool edgeSpaces, bool neutral) {
    if (piece.m_nFlags & kTextSpacesTurned) return;
    piece.m_nFlags |= kTextSpacesTurned;
    if (neutral && TurnNeutralPiece(piece)) return;
    if (edgeSpaces) TurnEdgeSpaces(piece);
}

// The pieces of a line in reading order when right-to-left script is among
// them, and whether the line reads right to left; otherwise the pieces as
// they are. Pieces of right-to-left script each hold their own text in
// reading order already; the line is ordered from the pieces' places on the
// page, left to right, since the order in which a PDF draws them says
// nothing.
bool OrderRightToLeftLine(std::vector<CRtfXmlText*>& pieces) {
    std::vector<StrongCount> counts;
    StrongCount line;
    for (CRtfXmlText* p : pieces) {
        counts.push_back(CountStrong(*p));
        line.right += counts.back().right;
        line.left += counts.back().left;
    }
    if (line.right == 0) return false;
    std::vector<size_t> shown(pieces.size());
    for (size_t i = 0; i < shown.size(); ++i) shown[i] = i;
    std::stable_sort(shown.begin(), shown.end(),
                     [&](size_t a, size_t b) { return PrintLeft(*pieces[a]) < PrintLeft(*pieces[b]); });
    std::vector<BidiKind> kinds;
    for (size_t i : shown) kinds.push_back(PieceKind(*pieces[i], counts[i]));
    const bool rightToLeft = ShownReadsRightToLeft(kinds, line.right, line.left);
    std::vector<bool> turned;
    const std::vector<size_t> reading = ReadingOrder(kinds, rightToLeft, turned);
    for (size_t k = 0; k < shown.size(); ++k) {
        const bool neutral = turned[k] && kinds[k] == BidiKind::kNeutral;
        const bool edgeSpaces = rightToLeft && kinds[k] != BidiKind::kRight;
        if (neutral || edgeSpaces) TurnShownPiece(*pieces[shown[k]], edgeSpaces, neutral);
    }
    std::vector<CRtfXmlText*> ordered;
    for (size_t k : reading) ordered.push_back(pieces[shown[k]]);
    pieces.swap(ordered);
    return rightToLeft;
}

// Makes a paragraph read right to left: its text starts and runs from the
// right margin.
constexpr const char* kRightToLeftParagraph = "\\rtlpar";
// The paragraph layouts' right-to-left paragraph, set from the right:
// LibreOffice sets an \rtlpar paragraph from its left end unless it is
// aligned right.
constexpr const char* kRightToLeftBlock = "\\rtlpar\\qr ";

enum class Raise { kNone, kSuper, kSub };

Raise Classify(const CRtfXmlText& f, const CRtfXmlText& q) {
    // Shown characters are counted, so "\uc1\u8224X" is one dagger.
    if (ShownCharacters(WordsText(f)).size() >= kMaxRaisedChars) return Raise::kNone;
    if (PrintLeft(f) - PrintRight(q) >= kMaxRaisedGap) return Raise::kNone;
    const int32_t mid = (q.m_rect.top + q.m_rect.bottom) / 2;
    const int32_t third = q.m_rect.Height() / 3;
    const int32_t dBottom = f.m_rect.bottom - q.m_rect.bottom;
    const int32_t dTop = q.m_rect.top - f.m_rect.top;
    if (dBottom < 0 && dTop >= 0 && dTop <= third && std::abs(mid - f.m_rect.bottom) <= third) return Raise::kSuper;
    if (dBottom >= 0 && dTop < 0 && dBottom <= third && std::abs(f.m_rect.top - mid) <= third) return Raise::kSub;
    return Raise::kNone;
}

// Copies `s` with every link made by `link` from its target and text.
template <class MakeLink>
std::string ReplaceLinks(const std::string& s, MakeLink link) {
    std::string out;
    size_t pos = 0;
    for (size_t start; (start = s.find(kAnchorStart, pos)) != std::string::npos;) {
        const size_t mid = s.find(kAnchorText, start + kAnchorStart.size());
        if (mid == std::string::npos) break;  // a cut marker stays as it is
        out.append(s, pos, start - pos);
        const std::string target = s.substr(start + kAnchorStart.size(), mid - start - kAnchorStart.size());
        const size_t textStart = mid + kAnchorText.size();
        size_t end = s.find(kAnchorEnd, textStart);
        if (end == std::string::npos) end = s.size();
        out += link(target, s.substr(textStart, end - textStart));
        pos = std::min(s.size(), end + kAnchorEnd.size());
    }
    out.append(s, pos, std::string::npos);
    return ReplaceAll(out, kAnchorEnd, "");
}

CLayoutDocument* DocumentOf(const CRtfXmlText& text) {
    CRtfPage* page = text.m_pPage.get();
    return page != nullptr ? page->m_pDoc.get() : nullptr;
}

// Text outside a document (a run written on its own) keeps its spacing.
bool KeepsSpacing(const CRtfXmlText* text) {
    CLayoutDocument* doc = text != nullptr ? DocumentOf(*text) : nullptr;
    return doc == nullptr || doc->Context().m_bPreserveSpacing;
}

bool HasComplexScript(const std::string& text) {
    if (text.find("\\u") == std::string::npos) return false;  // Latin-1 bytes only
    for (char32_t c : ShownCharacters(text)) {
        if ((c >= 0x0590 && c <= 0x0DFF) || (c >= 0x0E00 && c <= 0x0FFF) || (c >= 0x1000 && c <= 0x109F) ||
            (c >= 0x1780 && c <= 0x17FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF))
            return true;
    }
    return false;
}

// The run's size and horizontal scale on a fitted line. A line that
// needs no fitting keeps the numbers it was read with.
uint32_t FittedHalfPoints(uint32_t halfPoints, const LineFit& fit) {
    if (fit.size >= 1.0) return halfPoints;
    return std::max<uint32_t>(kMinFittedHalfPoints, static_cast<uint32_t>(halfPoints * fit.size));
}
uint32_t FittedScale(uint8_t scale, const LineFit& fit) {
    if (fit.scale >= 1.0) return scale;
    const double base = scale == 0 ? 100.0 : scale;
    return std::max<uint32_t>(1, static_cast<uint32_t>(base * fit.scale));
}

}  // namespace

namespace {

// The stand-in for a missing fixed-pitch face is narrowed to the PDF
// font's pitch; a fitted line scales that on.
uint32_t WordScale(const TRtfWord<void>& word, const LineFit& fit) {
    const uint32_t spacing = KeepsSpacing(word.m_pText.get()) ? (word.m_nHScale == 0 ? 100u : word.m_nHScale) : 100u;
    const uint32_t faced = std::max<uint32_t>(1, spacing * word.m_nFaceScale / 100u);
    return FittedScale(static_cast<uint8_t>(std::min<uint32_t>(faced, 255)), fit);
}

// The parts of one word's run: the format switched on before its text
// group, the text, and the styles switched off after it.
struct RunParts {
    std::string head;
    std::string text;
    std::string off;
};

RunParts PartsOf(const TRtfWord<void>& word, int8_t rise, bool trim, const LineFit& fit) {
    RunParts p;
    std::string on;
    if (word.m_nStyle & 0x01) { on += "\\b "; p.off += "\\b0 "; }
    if (word.m_nStyle & 0x02) { on += "\\i "; p.off += "\\i0 "; }
    if (word.m_nStyle & 0x04) { on += "\\ul "; p.off += "\\ul0 "; }
    if (word.m_nStyle & 0x40) { on += "\\shad "; p.off += "\\shad0 "; }
    on = qm::Trim(on);
    p.text = EscapeRunText(word.m_strText);
    if (trim) p.text = qm::Trim(p.text);

    // Raised text is set a little larger: the \up shift is counted in half
    // points and eats into the line the text sits on.
    const uint32_t halfPoints = FittedHalfPoints(word.m_nFontSize * 2u + (rise == 0 ? 0 : 5), fit);
    // Right-to-left runs are marked so: a reader takes their font and size
    // as those of right-to-left script and lays the run out from the right.
    const bool rightToLeft = CountStrong(ShownCharacters(word.m_strText)).right > 0;
    if (rightToLeft) {
        p.head = "\\rtlch\\afs" + U(halfPoints);
        p.off += "\\ltrch ";
    }
    p.head += "\\fs" + U(halfPoints);
    if (rise != 0) p.head += "\\up" + D(rise / 2);
    // The word processor sets complex scripts (Arabic, Hebrew, Indic, Thai)
    // in a size of their own, 12 points unless the run says otherwise, and
    // it reads that size only in a right-to-left character context: text of
    // another size came out larger or smaller than its line.
    if (!rightToLeft && HasComplexScript(word.m_strText)) p.head += "\\rtlch\\afs" + U(halfPoints) + "\\ltrch";
    // Without preserved spacing every run is set at its font's own width.
    p.head += "\\cf" + U(static_cast<uint32_t>(word.m_nColor)) + "\\f" + U(static_cast<uint32_t>(word.m_nFont)) +
              "\\charscalex" + U(WordScale(word, fit)) + on;
    return p;
}

}  // namespace

void CRunJoiner::Add(const TRtfWord<void>& word, int8_t rise, bool trim, const LineFit& fit) {
    if (word.m_strText.empty()) return;
    RunParts p = PartsOf(word, rise, trim, fit);
    if (m_bOpen && p.head == m_strHead) {
        m_strText += m_strGap;
        m_strText += p.text;
        m_strGap.clear();
        m_strGapOut.clear();
        return;
    }
    Flush();
    m_bOpen = true;
    m_strHead = std::move(p.head);
    m_strText = std::move(p.text);
    m_strOff = std::move(p.off);
}

void CRunJoiner::Add(const CRtfSentence& words, int8_t rise, bool trim, const LineFit& fit) {
    for (TRtfWord<void>* w : words) Add(*w, rise, trim, fit);
}

void CRunJoiner::Spaces(size_t count) {
    if (count == 0) return;
    // Held back: when the next run has the same format the spaces go into
    // its text, and a word broken into pieces reads as one again.
    const std::string spaces(count, ' ');
    if (!m_bOpen) {
        m_strOut += "{" + spaces + "}";
        return;
    }
    m_strGap += spaces;
    m_strGapOut += "{" + spaces + "}";
}

void CRunJoiner::Gap(const std::string& group) {
    // A group of its own (a widened space) nests inside the joined text.
    if (!m_bOpen) {
        m_strOut += group;
        return;
    }
    m_strGap += group;
    m_strGapOut += group;
}

void CRunJoiner::Raw(const std::string& rtf) {
    Flush();
    m_strOut += rtf;
}

std::string CRunJoiner::Take() {
    Flush();
    return std::move(m_strOut);
}

void CRunJoiner::Flush() {
    if (!m_bOpen) return;
    m_strOut += m_strHead + " {" + m_strText + "}" + m_strOff;
    m_strOut += m_strGapOut;
    m_bOpen = false;
    m_strHead.clear();
    m_strText.clear();
    m_strOff.clear();
    m_strGap.clear();
    m_strGapOut.clear();
}

std::string FormatRun(const TRtfWord<void>& word, int8_t rise, bool trim, const LineFit& fit) {
    CRunJoiner runs;
    runs.Add(word, rise, trim, fit);
    return runs.Take();
}

std::string FormatRuns(const CRtfSentence& words, int8_t rise, bool trim, const LineFit& fit) {
    CRunJoiner runs;
    runs.Add(words, rise, trim, fit);
    return runs.Take();
}

std::string FormatPlainRun(const TRtfWord<void>& word) {
    if (word.m_strText.empty()) return {};
    return "\\f" + U(static_cast<uint32_t>(word.m_nFont)) + " {" + EscapeRunText(word.m_strText) + "}";
}

std::string PlainRuns(const CRtfSentence& words) {
    std::string out;
    for (TRtfWord<void>* w : words) out += FormatPlainRun(*w);
    return out;
}

std::string StripLinks(const std::string& s) {
    return ReplaceLinks(s, [](const std::string&, const std::string& text) { return text; });
}

std::string AddHyperlinks(const CRtfXmlText& text, const std::string& s) {
    CLayoutDocument* doc = DocumentOf(text);
    if (doc == nullptr) return MakeHyperlinkFields(s, std::string());
    return MakeHyperlinkFields(s, doc->GetSourceName(), &doc->Context().m_pagesWritten);
}

namespace {

// Lines that fit. A flowing line is one paragraph of exact height: where the
// word processor's font sets it wider than its column, it wraps, everything
// below moves down and the page overflows onto the next. Each line is
// measured in the faces the font table names (as installed) and, where it
// comes out wider than it stands on the PDF page, condensed down to 80% of
// its width; a line that needs more than that is set smaller as well, down to
// half its size.
constexpr double kMinLineScale = 0.8;
constexpr double kMinLineSize = 0.5;
constexpr int kMaxFitRounds = 8;
// A line wider than its room by no more than this many units is left as it
// is: measurements of the same font differ by that much.
constexpr double kFitSlack = 1.0;
// Share of its size at which the word processor draws a superscript or a
// subscript.
constexpr double kRaisedShare = 0.58;
// A widened space is a run of its own, and the word processor lays out
// every run on its own: a manual of justified text carried a hundred
// thousand of them and took four times as long to open as its plain text.
// A gap is widened only once the words after it would otherwise start this
// many twips (3 points) early; what it falls short by carries on to the
// next gap, so no word lands further off. The line's last gap widens from
// half a point, so that the line still ends where it ends on the page.
constexpr int32_t kMinWiden = 60;
constexpr int32_t kMinEndWiden = 10;
constexpr double kUnitsPerPoint = 1.5;
// Page units that the page's boxes and the word processor's measures may
// be off by, for a line spread to its width.
constexpr int32_t kSpreadSlack = 2;

// One piece of a flowing line, in reading order.
struct LinePiece {
    CRtfXmlText* text = nullptr;
    Raise raise = Raise::kNone;
    int8_t rise = 0;
    bool gap = false;   // a space goes between the piece before and this one
    size_t spaces = 0;  // how many, where the line is not measured
    int32_t widen = 0;  // twips the one space of a measured line is widened by
    bool leader = false;  // a piece of a leader's dots
    size_t dots = 0;      // on a leader's first piece: how many dots it is written as,
    int32_t spacing = 0;  // and the twips each of its characters is spaced out by
    bool tab = false;     // the piece after a leader, reached by a tab at its place
};

// How many full stops a piece holds.
size_t DotCount(const CRtfXmlText& text) {
    size_t dots = 0;
    for (TRtfWord<void>* w : text.m_words)
        dots += static_cast<size_t>(std::count(w->m_strText.begin(), w->m_strText.end(), '.'));
    return dots;
}

// Whether a piece is nothing but the dots of a leader (". . .").
bool IsLeaderDots(const CRtfXmlText& text) {
    bool dot = false;
    for (TRtfWord<void>* w : text.m_words)
        for (char c : w->m_strText) {
            if (c == '.') dot = true;
            else if (c != ' ') return false;
        }
    return dot;
}

// The dots between a table of contents' or an index's entry and its page
// number, a piece or two each on the page, become one run of as many dots
// as fit before the number, and a tab to the number's place: each piece
// would otherwise be written with a widened space of its own, tens of
// thousands in a manual's index. Five dots in two pieces at least (not an
// ellipsis), with text before and after them.
void MarkLeaders(std::vector<LinePiece>& pieces) {
    for (size_t first = 1; first + 1 < pieces.size();) {
        size_t end = first;
        size_t dots = 0;
        while (end + 1 < pieces.size() && pieces[end].raise == Raise::kNone && IsLeaderDots(*pieces[end].text))
            dots += DotCount(*pieces[end++].text);
        if (dots >= 5 && end - first >= 2 && pieces[end].raise == Raise::kNone) {
            for (size_t k = first; k < end; ++k) pieces[k].leader = true;
            pieces[end].tab = true;
            pieces[end].gap = false;
        }
        first = std::max(end, first + 1);
    }
}

// The spaces that the Windows program put into a gap: two per point of the
// size of the text before, a space being about half the size wide.
size_t SpacesBySize(const CRtfXmlText& before, int64_t gap) {
    const int64_t size = std::max<int64_t>(before.m_nFontSize, 1);
    return static_cast<size_t>((2 * gap + size - 1) / size);
}

// Measures the line's pieces as the word processor sets them with `fit`.
class LineMeasure {
public:
    explicit LineMeasure(CLayoutDocument* doc) : m_pDoc(doc) {}

    // Width in page units of `word` (its trailing spaces left out when
    // `trimEnd`); false when its face cannot be measured.
    bool Word(const TRtfWord<void>& word, const LineFit& fit, bool raised, bool trimEnd, double& width) const {
        width = 0;
        if (word.m_strText.empty()) return true;
        std::u32string shown = ShownCharacters(word.m_strText);
        if (trimEnd)
            while (!shown.empty() && IsShownSpace(shown.back())) shown.pop_back();
        const TRtfFontData<void>* font = m_pDoc != nullptr ? m_pDoc->FindFontByNumber(word.m_nFont) : nullptr;
        if (font == nullptr) return false;
        double ems = 0;
        if (!qm::MeasureEms(font->m_strName, (word.m_nStyle & 0x01) != 0, (word.m_nStyle & 0x02) != 0, shown, ems))
            return false;
        const uint32_t halfPoints = FittedHalfPoints(word.m_nFontSize * 2u + (raised ? 5 : 0), fit);
        const double points = halfPoints / 2.0 * (raised ? kRaisedShare : 1.0);
        width = ems * points * kUnitsPerPoint * WordScale(word, fit) / 100.0;
        return true;
    }

    bool Piece(const LinePiece& piece, const LineFit& fit, bool last, double& width) const {
        width = 0;
        const bool raised = piece.raise != Raise::kNone;
        for (auto pos = piece.text->m_words.GetHeadPosition(); pos != nullptr;) {
            const TRtfWord<void>* w = piece.text->m_words.GetNext(pos);
            double one = 0;
            if (!Word(*w, fit, raised, last && pos == nullptr, one)) return false;
            width += one;
        }
        return true;
    }

    // Width of one space set after `before`: its last run's font and size,
    // neither bold nor italic (the run switches them off behind it).
    double Space(const CRtfXmlText& before, const LineFit& fit) const {
        const TRtfWord<void>* last = nullptr;
        for (TRtfWord<void>* w : before.m_words)
            if (!w->m_strText.empty()) last = w;
        TRtfWord<void> space;
        if (last != nullptr) {
            space.m_nFont = last->m_nFont;
            space.m_nFontSize = last->m_nFontSize;
            space.m_nHScale = last->m_nHScale;
            space.m_nFaceScale = last->m_nFaceScale;
            space.m_pText = last->m_pText;
        }
        space.m_strText = " ";
        double width = 0;
        if (!Word(space, fit, false, false, width) || width <= 0)
            width = 0.25 * space.m_nFontSize * kUnitsPerPoint * fit.scale * fit.size;
        return width;
    }

private:
    CLayoutDocument* m_pDoc;
};

// Widens the space of every gap so that each piece starts where it starts
// on the PDF page (`origin` is where the paragraph's text begins) and
// returns the line's width; false when a face cannot be measured. A gap is
// one space at least, and never the room of a wider font's text: where the
// text before runs long, its gap shrinks to that space. One widened space
// rather than several: LibreOffice sets every space after the first of a
// run of spaces half as wide again, so that a gap of spaces came out far
// wider than counted, and lines of TeX output (a piece per word) wrapped.
bool LayOut(std::vector<LinePiece>& pieces, const LineMeasure& measure, const LineFit& fit, int32_t origin,
            double& total) {
    total = 0;
    size_t lastGap = 0;
    for (size_t k = 0; k < pieces.size(); ++k)
        if (pieces[k].gap) lastGap = k;
    for (size_t k = 0; k < pieces.size(); ++k) {
        LinePiece& p = pieces[k];
        if (p.leader && pieces[k - 1].leader) continue;
        if (p.leader) {
            // As many dots, each with a space, as end a margin short of the
            // tab's place.
            size_t next = k;
            while (next < pieces.size() && !pieces[next].tab) ++next;
            if (next == pieces.size()) return false;
            const double space = measure.Space(*pieces[k - 1].text, fit);
            TRtfWord<void> dot = *p.text->m_words.GetHead();
            dot.m_strText = ". ";
            double unit = 0;
            if (!measure.Word(dot, fit, false, false, unit) || unit <= 0) return false;
            // Spaced out to the page's pitch of dots, where that is wider.
            size_t count = 0;
            for (size_t j = k; j < next; ++j) count += DotCount(*pieces[j].text);
            const double pitch = static_cast<double>(PrintRight(*pieces[next - 1].text) - PrintLeft(*p.text)) /
                                 static_cast<double>(std::max<size_t>(count, 1));
            p.spacing = pitch > unit ? static_cast<int32_t>((pitch - unit) / 2 * kTwipsPerInch / kUnitsPerInch) : 0;
            unit += 2.0 * p.spacing * kUnitsPerInch / kTwipsPerInch;
            const double room = PrintLeft(*pieces[next].text) - origin - total - space - kSpreadSlack;
            p.dots = room > unit ? std::min(count, static_cast<size_t>(room / unit)) : 0;
            if (p.dots > 0) total += space + static_cast<double>(p.dots) * unit;
            continue;
        }
        // A tab reaches its place; text already past it would send the tab
        // on to the next stop.
        if (p.tab && PrintLeft(*p.text) - origin < total) return false;
        if (p.tab) total = PrintLeft(*p.text) - origin;
        if (p.gap) {
            const double space = measure.Space(*pieces[k - 1].text, fit);
            const double extra = PrintLeft(*p.text) - origin - total - space;
            p.widen = extra > 0 ? static_cast<int32_t>(extra * kTwipsPerInch / kUnitsPerInch) : 0;
            if (p.widen < (k == lastGap ? kMinEndWiden : kMinWiden)) p.widen = 0;
            total += space + p.widen * kUnitsPerInch / kTwipsPerInch;
        }
        double width = 0;
        if (!measure.Piece(p, fit, k + 1 == pieces.size(), width)) return false;
        total += width;
    }
    return true;
}

// The narrowest fit that keeps a line within `room` units, lowering the
// scale first and the size below the scale's floor. `layOut(fit, total)`
// lays the line out at a fit and gives its width; false when a face
// cannot be measured.
template <typename LayOutAt>
LineFit NarrowestFit(const LayOutAt& layOut, double room) {
    LineFit fit;
    double total = 0;
    if (!layOut(fit, total) || room <= 0 || total <= room + kFitSlack) return fit;
    for (int round = 0; round < kMaxFitRounds && total > room; ++round) {
        const double now = fit.scale * fit.size;
        // Percent steps, always at least one down, so the loop ends.
        double want = std::floor(now * room / total * 100.0) / 100.0;
        if (want >= now) want = now - 0.01;
        if (want >= kMinLineScale) {
            fit.scale = want;
            fit.size = 1.0;
        } else {
            fit.scale = kMinLineScale;
            fit.size = std::max(kMinLineSize, want / kMinLineScale);
        }
        if (!layOut(fit, total)) return LineFit();
        if (fit.size <= kMinLineSize) break;
    }
    return fit;
}

LineFit FitLine(std::vector<LinePiece>& pieces, const LineMeasure& measure, int32_t origin, double room) {
    return NarrowestFit(
        [&](const LineFit& fit, double& total) { return LayOut(pieces, measure, fit, origin, total); }, room);
}

// The page's gaps between a line's words, widest and narrowest, are alike
// enough to be spread evenly (a sentence's end may be set twice as wide),
// at least one of them had to be widened, nothing is raised, and the line
// set with plain spaces stays short of `width` by a margin for measuring:
// the word processor would wrap a line longer than its paragraph.
bool SpreadsEvenly(const std::vector<LinePiece>& pieces, double natural, int32_t width) {
    int32_t narrowest = INT32_MAX;
    int32_t widest = 0;
    bool widened = false;
    for (size_t k = 1; k < pieces.size(); ++k) {
        // Raised text is measured in a size of its own, less surely.
        if (pieces[k].raise != Raise::kNone || pieces[k].tab) return false;
        if (!pieces[k].gap) continue;
        const int32_t gap = PrintLeft(*pieces[k].text) - PrintRight(*pieces[k - 1].text);
        narrowest = std::min(narrowest, gap);
        widest = std::max(widest, gap);
        widened = widened || pieces[k].widen > 0;
    }
    if (!widened || widest > 2 * narrowest + kSpreadSlack) return false;
    return natural + kSpreadSlack + width / 100.0 <= width;
}

// A line holding right-to-left script is laid out by the word processor
// in the order it shows, which is not the order it reads: from the right
// in a right-to-left paragraph, with the pieces of another direction
// turned round. An item of such a line as shown: piece `index` (in reading
// order), or the space written before it.
struct ShownItem {
    size_t index = 0;
    bool gap = false;
};

// The items of a line in reading order as the word processor shows them,
// from the end the paragraph starts at (the right for a right-to-left
// one). The reordering undoes itself, so run on the reading order it gives
// the order shown.
std::vector<ShownItem> ShownItems(const std::vector<LinePiece>& pieces, bool rightToLeft) {
    std::vector<ShownItem> items;
    std::vector<BidiKind> kinds;
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (pieces[k].gap) {
            items.push_back({k, true});
            kinds.push_back(BidiKind::kNeutral);
        }
        items.push_back({k, false});
        kinds.push_back(PieceKind(*pieces[k].text, CountStrong(*pieces[k].text)));
    }
    std::vector<ShownItem> shown;
    for (size_t i : ReadingOrder(kinds, rightToLeft)) shown.push_back(items[i]);
    if (rightToLeft) std::reverse(shown.begin(), shown.end());
    return shown;
}

// LayOut for such a line: each gap is widened so that the piece shown
// beyond it starts, counted from the paragraph's start `edge`, where it
// does on the PDF page.
bool LayOutShown(std::vector<LinePiece>& pieces, const std::vector<ShownItem>& shown, const std::vector<double>& joined,
                 const LineMeasure& measure, const LineFit& fit, bool rightToLeft, int32_t edge, double& total) {
    total = 0;
    std::vector<size_t> gaps;  // met since the last piece
    for (const ShownItem& item : shown) {
        if (item.gap) {
            gaps.push_back(item.index);
            continue;
        }
        LinePiece& p = pieces[item.index];
        const double at = rightToLeft ? edge - PrintRight(*p.text) : PrintLeft(*p.text) - edge;
        for (size_t g : gaps) {
            const double space = measure.Space(*pieces[g - 1].text, fit);
            const double extra = at - total - space;
            pieces[g].widen = extra > 0 ? static_cast<int32_t>(extra * kTwipsPerInch / kUnitsPerInch) : 0;
            total += space + pieces[g].widen * kUnitsPerInch / kTwipsPerInch;
        }
        gaps.clear();
        double width = 0;
        if (!measure.Piece(p, fit, item.index + 1 == pieces.size(), width)) return false;
        total += width * joined[item.index];
    }
    for (size_t g : gaps) {
        pieces[g].widen = 0;
        total += measure.Space(*pieces[g - 1].text, fit);
    }
    return true;
}

// FitLine for a line laid out by LayOutShown.
LineFit FitShownLine(std::vector<LinePiece>& pieces, const std::vector<ShownItem>& shown,
                     const std::vector<double>& joined, const LineMeasure& measure, bool rightToLeft, int32_t edge,
                     double room) {
    return NarrowestFit(
        [&](const LineFit& fit, double& total) {
            return LayOutShown(pieces, shown, joined, measure, fit, rightToLeft, edge, total);
        },
        room);
}

// How much narrower each piece of a line is with its Arabic letters joined
// than measured letter by letter: a share of its measured width. Letters
// join across pieces (PDFs that place each glyph on its own), so the line
// is joined as a whole.
// The word processor's joined Arabic comes out a few percent wider than
// its presentation forms measure (marks, kerning); a line measured short
// by that much would wrap, since its gaps fill it to the end.
constexpr double kJoinedSlack = 1.06;

std::vector<double> JoinedShares(const std::vector<LinePiece>& pieces) {
    std::vector<double> shares(pieces.size(), 1.0);
    std::u32string line;
    std::vector<size_t> starts;
    for (const LinePiece& p : pieces) {
        if (p.gap) line.push_back(U' ');
        starts.push_back(line.size());
        line += ShownCharacters(WordsText(*p.text));
    }
    starts.push_back(line.size());
    const std::u32string joined = JoinedForms(line);
    if (joined == line) return shares;
    CLayoutDocument* doc = DocumentOf(*pieces.front().text);
    for (size_t k = 0; k < pieces.size(); ++k) {
        const size_t from = starts[k];
        const size_t count = (k + 1 < pieces.size() && pieces[k + 1].gap ? starts[k + 1] - 1 : starts[k + 1]) - from;
        if (joined.compare(from, count, line, from, count) == 0) continue;
        const TRtfWord<void>* word = pieces[k].text->m_words.GetHead();
        const TRtfFontData<void>* font = word != nullptr && doc != nullptr ? doc->FindFontByNumber(word->m_nFont) : nullptr;
        if (font == nullptr) continue;
        const bool bold = (word->m_nStyle & 0x01) != 0;
        const bool italic = (word->m_nStyle & 0x02) != 0;
        // A fixed-pitch face gives every form of a letter one width.
        double narrow = 0;
        double wide = 0;
        if (qm::MeasureEms(font->m_strName, bold, italic, U"i", narrow) &&
            qm::MeasureEms(font->m_strName, bold, italic, U"W", wide) && std::abs(narrow - wide) < 0.01)
            continue;
        double apart = 0;
        double together = 0;
        if (qm::MeasureEms(font->m_strName, bold, italic, line.substr(from, count), apart) &&
            qm::MeasureEms(font->m_strName, bold, italic, joined.substr(from, count), together) && apart > 0)
            shares[k] = std::min(1.0, together / apart * kJoinedSlack);
    }
    return shares;
}

// A flowing line with right-to-left script, its pieces in reading order.
// A right-to-left paragraph takes its indents mirrored (the word processor
// sets \li on its right) and is aligned right (LibreOffice sets it from the
// left otherwise), so that the line's right end stands where the page has
// it and its left end no further left than the line box starts; the line
// is fitted into that room as a left-to-right one is.
std::string WriteShownLine(CRtfXmlText& text, const std::vector<CRtfXmlText*>& order, bool rightToLeft,
                           const CRect& column) {
    std::vector<LinePiece> pieces(order.size());
    int32_t right = std::max(PrintLeft(*order.front()), PrintRight(*order.front()));
    for (size_t k = 0; k < order.size(); ++k) {
        pieces[k].text = order[k];
        right = std::max({right, PrintLeft(*order[k]), PrintRight(*order[k])});
        if (k > 0 && NeedsSpace(*order[k - 1], *order[k])) {
            pieces[k].gap = true;
            pieces[k].spaces = 1;
        }
    }
    const int32_t left = std::max(text.m_rcLine.left, column.left);
    const int32_t end = std::max(left, std::min(right, column.right));
    const int32_t edge = rightToLeft ? end : left;

    const LineMeasure measure(DocumentOf(text));
    std::vector<LinePiece> laid = pieces;
    const std::vector<ShownItem> shown = ShownItems(pieces, rightToLeft);
    const std::vector<double> joined = JoinedShares(pieces);
    const LineFit fit = FitShownLine(laid, shown, joined, measure, rightToLeft, edge, static_cast<double>(end - left));
    double total = 0;
    const bool measured = LayOutShown(laid, shown, joined, measure, fit, rightToLeft, edge, total);
    if (measured) pieces = laid;

    const bool keep = KeepsSpacing(&text);
    CRunJoiner runs;
    if (rightToLeft)
        runs.Raw(std::string(kRightToLeftParagraph) + "\\qr\\li" + D(ToTwips(column.right - end)) + "\\ri" +
                 D(ToTwips(left - column.left)) + " ");
    // A right-to-left line is condensed as far as its pieces at their places
    // on the page need, but its gaps are written as plain spaces: Arabic set
    // by the word processor differs in width from the PDF's font word by
    // word, and gaps widened to the PDF's places left holes in such lines
    // that broke them apart (and read them out of order) in its rendering.
    for (const LinePiece& p : pieces) {
        if (p.gap && (!keep || rightToLeft)) runs.Spaces(1);
        else if (p.gap && measured && p.widen > 0) runs.Gap("{\\expndtw" + D(p.widen) + "  }");
        else if (p.gap) runs.Spaces(1);
        runs.Add(p.text->m_words, 0, false, fit);
    }
    return AddHyperlinks(text, runs.Take());
}

}  // namespace

std::string WriteFragment(CRtfXmlText& text, const CRect* column) {
    if (!text.m_pPage) return {};
    // Directions are those of the page as shown, so the page's own rotation
    // takes no part.
    if (text.m_nRotation == 0) return WriteLine(text, column);
    return WriteRotated(text);
}

std::string WriteLine(CRtfXmlText& text, const CRect* column) {
    if (text.m_pJoined && !text.m_pJoined->IsEmpty() && IsTableRow(&text)) {
        CRtfCell row(&text);
        if (row.GetBlockCount() > 1) {
            text.m_nFlags |= kTextTableRow;
            std::string rtf;
            WriteCell(row, rtf);
            return AddHyperlinks(text, rtf);
        }
    }

    // Reading order: the joined pieces by left edge (ties keep list order),
    // the head slotted in among them. Pieces taken are remembered locally as
    // well as flagged, so writing a line twice does not lose its pieces.
    std::vector<CRtfXmlText*> order;
    if (text.m_pJoined) {
        std::vector<CRtfXmlText*> joined;
        for (CRtfXmlText* j : *text.m_pJoined) joined.push_back(j);
        std::vector<bool> taken(joined.size(), false);
        for (size_t round = 0; round < joined.size(); ++round) {
            size_t best = joined.size();
            for (size_t k = 0; k < joined.size(); ++k) {
                if (taken[k]) continue;
                if (best == joined.size() ||
                    static_cast<uint32_t>(joined[k]->m_rect.left) < static_cast<uint32_t>(joined[best]->m_rect.left))
                    best = k;
            }
            taken[best] = true;
            joined[best]->m_nFlags |= kTextReadOrder;
            order.push_back(joined[best]);
        }
    }
    auto slot = order.begin();
    while (slot != order.end() &&
           static_cast<uint32_t>((*slot)->m_rect.left) <= static_cast<uint32_t>(text.m_rect.left))
        ++slot;
    order.insert(slot, &text);

    const bool keep = KeepsSpacing(&text);
    // Right-to-left script reads from the right: its pieces are not
    // superscripts of the piece left of them, and a space stands for the gap
    // between two of them, as in the paragraph layouts. In a column such
    // lines are fitted with their gaps taken in the order the word
    // processor shows them; elsewhere they are written as they read.
    const std::vector<CRtfXmlText*> shown = order;
    const bool rightToLeft = OrderRightToLeftLine(order);
    if ((rightToLeft || order != shown) && column != nullptr) return WriteShownLine(text, order, rightToLeft, *column);
    if (rightToLeft || order != shown) {
        std::string out = rightToLeft ? std::string(kRightToLeftParagraph) + " " : std::string();
        out += FormatRuns(order.front()->m_words, 0, false);
        for (size_t k = 1; k < order.size(); ++k) {
            if (NeedsSpace(*order[k - 1], *order[k])) out += "{ }";
            out += FormatRuns(order[k]->m_words, 0, false);
        }
        return AddHyperlinks(text, out);
    }

    std::vector<LinePiece> pieces(order.size());
    pieces[0].text = order.front();
    int32_t right = std::max(PrintLeft(*order.front()), PrintRight(*order.front()));
    for (size_t k = 1; k < order.size(); ++k) {
        CRtfXmlText& f = *order[k];
        const CRtfXmlText& q = *order[k - 1];
        LinePiece& p = pieces[k];
        p.text = &f;
        right = std::max({right, PrintLeft(f), PrintRight(f)});
        p.raise = Classify(f, q);
        if (p.raise == Raise::kSuper) p.rise = static_cast<int8_t>(q.m_rect.bottom - (f.m_rect.bottom + 1));
        if (p.raise != Raise::kNone) {
            f.m_nFlags |= kTextRaised;
        } else if ((f.m_nFlags & kTextRaised) == 0 && IsWordGap(q, static_cast<int64_t>(PrintLeft(f)) - PrintRight(q))) {
            p.gap = true;
            p.spaces = SpacesBySize(q, static_cast<int64_t>(PrintLeft(f)) - PrintRight(q));
        }
    }

    // In a column the paragraph's text starts at the line box's left edge
    // (its indent, never left of the column) and ends at the column's right
    // edge at the latest. A line written on its own, after the page's body,
    // starts where its first piece does and has the room it had on the PDF
    // page: unfitted, a wider font wrapped it onto a second line.
    const int32_t origin = column != nullptr ? std::max(text.m_rcLine.left, column->left) : PrintLeft(*order.front());
    const int32_t end = column != nullptr ? std::min(right, column->right) : right;
    LineFit fit;
    bool measured = false;
    double natural = 0;  // the line's width with one plain space a gap
    {
        const LineMeasure measure(DocumentOf(text));
        const double room = static_cast<double>(end) - origin;
        // Leaders go where the line is measured in a column; one its text
        // overruns is written as its dots.
        const auto measureLine = [&](std::vector<LinePiece> laid) {
            fit = FitLine(laid, measure, origin, room);
            double total = 0;
            if (!LayOut(laid, measure, fit, origin, total)) return false;
            pieces = std::move(laid);
            natural = total;
            for (const LinePiece& p : pieces) natural -= p.widen * kUnitsPerInch / kTwipsPerInch;
            return true;
        };
        std::vector<LinePiece> marked = pieces;
        if (column != nullptr && keep) MarkLeaders(marked);
        const bool leaders = std::any_of(marked.begin(), marked.end(), [](const LinePiece& p) { return p.tab; });
        measured = (leaders && measureLine(std::move(marked))) || measureLine(pieces);
    }

    // A line that the word processor's font sets short, and whose gaps the
    // page sets alike (a justified line, or one at its words' own spacing),
    // is spread to its width by its paragraph, distributed and ending where
    // the line ends, rather than by widened spaces: every widened space is
    // a run of its own, and in a manual of justified text those runs took
    // most of the time the word processor spent opening it.
    const bool spread = measured && keep && column != nullptr && fit.scale == 1.0 && fit.size == 1.0 &&
                        right <= column->right && SpreadsEvenly(pieces, natural, right - origin);

    std::string tabs;
    CRunJoiner runs;
    for (const LinePiece& p : pieces) {
        const CRtfXmlText& f = *p.text;
        if (p.leader) {
            if (p.dots > 0) {
                TRtfWord<void> dots = *f.m_words.GetHead();
                dots.m_strText.clear();
                for (size_t d = 0; d < p.dots; ++d) dots.m_strText += d == 0 ? "." : " .";
                runs.Spaces(1);
                if (p.spacing > 0) runs.Raw("{\\expndtw" + D(p.spacing) + " ");
                runs.Add(dots, 0, false, fit);
                if (p.spacing > 0) runs.Raw("}");
            }
            continue;
        }
        if (p.tab) {
            tabs += "\\tx" + D(ToTwips(PrintLeft(f) - column->left));
            runs.Raw("\\tab ");
        }
        switch (p.raise) {
        case Raise::kSuper: runs.Raw("{\\super " + FormatRuns(f.m_words, p.rise, false, fit) + "}"); break;
        case Raise::kSub: runs.Raw("{\\sub " + FormatRuns(f.m_words, 0, false, fit) + "}"); break;
        case Raise::kNone:
            // Without preserved spacing, and on a line spread to its width,
            // a gap is one plain space.
            if (p.gap && (!keep || spread)) runs.Spaces(1);
            else if (p.gap && !measured) runs.Spaces(p.spaces);
            else if (p.gap && p.widen > 0) runs.Gap("{\\expndtw" + D(p.widen) + "  }");  // a delimiter, a space
            else if (p.gap) runs.Spaces(1);
            runs.Add(f.m_words, 0, false, fit);
            break;
        }
    }
    std::string head = spread ? "\\qd\\ri" + D(ToTwips(column->right - right)) : std::string();
    head += tabs;
    if (!head.empty()) head += " ";
    return head + AddHyperlinks(text, runs.Take());
}

int32_t TextAngle(const CRtfXmlText& text) {
    // Direction 2 without an angle (the Windows program's code for Hebrew)
    // reads upright.
    if (text.m_nAngle != 0) return (text.m_nAngle % 360 + 360) % 360;
    return text.m_nRotation == 90 || text.m_nRotation == 270 ? text.m_nRotation : 0;
}

CRect RotatedShapeBox(const CRtfXmlText& text) {
    // The fragment's box is the area its glyphs cover on the page; a
    // right-to-left run arrives with a negative width.
    const CRect& box = text.m_rect;
    const int64_t left = std::min(box.left, box.right);
    const int64_t top = std::min(box.top, box.bottom);
    const int64_t areaW = std::abs(static_cast<int64_t>(box.Width()));
    const int64_t areaH = std::abs(static_cast<int64_t>(box.Height()));

    // The text's length and height in the word processor's font (screen
    // pixels at 96 per inch, taken to page units at 108): a substitute font
    // may be wider than the PDF's, and a box too short for the text would
    // break it onto a second line.
    int64_t length = 0;
    int64_t height = 0;
    CLayoutDocument* doc = DocumentOf(text);
    if (const TRtfFontData<void>* font = doc != nullptr ? doc->FindFontByNumber(text.m_nFont) : nullptr) {
        for (TRtfWord<void>* word : text.m_words) {
            const CSize e = word->MeasureWord(font->m_strName, text.m_nFontSize, word->m_strText);
            length += e.cx;
            height = std::max<int64_t>(height, e.cy);
        }
        length = std::min<int64_t>(length, INT32_MAX / 108) * 108 / 96;
        height = std::min<int64_t>(height, INT32_MAX / 108) * 108 / 96;
    }

    // Text read upwards or downwards keeps the area's shape; text at any
    // other angle gets an upright box around the area's centre, which the
    // word processor turns by the shape's rotation.
    const int32_t angle = TextAngle(text);
    const bool vertical = angle == 90 || angle == 270;
    int64_t w = 0;
    int64_t h = 0;
    if (vertical) {
        w = std::max(areaW, height);
        h = std::max(areaH, length * kShapeGrowthNum / kShapeGrowthDen);
    } else {
        w = std::max(length * kShapeGrowthNum / kShapeGrowthDen, angle == 180 ? areaW : int64_t{0});
        h = std::max(height, angle == 180 ? areaH : int64_t{0});
    }
    if (w <= 0 || h <= 0) return CRect();
    const double l = static_cast<double>(left + areaW / 2 - w / 2);
    const double t = static_cast<double>(top + areaH / 2 - h / 2);
    return CRect(Twips(l), Twips(t), Twips(l + static_cast<double>(w)), Twips(t + static_cast<double>(h)));
}

std::string WriteRotated(CRtfXmlText& text) {
    const CRect box = RotatedShapeBox(text);
    if (box.IsRectEmpty()) return {};

    // A text box rather than a word-art shape: word art draws its text as
    // outlines (LibreOffice shows no text, and did not know the property
    // names the Windows program wrote, drawing a black box instead), while
    // a text box keeps it editable. Text read upwards or downwards flows
    // that way in the box; other angles are left to the shape's rotation
    // (clockwise in RTF), which Word honours and LibreOffice shows upright.
    const int32_t angle = TextAngle(text);
    std::string turn;
    if (angle == 90)
        turn = "\n{\\sp{\\sn txflTextFlow}{\\sv 2}}";
    else if (angle == 270)
        turn = "\n{\\sp{\\sn txflTextFlow}{\\sv 3}}";
    else if (angle != 0)
        turn = "\n{\\sp{\\sn rotation}{\\sv " + D(static_cast<int64_t>(360 - angle) * 65536) + "}}";

    // Text shapes are numbered on their own, apart from drawn paths and
    // pictures; a fragment outside any document numbers nothing.
    CLayoutDocument* doc = DocumentOf(text);
    const int32_t id = doc != nullptr ? doc->Context().NextTextShapeId() : 0;
    const std::string s = "\n{\\shp{\\*\\shpinst\\shpleft" + D(box.left) + "\\shptop" + D(box.top) + "\\shpright" +
                          D(box.right) + "\\shpbottom" + D(box.bottom) +
                          "\\shpbxpage\\shpbypage\\shpwr3\\shpwrk0\\shpfblwtxt0\\shpz0\\shplid" + D(id) +
                          "\n{\\sp{\\sn shapeType}{\\sv 202}}" + turn +
                          "\n{\\sp{\\sn fFilled}{\\sv 0}}"
                          "\n{\\sp{\\sn fLine}{\\sv 0}}"
                          "\n{\\sp{\\sn dxTextLeft}{\\sv 0}}"
                          "\n{\\sp{\\sn dyTextTop}{\\sv 0}}"
                          "\n{\\sp{\\sn dxTextRight}{\\sv 0}}"
                          "\n{\\sp{\\sn dyTextBottom}{\\sv 0}}"
                          "\n{\\shptxt\\pard\\plain\\ql " + FormatRuns(text.m_words, 0, false) + "\\par}}}\n";
    return AddHyperlinks(text, s);
}

namespace {

CRect Union(const CRect& a, const CRect& b) {
    return CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom));
}

CRect Normalised(const CRect& r) {
    return CRect(std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                 std::max(r.top, r.bottom));
}

// Where a piece's baseline lies: a fifth of its box's height above its
// bottom, about where a text font's descent ends.
int32_t Baseline(const CRtfXmlText& text) {
    const CRect& r = PrintBox(text);
    return r.bottom - r.Height() / 5;
}

// Whether `next` carries on the text of `prev` in the same frame: no more
// than an em away, and on the same band of the page or raised or lowered
// within it, sharing half the height of the lower of the two. A TeX logo
// (a small raised A, a lowered E, each kerned back under the letter
// before) is one word on the page; a frame per letter broke every line
// that named it into three frames.
bool SharesFrame(const CRtfXmlText& prev, const CRtfXmlText& next) {
    const CRect& a = PrintBox(prev);
    const CRect& b = PrintBox(next);
    const int32_t em = std::max<int32_t>(std::max(prev.m_nFontSize, next.m_nFontSize), 1) * 3 / 2;  // 1.5 units a point
    const int32_t gap = b.left - a.right;
    if (gap > em) return false;
    if (std::abs(a.top - b.top) <= kFrameBandSlack && std::abs(a.bottom - b.bottom) <= kFrameBandSlack)
        return gap >= -em;
    const int32_t overlap = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    const int32_t lower = std::min(a.Height(), b.Height());
    return gap >= -em * 2 / 3 && b.right > a.right && lower > 0 && overlap * 2 >= lower;
}

// The group that raises (or, for a negative `rise`, lowers) text by `rise`
// page units, in half points (1.5 page units a point); none within a
// band's slack.
std::string RiseOpen(int32_t rise) {
    if (std::abs(rise) <= kFrameBandSlack) return {};
    return (rise > 0 ? "{\\up" : "{\\dn") + U(static_cast<uint32_t>(std::abs(rise)) * 4 / 3) + " ";
}

}  // namespace

std::vector<ExactFrame> ExactFramesOf(CRtfXmlText& text) {
    // Pieces of a line that continue each other share one frame. A frame
    // per piece, as the Windows program wrote them, gave pages of TeX output
    // (a piece per glyph or two) twenty thousand frames, and LibreOffice did
    // not open such a document within minutes. Tab stops and columns keep
    // frames of their own.
    std::vector<CRtfXmlText*> pieces = LinePieces(text);
    // A line with right-to-left script is framed as it stands on the page,
    // each frame's text in reading order.
    bool anyRight = false;
    for (CRtfXmlText* p : pieces) anyRight = anyRight || CountStrong(*p).right > 0;
    if (anyRight) {
        std::stable_sort(pieces.begin(), pieces.end(),
                         [](const CRtfXmlText* a, const CRtfXmlText* b) { return PrintLeft(*a) < PrintLeft(*b); });
    }
    std::vector<ExactFrame> frames;
    for (size_t first = 0; first < pieces.size();) {
        size_t end = first + 1;
        while (end < pieces.size() && SharesFrame(*pieces[end - 1], *pieces[end])) ++end;

        std::vector<CRtfXmlText*> framed(pieces.begin() + static_cast<std::ptrdiff_t>(first),
                                         pieces.begin() + static_cast<std::ptrdiff_t>(end));
        if (anyRight) OrderRightToLeftLine(framed);
        CRect r = Normalised(framed[0]->m_rect);
        CRect band = r;
        CRunJoiner runs;
        runs.Add(framed[0]->m_words, 0, false);
        for (size_t k = 1; k < framed.size(); ++k) {
            const CRect b = Normalised(framed[k]->m_rect);
            r = Union(r, b);
            if (NeedsSpace(*framed[k - 1], *framed[k])) runs.Spaces(1);
            // Raised or lowered from the baseline of the frame's first piece.
            const std::string shift = RiseOpen(Baseline(*framed[0]) - Baseline(*framed[k]));
            if (shift.empty()) {
                band = Union(band, b);
                runs.Add(framed[k]->m_words, 0, false);
            } else {
                runs.Raw(shift);
                runs.Add(framed[k]->m_words, 0, false);
                runs.Raw("}");
            }
        }
        frames.push_back({r, AddHyperlinks(*framed[0], runs.Take()), band});
        first = end;
    }
    return frames;
}

namespace {

// The frame's position, kept on the page: as unsigned numbers, a negative
// width (a right-to-left run) or a position left of the page came out as
// values past four billion and the text vanished from the page. The frame
// grows to the right by at most `room` units past its text.
//
// The frame is a text box without fill or line rather than a positioned
// paragraph: LibreOffice paints a paragraph frame white, so that the
// table rules, boxes and pictures under a block of text vanished; a text
// box that is not filled shows them, in Word as well.
//
// The frame's growth stops short of the paper's right and bottom edges: a
// frame reaching past the paper (a block filling a page, grown by a
// seventh) was moved up onto it, its text with it.
std::string TextBox(const CRect& r, double room, const std::string& paragraphs, CLayoutContext* context,
                    int32_t paperWidth = INT32_MAX, int32_t paperHeight = INT32_MAX) {
    const double left = std::max(0, r.left);
    const double top = std::max(0, r.top);
    const double width = static_cast<double>(r.Width());
    const double grown = std::min(width * kFrameGrowth, width + std::max(0.0, room));
    const double height = static_cast<double>(r.Height());
    // The growth ends at the paper's edge, the text's own extent wherever
    // that lies (a paper size read from a broken file may be anything).
    const auto grownTo = [](int32_t text, int32_t grownEnd, int32_t paper) {
        return static_cast<int32_t>(
            std::min<int64_t>(grownEnd, std::max<int64_t>(text, int64_t{paper} - kPaperEdge)));
    };
    const int32_t right = grownTo(Twips(left + width), Twips(left + grown), paperWidth);
    const int32_t bottom = grownTo(Twips(top + height), Twips(top + height * kFrameGrowth), paperHeight);
    const int32_t id = context != nullptr ? context->NextTextShapeId() : 0;
    return "{\\shp{\\*\\shpinst\\shpleft" + U(Twips(left)) + "\\shptop" + U(Twips(top)) + "\\shpright" +
           U(right) + "\\shpbottom" + U(bottom) +
           "\\shpfhdr0\\shpwr3\\shpwrk0\\shpfblwtxt0\\shplid" + D(id) + "\\shpz" + D(kTextBoxZ + id) +
           "\\shpbxpage\\shpbypage"
           "\n{\\sp{\\sn shapeType}{\\sv 202}}{\\sp{\\sn fFilled}{\\sv 0}}{\\sp{\\sn fLine}{\\sv 0}}"
           "{\\sp{\\sn fBehindDocument}{\\sv 0}}{\\sp{\\sn fFitShapeToText}{\\sv 0}}"
           "\n{\\sp{\\sn dxTextLeft}{\\sv 0}}{\\sp{\\sn dyTextTop}{\\sv 0}}{\\sp{\\sn dxTextRight}{\\sv 0}}"
           "{\\sp{\\sn dyTextBottom}{\\sv 0}}\n{\\shptxt " +
           paragraphs + "}}}\n";
}

// The stretch of a frame's baseline, which lines stack by: a lowered
// piece reaching into the line below does not make its line taller.
const CRect& BandOf(const ExactFrame& f) { return f.band.IsRectNull() ? f.box : f.band; }

// Whether `f` goes on after `last` on the same line of text: to its right
// and sharing at least half the height of the lower of the two. Pieces in
// another font or raised a little (a TeX logo's lowered E) stay on the line.
bool SameLine(const CRect& last, const CRect& f) {
    const int32_t overlap = std::min(last.bottom, f.bottom) - std::max(last.top, f.top);
    const int32_t lower = std::min(last.Height(), f.Height());
    return f.left >= last.right - kFrameBandSlack && lower > 0 && overlap * 2 >= lower;
}

// A piece of a line set above or below the line's first piece is raised or
// lowered by as much, in half points (1.5 page units to the point).
std::string Shifted(const CRect& ref, const ExactFrame& f) {
    const std::string open = RiseOpen(ref.bottom - BandOf(f).bottom);
    return open.empty() ? f.text : open + f.text + "}";
}

// A block of the page's text: lines stacked one below the other in the
// same stretch of the page, each line the frames of one band, left to right.
struct FrameBlock {
    std::vector<std::vector<const ExactFrame*>> lines;
    std::vector<CRect> lineBoxes;
    CRect box;
    // How far the frame may grow to the right before it reaches the text
    // of a block beside it (text that wraps would be set over that text).
    double room = kMaxUnits;

    // Whether `f` carries on this block: further along the last line, or
    // the next line below it, no more than a line's height lower and
    // within the block's stretch of the page.
    bool Takes(const ExactFrame& f) const {
        const CRect& band = BandOf(f);
        if (SameLine(BandOf(*lines.back().back()), band)) return true;
        const CRect& line = lineBoxes.back();
        const int32_t pitch = std::max(line.Height(), band.Height());
        // Lines of a paragraph may overlap by a few units: boxes run from
        // the font's ascent to its descent, more than the line pitch, and a
        // piece lowered by a unit or two is not shifted.
        const int32_t overlap = std::max(kFrameBandSlack, line.Height() / 5);
        return band.top >= line.bottom - overlap && band.top - line.bottom <= pitch &&
               f.box.left < box.right && f.box.right > box.left;
    }

    void Add(const ExactFrame& f) {
        if (lines.empty()) {
            lines.push_back({&f});
            lineBoxes.push_back(BandOf(f));
            box = f.box;
            return;
        }
        if (SameLine(BandOf(*lines.back().back()), BandOf(f))) {
            lines.back().push_back(&f);
            lineBoxes.back() = Union(lineBoxes.back(), BandOf(f));
        } else {
            lines.push_back({&f});
            lineBoxes.push_back(BandOf(f));
        }
        box = Union(box, f.box);
    }

    // One paragraph per line, all with the block's frame (which makes them
    // share it); space before and an exact line height put each line at its
    // own height, the indent and tab stops at its own places.
    std::string Write(CLayoutContext* context, int32_t paperWidth, int32_t paperHeight) const {
        if (lines.size() == 1 && lines[0].size() == 1)
            return TextBox(lines[0][0]->box, room, "\\pard " + lines[0][0]->text + "\\par", context, paperWidth,
                           paperHeight);
        const int32_t left = std::max(0, box.left);
        std::vector<int32_t> tops, heights;
        for (const CRect& l : lineBoxes) {
            tops.push_back(Twips(l.top - box.top));
            heights.push_back(std::max(1, Twips(static_cast<double>(l.Height()) * kFrameGrowth)));
        }
        std::string out;
        int32_t flowBottom = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            int32_t exact = heights[i];
            if (i + 1 < lines.size()) exact = std::max(1, std::min(exact, tops[i + 1] - tops[i]));
            const int32_t before = std::max(0, tops[i] - flowBottom);
            flowBottom += before + exact;
            out += "\\pard\\li" + U(Twips(std::max(0, lines[i][0]->box.left - left))) + "\\sb" + U(before) + "\\sl-" +
                   U(exact) + "\\slmult0";
            for (size_t k = 1; k < lines[i].size(); ++k)
                out += "\\tx" + U(Twips(std::max(0, lines[i][k]->box.left - left)));
            out += " " + lines[i][0]->text;
            for (size_t k = 1; k < lines[i].size(); ++k) out += "\\tab " + Shifted(BandOf(*lines[i][0]), *lines[i][k]);
            out += "\\par";
        }
        return TextBox(box, room, out, context, paperWidth, paperHeight);
    }
};

}  // namespace

std::string WriteExactFrames(CRtfXmlText& text) {
    CLayoutDocument* doc = DocumentOf(text);
    CLayoutContext* context = doc != nullptr ? &doc->Context() : nullptr;
    std::string out;
    for (const ExactFrame& f : ExactFramesOf(text)) out += TextBox(f.box, kMaxUnits, "\\pard " + f.text + "\\par", context);
    return out;
}

std::string WriteExactBlocks(const std::vector<ExactFrame>& frames, CLayoutContext* context, int32_t paperWidth,
                             int32_t paperHeight) {
    // Consecutive paragraphs with the same frame share it. LibreOffice's time
    // to open a document grows far faster than its number of frames (8,000
    // frames over 80 pages took minutes, 1 frame per block of lines seconds),
    // so the lines of a block of text are written into one frame.
    std::vector<FrameBlock> blocks;
    for (const ExactFrame& f : frames) {
        if (blocks.empty() || !blocks.back().Takes(f)) blocks.emplace_back();
        blocks.back().Add(f);
    }
    for (FrameBlock& b : blocks) {
        for (const FrameBlock& other : blocks) {
            const bool beside = other.box.top < b.box.bottom && other.box.bottom > b.box.top;
            if (beside && other.box.left >= b.box.right) b.room = std::min<double>(b.room, other.box.left - b.box.right);
        }
    }
    std::string out;
    for (const FrameBlock& b : blocks) out += b.Write(context, paperWidth, paperHeight);
    return out;
}

std::string WriteParagraph(CRtfXmlText& text) {
    CRunJoiner runs;
    std::vector<CRtfXmlText*> pieces = LinePieces(text);
    const bool rightToLeft = OrderRightToLeftLine(pieces);
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0 && NeedsSpace(*pieces[k - 1], *pieces[k])) runs.Spaces(1);
        runs.Add(pieces[k]->m_words, 0, false);
    }
    return std::string("\\pard ") + (rightToLeft ? kRightToLeftBlock : "") + AddHyperlinks(text, runs.Take()) + "\\par";
}

std::string WritePlainParagraph(CRtfXmlText& text) {
    std::string runs;
    std::vector<CRtfXmlText*> pieces = LinePieces(text);
    const bool rightToLeft = OrderRightToLeftLine(pieces);
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0 && NeedsSpace(*pieces[k - 1], *pieces[k])) runs += "{ }";
        runs += PlainRuns(pieces[k]->m_words);
    }
    return std::string("\\pard ") + (rightToLeft ? kRightToLeftBlock : "") + StripLinks(runs) + "\\par";
}
