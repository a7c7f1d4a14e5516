// The intake of a page's fragments: every fragment the page XML reader
// delivers passes the overprint filter and then lands, by the direction
// its text runs on the page as shown, in the pool's main list (laid out and written as the
// page body), in the leftover list (written after the body) or nowhere.
// A fragment that continues the line of the fragment before it is joined to
// that fragment on the way in, so every layout sees whole lines.
#include <algorithm>
#include <cstdint>

#include "layout/layout_document.h"
#include "layout/model.h"
#include "layout/words.h"
#include "platform/bidi.h"
#include "platform/strings.h"

namespace {

constexpr double kCoveredShare = static_cast<double>(0.55f);   // 0.55000001
constexpr double kOverprintShare = static_cast<double>(0.6f);  // 0.60000002
constexpr double kThinOverlap = static_cast<double>(0.3f);     // 0.30000001
constexpr double kSpanOverlap = static_cast<double>(0.7f);     // 0.69999999

int64_t Area(const CRect& r) { return static_cast<int64_t>(r.Width()) * r.Height(); }

double Ratio(int64_t num, int64_t den) { return static_cast<double>(num) / static_cast<double>(den); }

// A fragment's box is "beyond" the page when its bottom or right edge lies
// past the page, compared unsigned so that a negative edge counts as far out.
bool BeyondPage(const CRect& r, int32_t width, int32_t height) {
    return static_cast<uint32_t>(r.bottom) > static_cast<uint32_t>(height) ||
           static_cast<uint32_t>(r.right) > static_cast<uint32_t>(width);
}

// Whether the overlap I, as tall as the line it sits on, means the text is
// printed twice. The line box of an empty line cannot tell: keep the text
// rather than lose it.
bool OverlapFillsLine(const CRect& overlap, const CRect& line) {
    if (line.Height() <= 0) return false;
    return overlap.Height() / line.Height() >= 1;
}

// A text drawn twice (a bold overprint, a shadow) is the same text, or a
// piece of it. Letters set into one another, as in a TeX logo whose small
// raised A is kerned back under the L before it, are not: the A was lost.
bool SameText(const CRtfXmlText& a, const CRtfXmlText& b) {
    const auto textOf = [](const CRtfXmlText& t) {
        std::string s;
        for (TRtfWord<void>* w : t.m_words) s += w->m_strText;
        return qm::Trim(s);
    };
    const std::string ta = textOf(a);
    const std::string tb = textOf(b);
    if (ta.empty() || tb.empty()) return true;
    return ta.size() <= tb.size() ? tb.find(ta) != std::string::npos : ta.find(tb) != std::string::npos;
}

// One box holds the other: the two may be one text drawn twice. Measured
// boxes decide, since the PDF's boxes of a text and of a bold overprint of
// it rarely match exactly. The fragments keep their boxes as read.
bool Contained(CLayoutDocument* doc, CRtfXmlText& f, CRtfXmlText& o, CRect& n, CRect& other, CRect& meet) {
    if (!(meet == n || meet == other) || f.m_nRotation != o.m_nRotation || !SameText(f, o)) return false;
    const CRect savedF = f.m_rect;
    const CRect savedO = o.m_rect;
    f.ShrinkToText(f.m_words, doc);
    o.ShrinkToText(o.m_words, doc);
    n = f.m_rect;
    other = o.m_rect;
    meet.IntersectRect(n, other);
    f.m_rect = savedF;
    o.m_rect = savedO;
    return meet == n || meet == other;
}

// Most of the fragment lies under another text, before and after both are
// measured. The measured boxes stay.
bool Covered(CLayoutDocument* doc, CRtfXmlText& f, CRtfXmlText& o, CRect& n, CRect& other, CRect& meet) {
    if (meet.IsRectEmpty() || Ratio(Area(meet), Area(n)) <= kCoveredShare || !SameText(f, o)) return false;
    f.ShrinkToText(f.m_words, doc);
    o.ShrinkToText(o.m_words, doc);
    n = f.m_rect;
    other = o.m_rect;
    meet.IntersectRect(n, other);
    return !meet.IsRectEmpty() && Ratio(Area(meet), Area(n)) > kCoveredShare;
}

bool HasRightToLeftText(const CRtfXmlText& text) {
    for (TRtfWord<void>* w : text.m_words)
        for (char32_t u : ShownCharacters(w->m_strText))
            if (IsRightToLeftChar(u)) return true;
    return false;
}

// The filter and the intake are the first to see a fragment, before any
// measuring changes its box.
void RecordPrintBox(CRtfXmlText& text) {
    if (text.m_rcPrint.IsRectNull()) text.m_rcPrint = text.m_rect;
}

}  // namespace

bool CRtfTextPool::AddText(CLayoutDocument* doc, CRtfXmlText* text) {
    if (doc == nullptr || text == nullptr) return false;
    CRtfPage* page = doc->GetPage();
    if (page == nullptr) return false;
    if (!page->m_pPool) page->m_pPool = page->Make<CRtfTextPool>();
    CRtfTextPool* pool = page->m_pPool.get();

    RecordPrintBox(*text);
    // The extractor gives boxes and directions on the page as the viewer
    // shows it, whatever the page's /Rotate: text that reads upright there
    // is laid out, and text at any other angle is written after the body.
    // The Windows program took directions in the PDF's own orientation and
    // turned boxes by the page's rotation, which lost or reversed the text
    // of turned pages.
    if (text->m_nRotation != 0) return pool->AddToLeftover(doc, text);
    // Unsigned, so that a negative width (right-to-left runs) is kept.
    if (static_cast<uint32_t>(text->m_rect.Width()) <= 1) return false;
    return pool->AddToMain(doc, text);
}

bool CRtfTextPool::AddToMain(CLayoutDocument* doc, CRtfXmlText* text) {
    if (text->m_nFontSize >= 6) {
        const int size = text->FitFontSize(text->m_words, doc);
        if (size != 0) text->m_nFontSize = static_cast<uint16_t>(size);
    }
    if (m_main.IsEmpty()) {
        text->m_rcLine = text->m_rect;
        m_main.AddTail(text);
        return true;
    }

    CRtfXmlText* last = m_main.GetTail();
    int place = 0;
    if (last->TryJoin(text, &place) != nullptr) return true;
    if (place == 1) {
        if (text->m_rect.bottom < last->m_rcLine.top && text->m_rect.left > last->m_rcLine.right) {
            last->m_nFlags |= kTextBelowLeft;
            text->m_nFlags |= kTextAboveRight;
        }
        // The first offer may have cut the fragment at the line's top; it
        // is offered once more with its new box.
        const int32_t lineBottom = last->m_rcLine.bottom;
        place = 0;
        if (m_main.GetTail()->TryJoin(text, &place) != nullptr) return true;
        if (place == 2)
            text->m_rcLine = CRect(text->m_rect.left, text->m_rect.top, text->m_rect.right, lineBottom);
        else
            text->m_rcLine = text->m_rect;
        m_main.AddTail(text);
        return true;
    }
    text->m_rcLine = text->m_rect;
    m_main.AddTail(text);
    return true;
}

bool CRtfTextPool::AddToLeftover(CLayoutDocument*, CRtfXmlText* text) {
    // Written on its own after the page body, the fragment's words carry
    // the fragment's size, whatever joins or fits the page applied before.
    for (TRtfWord<void>* w : text->m_words) w->m_nFontSize = text->m_nFontSize;
    m_leftover.AddTail(text);
    return true;
}

bool CRtfPage::FilterOverprint(CRtfXmlText* text, bool& absorbed) {
    absorbed = false;
    if (text == nullptr) return false;
    RecordPrintBox(*text);
    CLayoutDocument* doc = m_pDoc.get();
    CRtfXmlText& f = *text;

    if (f.m_rect.Height() == 0) {
        f.ShrinkToText(f.m_words, doc);
        if (f.m_rect.Width() == 0) return true;
    }
    const int32_t pw = m_rect.Width();
    const int32_t ph = m_rect.Height();
    if (BeyondPage(f.m_rect, pw, ph)) {
        f.ShrinkToText(f.m_words, doc);
        if (BeyondPage(f.m_rect, pw, ph)) return false;
    }
    if (!m_pPool || m_pPool->m_main.IsEmpty()) return true;

    CRect n = f.m_rect;
    float covered = 0;  // running share of F under earlier text, single precision by design

    for (CRtfXmlText* e : m_pPool->m_main) {
        if (e == text || e->m_nRotation != f.m_nRotation) continue;
        CRect er = e->m_rect;
        const CRect el = e->m_rcLine;
        CRect i;
        i.IntersectRect(n, er);
        if (Contained(doc, f, *e, n, er, i)) return false;
        if (Covered(doc, f, *e, n, er, i)) return false;
        if (!i.IsRectEmpty()) {
            if (i.right == n.right) return true;
            covered += static_cast<float>(Ratio(Area(i), Area(n)));
            if (covered > kOverprintShare) return !OverlapFillsLine(i, el);
            if (!e->m_pJoined || e->m_pJoined->IsEmpty()) return true;
        } else if (!e->m_pJoined || e->m_pJoined->IsEmpty()) {
            continue;
        }

        // The pieces joined to E decide; the main list is not walked further.
        for (auto pos = e->m_pJoined->GetHeadPosition(); pos != nullptr;) {
            auto here = pos;
            CRtfXmlText* j = e->m_pJoined->GetNext(pos);
            CRect jr = j->m_rect;
            CRect i2;
            i2.IntersectRect(n, jr);
            if (Contained(doc, f, *j, n, jr, i2)) return false;
            if (Covered(doc, f, *j, n, jr, i2)) return false;
            if (!i2.IsRectEmpty() && i2.right == n.right) {
                // Right-to-left script drawn in reading order lays each
                // piece left of the one before, and the written widths make
                // neighbours overlap by a unit: F goes on the line, it is
                // not a late piece of it.
                if (i2.Width() <= 1 && n.left < jr.left && HasRightToLeftText(f)) return true;
                const float share = covered + static_cast<float>(Ratio(Area(i2), Area(n)));
                if (share > kOverprintShare) return !OverlapFillsLine(i2, el);
                if (Ratio(i2.Height(), n.Height()) < kThinOverlap) return true;
                const int32_t span = std::min(n.right, jr.right) - std::max(n.left, jr.left);
                if (Ratio(span, n.Width()) > kSpanOverlap) return true;
                if (Ratio(span, jr.Width()) > kSpanOverlap) return true;
                // F ends inside J without covering much of either: it is a
                // piece of E's line that arrived late. It joins the line
                // just before J instead of standing on its own.
                if (m_pPool) {
                    if (auto at = m_pPool->m_main.Find(text)) m_pPool->m_main.RemoveAt(at);
                }
                absorbed = true;
                e->m_pJoined->InsertBefore(here, text);
                f.m_rcLine.UnionRect(f.m_rcLine, jr);
                return false;
            }
            if (!i2.IsRectEmpty()) {
                covered += static_cast<float>(Ratio(Area(i2), Area(n)));
                if (covered > kOverprintShare) return !OverlapFillsLine(i2, el);
                continue;
            }
            if (el.left < n.right && n.right <= jr.left) {
                // F ends in the gap before J. The reference band is E's line
                // box: it holds every piece of the line, so when most of F
                // lies outside that band no later piece can print over it
                // and F is kept; when F lies within the line, a later piece
                // may still cover it, so the walk goes on.
                const int32_t band = std::min(n.bottom, el.bottom) - std::max(n.top, el.top);
                const double share = n.Height() > 0 ? Ratio(std::max(band, 0), n.Height()) : 0.0;
                if (share <= kOverprintShare) return true;
            }
        }
        return true;
    }
    return true;
}
