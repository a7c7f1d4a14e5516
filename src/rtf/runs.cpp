// Text runs in RTF: one group per word with its character format, the line
// writers of each layout (a flowing line with superscripts, subscripts and
// spacing, a turned text shape, positioned frames, a paragraph, a plain
// paragraph) and the hyperlink fields made from the extractor's link markers.
//
// The RTF document writer and the paragraph blocks of the flowing layout
// place the strings built here into the page's RTF.
#include "rtf/runs.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "control/rtf_document.h"
#include "layout/words.h"

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

// The running number of the text shapes; shapes of drawn paths and
// pictures count on their own.
std::atomic<int32_t> g_nTextShapeId{0};

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

std::string Trim(const std::string& s) {
    const char* ws = " \t\r\n\v\f";
    const size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(ws) - b + 1);
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

// Whether a space must be written between two fragments of a line: there
// is a gap between them and neither shows a space there. PDFs that place
// every word on its own (TeX does) would otherwise come out as one long word
// in the paragraph layouts. Right-to-left script arrives in reading order,
// each fragment left of the one before, so a gap on that side counts too.
bool NeedsSpace(const CRtfXmlText& before, const CRtfXmlText& after) {
    const bool gapRight = PrintLeft(after) > PrintRight(before);
    const bool gapLeft = PrintRight(after) < PrintLeft(before);
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

CRtfDocument* DocumentOf(const CRtfXmlText& text) {
    CRtfPage* page = text.m_pPage.get();
    return page != nullptr ? page->m_pDoc.get() : nullptr;
}

}  // namespace

std::string FormatRun(const TRtfWord<void>& word, int8_t rise, bool trim) {
    if (word.m_strText.empty()) return {};
    std::string on;
    std::string off;
    if (word.m_nStyle & 0x01) { on += "\\b "; off += "\\b0 "; }
    if (word.m_nStyle & 0x02) { on += "\\i "; off += "\\i0 "; }
    if (word.m_nStyle & 0x04) { on += "\\ul "; off += "\\ul0 "; }
    if (word.m_nStyle & 0x40) { on += "\\shad "; off += "\\shad0 "; }
    on = Trim(on);
    std::string text = EscapeRunText(word.m_strText);
    if (trim) text = Trim(text);

    std::string out;
    if (rise == 0) {
        out = "\\fs" + U(word.m_nFontSize * 2u);
    } else {
        // Raised text is set a little larger: the \up shift is counted in
        // half points and eats into the line the text sits on.
        out = "\\fs" + U(word.m_nFontSize * 2u + 5) + "\\up" + D(rise / 2);
    }
    out += "\\cf" + U(static_cast<uint32_t>(word.m_nColor)) + "\\f" + U(static_cast<uint32_t>(word.m_nFont)) +
           "\\charscalex" + U(word.m_nHScale) + on + " {" + text + "}" + off;
    return out;
}

std::string FormatRuns(const CRtfSentence& words, int8_t rise, bool trim) {
    std::string out;
    for (TRtfWord<void>* w : words) out += FormatRun(*w, rise, trim);
    return out;
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
    if (s.find(kAnchorStart) == std::string::npos && s.find(kAnchorEnd) == std::string::npos) return s;
    CRtfDocument* doc = DocumentOf(text);
    const std::string base = doc != nullptr ? doc->GetSourceName() : std::string();
    return ReplaceLinks(s, [&base](std::string target, const std::string& shown) {
        // Links into this document name the page XML file; what is left
        // after its name is the place in the document.
        if (!base.empty() && target.compare(0, base.size(), base) == 0) target.erase(0, base.size());
        if (target.empty()) return shown;
        return "{\\field{\\*\\fldinst{HYPERLINK \"" + target + "\"}}{\\fldrslt {" + shown + "}}}";
    });
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
            row.Write(rtf);
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

    std::string out = FormatRuns(order.front()->m_words, 0, false);
    for (size_t k = 1; k < order.size(); ++k) {
        CRtfXmlText& f = *order[k];
        const CRtfXmlText& q = *order[k - 1];
        switch (Classify(f, q)) {
        case Raise::kSuper:
            out += "{\\super " +
                   FormatRuns(f.m_words, static_cast<int8_t>(q.m_rect.bottom - (f.m_rect.bottom + 1)), false) + "}";
            f.m_nFlags |= kTextRaised;
            break;
        case Raise::kSub:
            out += "{\\sub " + FormatRuns(f.m_words, 0, false) + "}";
            f.m_nFlags |= kTextRaised;
            break;
        case Raise::kNone:
            if ((f.m_nFlags & kTextRaised) == 0 && PrintLeft(f) > PrintRight(q)) {
                // Two spaces' worth per point of the text before: a space
                // is about half the font size wide.
                const int64_t size = std::max<int64_t>(q.m_nFontSize, 1);
                const int64_t gap = static_cast<int64_t>(PrintLeft(f)) - PrintRight(q);
                out += "{" + std::string(static_cast<size_t>((2 * gap + size - 1) / size), ' ') + "}";
            }
            out += FormatRuns(f.m_words, 0, false);
            break;
        }
    }
    return AddHyperlinks(text, out);
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
    CRtfDocument* doc = DocumentOf(text);
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
    const int32_t id = ++g_nTextShapeId;
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

std::string WriteExactFrames(CRtfXmlText& text) {
    // Pieces of a line that continue each other share one frame. A frame
    // per piece, as the Windows program wrote them, gave pages of TeX output
    // (a piece per glyph or two) twenty thousand frames, and LibreOffice did
    // not open such a document within minutes. Superscripts, tab stops and
    // columns keep frames of their own.
    const std::vector<CRtfXmlText*> pieces = LinePieces(text);
    std::string out;
    for (size_t first = 0; first < pieces.size();) {
        size_t end = first + 1;
        while (end < pieces.size() && SharesFrame(*pieces[end - 1], *pieces[end])) ++end;

        CRect r = Normalised(pieces[first]->m_rect);
        std::string runs = FormatRuns(pieces[first]->m_words, 0, false);
        for (size_t k = first + 1; k < end; ++k) {
            const CRect b = Normalised(pieces[k]->m_rect);
            r = CRect(std::min(r.left, b.left), std::min(r.top, b.top), std::max(r.right, b.right),
                      std::max(r.bottom, b.bottom));
            if (NeedsSpace(*pieces[k - 1], *pieces[k])) runs += "{ }";
            runs += FormatRuns(pieces[k]->m_words, 0, false);
        }
        // The frame is written from the normalised box with its position
        // kept on the page: as unsigned numbers, a negative width (a right-
        // to-left run) or a position left of the page came out as values
        // past four billion and the text vanished from the page.
        const double left = std::max(0, r.left);
        const double top = std::max(0, r.top);
        const double width = static_cast<double>(r.Width()) * kFrameGrowth;
        const double height = static_cast<double>(r.Height()) * kFrameGrowth;
        const std::string frame = "\\pard \\pvpg\\phpg\\posx" + U(Twips(left)) + "\\posy" + U(Twips(top)) +
                                  "\\absw" + U(Twips(width)) + "\\absh" + U(Twips(height)) + "\\nowrap " + runs +
                                  "\\par";
        out += AddHyperlinks(*pieces[first], frame);
        first = end;
    }
    return out;
}

std::string WriteParagraph(CRtfXmlText& text) {
    std::string runs;
    const std::vector<CRtfXmlText*> pieces = LinePieces(text);
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0 && NeedsSpace(*pieces[k - 1], *pieces[k])) runs += "{ }";
        runs += FormatRuns(pieces[k]->m_words, 0, false);
    }
    return "\\pard " + AddHyperlinks(text, runs) + "\\par";
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
