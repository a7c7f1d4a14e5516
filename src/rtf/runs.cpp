// Text runs in RTF: one group per word with its character format, the line
// writers of each layout (a flowing line with superscripts, subscripts and
// spacing, a turned text shape, positioned frames, a paragraph, a plain
// paragraph) and the hyperlink fields made from the extractor's link markers.
//
// The RTF document writer and the paragraph blocks of the flowing layout
// place the strings built here into the page's RTF.
#include "rtf/runs.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "layout/layout_document.h"
#include "layout/words.h"
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
// Pieces whose tops and bottoms lie within this many units read as one band.
constexpr int32_t kFrameBandSlack = 2;
// Coordinates beyond this many page units cannot be converted to twips in
// 32 bits; no real page comes near it.
constexpr double kMaxUnits = 150000000.0;

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

}  // namespace

namespace {

// The parts of one word's run: the format switched on before its text
// group, the text, and the styles switched off after it.
struct RunParts {
    std::string head;
    std::string text;
    std::string off;
};

RunParts PartsOf(const TRtfWord<void>& word, int8_t rise, bool trim) {
    RunParts p;
    std::string on;
    if (word.m_nStyle & 0x01) { on += "\\b "; p.off += "\\b0 "; }
    if (word.m_nStyle & 0x02) { on += "\\i "; p.off += "\\i0 "; }
    if (word.m_nStyle & 0x04) { on += "\\ul "; p.off += "\\ul0 "; }
    if (word.m_nStyle & 0x40) { on += "\\shad "; p.off += "\\shad0 "; }
    on = qm::Trim(on);
    p.text = EscapeRunText(word.m_strText);
    if (trim) p.text = qm::Trim(p.text);

    if (rise == 0) {
        p.head = "\\fs" + U(word.m_nFontSize * 2u);
    } else {
        // Raised text is set a little larger: the \up shift is counted in
        // half points and eats into the line the text sits on.
        p.head = "\\fs" + U(word.m_nFontSize * 2u + 5) + "\\up" + D(rise / 2);
    }
    p.head += "\\cf" + U(static_cast<uint32_t>(word.m_nColor)) + "\\f" + U(static_cast<uint32_t>(word.m_nFont)) +
              "\\charscalex" + U(word.m_nHScale) + on;
    return p;
}

}  // namespace

void CRunJoiner::Add(const TRtfWord<void>& word, int8_t rise, bool trim) {
    if (word.m_strText.empty()) return;
    RunParts p = PartsOf(word, rise, trim);
    if (m_bOpen && p.head == m_strHead) {
        m_strText += m_strSpaces;
        m_strText += p.text;
        m_strSpaces.clear();
        return;
    }
    Flush();
    m_bOpen = true;
    m_strHead = std::move(p.head);
    m_strText = std::move(p.text);
    m_strOff = std::move(p.off);
}

void CRunJoiner::Add(const CRtfSentence& words, int8_t rise, bool trim) {
    for (TRtfWord<void>* w : words) Add(*w, rise, trim);
}

void CRunJoiner::Spaces(size_t count) {
    // Held back: when the next run has the same format the spaces go into
    // its text, and a word broken into pieces reads as one again.
    if (m_bOpen) m_strSpaces.append(count, ' ');
    else if (count > 0) m_strOut += "{" + std::string(count, ' ') + "}";
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
    if (!m_strSpaces.empty()) m_strOut += "{" + m_strSpaces + "}";
    m_bOpen = false;
    m_strHead.clear();
    m_strText.clear();
    m_strOff.clear();
    m_strSpaces.clear();
}

std::string FormatRun(const TRtfWord<void>& word, int8_t rise, bool trim) {
    CRunJoiner runs;
    runs.Add(word, rise, trim);
    return runs.Take();
}

std::string FormatRuns(const CRtfSentence& words, int8_t rise, bool trim) {
    CRunJoiner runs;
    runs.Add(words, rise, trim);
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
    return MakeHyperlinkFields(s, doc != nullptr ? doc->GetSourceName() : std::string());
}

std::string WriteFragment(CRtfXmlText& text) {
    CRtfPage* page = text.m_pPage.get();
    if (page == nullptr) return {};
    const auto turned = [](int32_t r) { return r == 90 || r == 180 || r == 270; };
    const int32_t p = page->m_nRotation;
    const int32_t r = text.m_nRotation;
    if ((r == p && turned(p)) || (!turned(p) && !turned(r))) return WriteLine(text);
    return WriteRotated(text);
}

std::string WriteLine(CRtfXmlText& text) {
    if (!text.m_pJoined || text.m_pJoined->IsEmpty()) return AddHyperlinks(text, FormatRuns(text.m_words, 0, false));

    if (IsTableRow(&text)) {
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
    std::vector<CRtfXmlText*> pieces;
    for (CRtfXmlText* j : *text.m_pJoined) pieces.push_back(j);
    std::vector<bool> taken(pieces.size(), false);
    std::vector<CRtfXmlText*> order;
    for (size_t round = 0; round < pieces.size(); ++round) {
        size_t best = pieces.size();
        for (size_t k = 0; k < pieces.size(); ++k) {
            if (taken[k]) continue;
            if (best == pieces.size() ||
                static_cast<uint32_t>(pieces[k]->m_rect.left) < static_cast<uint32_t>(pieces[best]->m_rect.left))
                best = k;
        }
        taken[best] = true;
        pieces[best]->m_nFlags |= kTextReadOrder;
        order.push_back(pieces[best]);
    }
    auto slot = order.begin();
    while (slot != order.end() &&
           static_cast<uint32_t>((*slot)->m_rect.left) <= static_cast<uint32_t>(text.m_rect.left))
        ++slot;
    order.insert(slot, &text);

    CRunJoiner runs;
    runs.Add(order.front()->m_words, 0, false);
    for (size_t k = 1; k < order.size(); ++k) {
        CRtfXmlText& f = *order[k];
        const CRtfXmlText& q = *order[k - 1];
        switch (Classify(f, q)) {
        case Raise::kSuper:
            runs.Raw("{\\super " +
                     FormatRuns(f.m_words, static_cast<int8_t>(q.m_rect.bottom - (f.m_rect.bottom + 1)), false) + "}");
            f.m_nFlags |= kTextRaised;
            break;
        case Raise::kSub:
            runs.Raw("{\\sub " + FormatRuns(f.m_words, 0, false) + "}");
            f.m_nFlags |= kTextRaised;
            break;
        case Raise::kNone:
            if ((f.m_nFlags & kTextRaised) == 0 && IsWordGap(q, PrintLeft(f) - PrintRight(q))) {
                // Two spaces' worth per point of the text before: a space
                // is about half the font size wide.
                const int64_t size = std::max<int64_t>(q.m_nFontSize, 1);
                const int64_t gap = static_cast<int64_t>(PrintLeft(f)) - PrintRight(q);
                runs.Spaces(static_cast<size_t>((2 * gap + size - 1) / size));
            }
            runs.Add(f.m_words, 0, false);
            break;
        }
    }
    return AddHyperlinks(text, runs.Take());
}

CRect RotatedShapeBox(const CRtfXmlText& text) {
    // The fragment's box is normalised: right-to-left runs arrive with a
    // negative width.
    const CRect& box = text.m_rect;
    const int32_t left = std::min(box.left, box.right);
    const int32_t top = std::min(box.top, box.bottom);
    int64_t w = std::abs(static_cast<int64_t>(box.Width()));
    int64_t h = std::abs(static_cast<int64_t>(box.Height()));

    // The text's own extent, measured with its font (screen pixels at 96
    // per inch, taken to page units at 108). A vertical run arrives from
    // the extractor as a sliver one unit wide, so its box alone says little.
    CLayoutDocument* doc = DocumentOf(text);
    const TRtfFontData<void>* font = doc != nullptr ? doc->FindFontByNumber(text.m_nFont) : nullptr;
    if (font != nullptr) {
        int64_t mw = 0;
        int64_t mh = 0;
        for (TRtfWord<void>* word : text.m_words) {
            const CSize e = word->MeasureWord(font->m_strName, text.m_nFontSize, word->m_strText);
            mw += e.cx;
            mh = std::max<int64_t>(mh, e.cy);
        }
        if (mw > 0 && mh > 0) {
            w = MulDiv(static_cast<int32_t>(std::min<int64_t>(mw, INT32_MAX / 108)), 108, 96);
            h = MulDiv(static_cast<int32_t>(std::min<int64_t>(mh, INT32_MAX / 108)), 108, 96);
        }
    } else if (w < h) {
        std::swap(w, h);  // the longer side is the text's length
    }
    if (w <= 0 || h <= 0) return CRect();

    // The area the text covers on the page starts at the box's corner and
    // runs in the text's direction relative to the page; the shape is that
    // area turned back to upright text, around the same centre.
    const int32_t page = text.m_pPage ? text.m_pPage->m_nRotation : 0;
    const int32_t turn = ((text.m_nRotation - page) % 360 + 360) % 360;
    int64_t cx = left + w / 2;
    int64_t cy = top + h / 2;
    if (turn == 90) {  // reads upward, glyph tops to the left of the baseline
        cx = left - h / 2;
        cy = top + h - w / 2;
    } else if (turn == 270) {  // reads downward
        cx = left + h / 2;
        cy = top + w / 2;
    } else if (turn == 180) {  // upside down, running to the left
        cx = left - w / 2;
    }
    const double l = static_cast<double>(cx - w / 2);
    const double t = static_cast<double>(cy - h / 2);
    return CRect(Twips(l), Twips(t), Twips(l + static_cast<double>(w)), Twips(t + static_cast<double>(h)));
}

std::string WriteRotated(CRtfXmlText& text) {
    const CRect box = RotatedShapeBox(text);
    if (box.IsRectEmpty()) return {};

    const std::string runs = FormatRuns(text.m_words, 0, false);
    uint32_t fill = 0;
    if (text.m_pColors) {
        int32_t index = 0;
        for (RtfColorData* c : *text.m_pColors) {
            if (index++ == text.m_nColor) {
                fill = c->Rgb();
                break;
            }
        }
    }
    std::string face;
    if (text.m_pFonts) {
        int32_t index = 0;
        for (TRtfFontData<void>* f : *text.m_pFonts) {
            if (index++ == text.m_nFont) {
                face = f->m_strName;
                break;
            }
        }
    }
    // Text shapes are numbered on their own, apart from drawn paths and
    // pictures; a fragment outside any document numbers nothing.
    CLayoutDocument* doc = DocumentOf(text);
    const int32_t id = doc != nullptr ? doc->Context().NextTextShapeId() : 0;
    const int64_t rotation = (360 - static_cast<int64_t>(text.m_nAngle)) * 65536;

    std::string s = "\n{\\shp{\\*\\shpinst\\shpleft" + D(box.left) + "\\shptop" + D(box.top) + "\\shpright" +
                    D(box.right) + "\\shpbottom" + D(box.bottom) +
                    "\\shpbxpage\\shpbypage\\shpwr3\\shpfblwtxt1\\shpz0\\shplid" + D(id) +
                    "\n{\\sp{\\sn fBehindDocument}{\\sv 1}}"
                    "\n{\\sp{\\sn ShapeType}{\\sv 136}}"
                    "\n{\\sp{\\sn fFlipH}{\\sv 0}}"
                    "\n{\\sp{\\sn fFlipV}{\\sv 0}}"
                    "\n{\\sp{\\sn Rotation}{\\sv " + D(static_cast<int32_t>(rotation)) + "}}"
                    "\n{\\sp{\\sn gTextUNICODE}{\\sv " + runs + "}}"
                    "\n{\\sp{\\sn gtextFont}{\\sv " + face + "}}"
                    "\n{\\sp{\\sn fGtext}{\\sv 1}}"
                    "\n{\\sp{\\sn gtextFVertical}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFKern}{\\sv 1}}"
                    "\n{\\sp{\\sn gtextFTight}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFStretch}{\\sv 1}}"
                    "\n{\\sp{\\sn gtextFShrinkFit}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFBestFit}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFNormalize}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFDxMeasure}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFBold}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFItalic}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFUnderline}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFShadow}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFSmallcaps}{\\sv 0}}"
                    "\n{\\sp{\\sn gtextFStrikethrough}{\\sv 0}}"
                    "\n{\\sp{\\sn fColumnLineOK}{\\sv 0}}"
                    "\n{\\sp{\\sn fillColor}{\\sv " + D(fill) + "}}"
                    "\n{\\sp{\\sn fRecolorFillAsPicture}{\\sv 0}}"
                    "\n{\\sp{\\sn fUseShapeAnchor}{\\sv 0}}"
                    "\n{\\sp{\\sn fFilled}{\\sv 1}}"
                    "\n{\\sp{\\sn fHitTestFill}{\\sv 1}}"
                    "\n{\\sp{\\sn fillShape}{\\sv 1}}"
                    "\n{\\sp{\\sn fillUseRect}{\\sv 0}}"
                    "\n{\\sp{\\sn fLineUseShapeAnchor}{\\sv 0}}"
                    "\n{\\sp{\\sn fLine}{\\sv 0}}"
                    "\n{\\sp{\\sn shadowColor}{\\sv 8816262}}"
                    "\n{\\sp{\\sn fShadow}{\\sv 0}}"
                    "\n{\\sp{\\sn fshadowObscured}{\\sv 0}}"
                    "\n{\\sp{\\sn fc3DConstrainRotation}{\\sv 1}}"
                    "\n{\\sp{\\sn fc3DRotationCenterAuto}{\\sv 1}}"
                    "\n{\\sp{\\sn fAllowOverlap}{\\sv 1}}}}\n";
    return AddHyperlinks(text, s);
}

namespace {

CRect Normalised(const CRect& r) {
    return CRect(std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                 std::max(r.top, r.bottom));
}

// Whether `next` carries on the text of `prev` in the same frame: on the
// same band of the page and no more than an em away.
bool SharesFrame(const CRtfXmlText& prev, const CRtfXmlText& next) {
    const CRect& a = PrintBox(prev);
    const CRect& b = PrintBox(next);
    if (std::abs(a.top - b.top) > kFrameBandSlack || std::abs(a.bottom - b.bottom) > kFrameBandSlack) return false;
    const int32_t em = std::max<int32_t>(prev.m_nFontSize, 1) * 3 / 2;  // page units per point: 1.5
    const int32_t gap = b.left - a.right;
    return gap >= -em && gap <= em;
}

}  // namespace

std::vector<ExactFrame> ExactFramesOf(CRtfXmlText& text) {
    // Pieces of a line that continue each other share one frame. A frame
    // per piece, as the Windows program wrote them, gave pages of TeX output
    // (a piece per glyph or two) twenty thousand frames, and LibreOffice did
    // not open such a document within minutes. Superscripts, tab stops and
    // columns keep frames of their own.
    const std::vector<CRtfXmlText*> pieces = LinePieces(text);
    std::vector<ExactFrame> frames;
    for (size_t first = 0; first < pieces.size();) {
        size_t end = first + 1;
        while (end < pieces.size() && SharesFrame(*pieces[end - 1], *pieces[end])) ++end;

        CRect r = Normalised(pieces[first]->m_rect);
        CRunJoiner runs;
        runs.Add(pieces[first]->m_words, 0, false);
        for (size_t k = first + 1; k < end; ++k) {
            const CRect b = Normalised(pieces[k]->m_rect);
            r = CRect(std::min(r.left, b.left), std::min(r.top, b.top), std::max(r.right, b.right),
                      std::max(r.bottom, b.bottom));
            if (NeedsSpace(*pieces[k - 1], *pieces[k])) runs.Spaces(1);
            runs.Add(pieces[k]->m_words, 0, false);
        }
        frames.push_back({r, AddHyperlinks(*pieces[first], runs.Take())});
        first = end;
    }
    return frames;
}

namespace {

// The frame's position, kept on the page: as unsigned numbers, a negative
// width (a right-to-left run) or a position left of the page came out as
// values past four billion and the text vanished from the page. The frame
// grows to the right by at most `room` units past its text.
std::string FrameHead(const CRect& r, double room = kMaxUnits) {
    const double left = std::max(0, r.left);
    const double top = std::max(0, r.top);
    const double width = static_cast<double>(r.Width());
    const double grown = std::min(width * kFrameGrowth, width + std::max(0.0, room));
    const double height = static_cast<double>(r.Height()) * kFrameGrowth;
    return "\\pard \\pvpg\\phpg\\posx" + U(Twips(left)) + "\\posy" + U(Twips(top)) + "\\absw" + U(Twips(grown)) +
           "\\absh" + U(Twips(height)) + "\\nowrap";
}

CRect Union(const CRect& a, const CRect& b) {
    return CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom));
}

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
    const int32_t rise = ref.bottom - f.box.bottom;
    if (std::abs(rise) <= kFrameBandSlack) return f.text;
    const int32_t halfPoints = std::abs(rise) * 4 / 3;
    return (rise > 0 ? "{\\up" : "{\\dn") + U(halfPoints) + " " + f.text + "}";
}

// A block of the page's text: lines stacked one below the other in the
// same stretch of the page, each line the frames of one band, left to right.
struct FrameBlock {
    std::vector<std::vector<const ExactFrame*>> lines;
    std::vector<CRect> lineBoxes;
    CRect box;
    // How far the frame may grow to the right before it covers the text
    // of a block beside it (a frame hides what lies under it).
    double room = kMaxUnits;

    // Whether `f` carries on this block: further along the last line, or
    // the next line below it, no more than a line's height lower and
    // within the block's stretch of the page.
    bool Takes(const ExactFrame& f) const {
        if (SameLine(lines.back().back()->box, f.box)) return true;
        const CRect& line = lineBoxes.back();
        const int32_t pitch = std::max(line.Height(), f.box.Height());
        return f.box.top >= line.bottom - kFrameBandSlack && f.box.top - line.bottom <= pitch &&
               f.box.left < box.right && f.box.right > box.left;
    }

    void Add(const ExactFrame& f) {
        if (lines.empty()) {
            lines.push_back({&f});
            lineBoxes.push_back(f.box);
            box = f.box;
            return;
        }
        if (SameLine(lines.back().back()->box, f.box)) {
            lines.back().push_back(&f);
            lineBoxes.back() = Union(lineBoxes.back(), f.box);
        } else {
            lines.push_back({&f});
            lineBoxes.push_back(f.box);
        }
        box = Union(box, f.box);
    }

    // One paragraph per line, all with the block's frame (which makes them
    // share it); space before and an exact line height put each line at its
    // own height, the indent and tab stops at its own places.
    std::string Write() const {
        if (lines.size() == 1 && lines[0].size() == 1)
            return FrameHead(lines[0][0]->box, room) + " " + lines[0][0]->text + "\\par";
        const std::string head = FrameHead(box, room);
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
            out += head + "\\li" + U(Twips(std::max(0, lines[i][0]->box.left - left))) + "\\sb" + U(before) + "\\sl-" +
                   U(exact) + "\\slmult0";
            for (size_t k = 1; k < lines[i].size(); ++k)
                out += "\\tx" + U(Twips(std::max(0, lines[i][k]->box.left - left)));
            out += " " + lines[i][0]->text;
            for (size_t k = 1; k < lines[i].size(); ++k) out += "\\tab " + Shifted(lines[i][0]->box, *lines[i][k]);
            out += "\\par";
        }
        return out;
    }
};

}  // namespace

std::string WriteExactFrames(CRtfXmlText& text) {
    std::string out;
    for (const ExactFrame& f : ExactFramesOf(text)) out += FrameHead(f.box) + " " + f.text + "\\par";
    return out;
}

std::string WriteExactBlocks(const std::vector<ExactFrame>& frames) {
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
    for (const FrameBlock& b : blocks) out += b.Write();
    return out;
}

std::string WriteParagraph(CRtfXmlText& text) {
    CRunJoiner runs;
    const std::vector<CRtfXmlText*> pieces = LinePieces(text);
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0 && NeedsSpace(*pieces[k - 1], *pieces[k])) runs.Spaces(1);
        runs.Add(pieces[k]->m_words, 0, false);
    }
    return "\\pard " + AddHyperlinks(text, runs.Take()) + "\\par";
}

std::string WritePlainParagraph(CRtfXmlText& text) {
    std::string runs;
    const std::vector<CRtfXmlText*> pieces = LinePieces(text);
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0 && NeedsSpace(*pieces[k - 1], *pieces[k])) runs += "{ }";
        runs += PlainRuns(pieces[k]->m_words);
    }
    return "\\pard " + StripLinks(runs) + "\\par";
}
