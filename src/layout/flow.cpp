// The flowing build of a page (FLOWING layout): the fragments of the main
// list are sorted top to bottom, cut into rows of side-by-side fragments,
// the touching pieces of each row are joined into one fragment, and every
// row is handed to the section builder (sections.cpp). Also the hand-over
// of the page's drawn objects, where hairline rules that underline text
// become underlined words instead of shapes.
#include <algorithm>
#include <cstdlib>

#include "layout/flow_internal.h"
#include "layout/model.h"

using qm::flow::Ratio;

namespace {

// A candidate overlapping the row's first fragment by no more than this
// share of its own height is a line of its own; it is nudged down to clear
// the row (the PDF's boxes include leading, so neighbouring lines touch).
constexpr double kRowPushDown = 0.1;
// Side-by-side neighbours whose vertical spans barely meet are taken as
// lying on different lines.
constexpr double kRowConflict = 0.1;
// Pieces of a row closer than this horizontally are parts of one run of text.
constexpr int32_t kTouchingGap = 10;
// ...when they also share this much of the later piece's height.
constexpr double kTouchingOverlap = static_cast<double>(0.6f);

bool SpansIntersect(const CRect& a, const CRect& b) {
    return std::max(a.left, b.left) < std::min(a.right, b.right);
}

// Whether candidate c (line box x) cannot share a row with member p.
bool RowConflict(const CRect& x, const CRect& p) {
    const int32_t midX = (x.left + x.right) / 2;
    const int32_t midY = (x.top + x.bottom) / 2;
    if (p.left <= midX && midX <= p.right) return true;
    const int32_t pMidX = (p.left + p.right) / 2;
    if (x.left <= pMidX && pMidX <= x.right) return true;
    if (midY < p.top) return x.bottom < p.bottom;
    if (midY > p.bottom) return x.top > p.top;
    if (SpansIntersect(x, p)) return false;
    return Ratio(p.bottom - x.top, p.Height()) < kRowConflict;
}

}  // namespace

bool CRtfPage::BuildFlow() {
    m_pSorted = SortTexts();
    if (m_pSorted) {
        DebugRtfXmlTextList* remaining = m_pSorted.get();
        TSafeList<CRtfXmlText>::POSITION position = remaining->GetHeadPosition();
        while (position != nullptr) {
            DebugRtfXmlTextList row;
            GatherRow(position, remaining, &row);
            // Only fragments already gathered were left: nothing more to do.
            if (row.IsEmpty()) break;
            m_flow.AddRow(&row, remaining, this);
        }
    }
    if (!m_flow.m_sections.IsEmpty()) return false;
    // Every page gets a section, so the writer always has a body to put out.
    m_flow.m_sections.AddTail(Make<CRtfSection>(1));
    return true;
}

DebugRtfXmlTextList* CRtfPage::SortTexts() {
    if (!m_pPool || m_pPool->m_main.IsEmpty()) return nullptr;
    DebugRtfXmlTextList& main = m_pPool->m_main;
    DebugRtfXmlTextList* sorted = Make<DebugRtfXmlTextList>();
    // Each pass takes the lowest fragment not yet taken and puts it first,
    // so the list runs top to bottom; of equal tops the first in the main
    // list is taken first and so ends up after the others.
    const int32_t passes = main.GetCount();
    for (int32_t pass = 0; pass < passes; ++pass) {
        CRtfXmlText* best = nullptr;
        int32_t y = 0;
        for (CRtfXmlText* text : main) {
            if (text->m_nFlags & kTextSorted) continue;
            if (y == 0 || y < text->m_rect.top) {
                best = text;
                y = text->m_rcLine.top;
            }
        }
        if (best == nullptr) break;
        sorted->AddHead(best);
        best->m_nFlags |= kTextSorted;
    }
    return sorted;
}

void CRtfPage::GatherRow(TSafeList<CRtfXmlText>::POSITION& position, DebugRtfXmlTextList* remaining,
                         DebugRtfXmlTextList* row) {
    row->RemoveAll();
    if (remaining == nullptr) return;

    // Phase 1: the band of fragments that lie side by side with the first.
    DebugRtfXmlTextList band;
    TSafeList<CRtfXmlText>::POSITION cursor = position;
    while (cursor != nullptr) {
        CRtfXmlText* c = remaining->GetNext(cursor);
        if (c->m_nFlags & kTextInRow) continue;
        CRect& x = c->m_rcLine;
        if (!band.IsEmpty()) {
            const CRect& first = band.GetHead()->m_rcLine;
            if (x.top >= first.bottom) break;
            const int32_t height = x.Height();
            if (Ratio(first.bottom - x.top, height) <= kRowPushDown) {
                x.top = first.bottom;
                x.bottom = first.bottom + height;
                break;
            }
            bool conflict = false;
            for (CRtfXmlText* member : band) {
                if (RowConflict(x, member->m_rcLine)) {
                    conflict = true;
                    break;
                }
            }
            if (conflict) break;
        }
        band.AddTail(c);
        c->m_nFlags |= kTextInRow;
        position = cursor;
    }
    // A pass that found only gathered fragments has used up the list.
    if (band.IsEmpty()) position = nullptr;

    // Phase 2: left to right; equal left edges keep the band's order.
    for (CRtfXmlText* text : band) {
        TSafeList<CRtfXmlText>::POSITION at = row->GetHeadPosition();
        while (at != nullptr && row->GetAt(at)->m_rcLine.left <= text->m_rcLine.left) row->GetNext(at);
        if (at != nullptr) row->InsertBefore(at, text);
        else row->AddTail(text);
    }

    // Phase 3: pieces that touch the anchor on its line become part of it.
    TSafeList<CRtfXmlText>::POSITION pos = row->GetHeadPosition();
    if (pos == nullptr) return;
    CRtfXmlText* anchor = row->GetNext(pos);
    while (pos != nullptr) {
        TSafeList<CRtfXmlText>::POSITION probePos = pos;
        CRtfXmlText* probe = row->GetNext(pos);
        const CRect& a = anchor->m_rcLine;
        const CRect& b = probe->m_rcLine;
        if (std::abs(a.right - b.left) >= kTouchingGap) {
            anchor = probe;
            continue;
        }
        if (b.top != a.top) {
            const int32_t overlap = b.top > a.top ? a.bottom - b.top : b.bottom - a.top;
            if (Ratio(overlap, b.Height()) < kTouchingOverlap) continue;
        }
        DebugRtfXmlTextList* joined = qm::flow::JoinedList(anchor, this);
        if (joined == nullptr) continue;
        qm::flow::RemoveText(remaining, probe);
        qm::flow::RemoveFromPool(this, probe);
        row->RemoveAt(probePos);
        joined->AddHead(probe);
        qm::flow::MovePieces(probe, joined);
        anchor->m_rcLine.UnionRect(anchor->m_rcLine, probe->m_rcLine);
    }
}

int CRtfPage::AddObjects(std::vector<std::unique_ptr<CRtfShpObject>>& objects) {
    int added = 0;
    for (std::unique_ptr<CRtfShpObject>& obj : objects) {
        if (!obj) continue;
        if (obj->m_nKind == CRtfShpObject::kLine) {
            auto* line = dynamic_cast<CRtfLine*>(obj.get());
            if (line == nullptr || !line->ParsePath(this)) continue;
            if (AbsorbUnderline(line)) {
                line->m_strPath.clear();
                line->m_pieces.clear();
                continue;
            }
        }
        m_pObjects.push_back(std::move(obj));
        ++added;
    }
    // Shapes make a document that word processors open slowly, thousands
    // of them (dotted rules, hatching, diagrams) one they never open: a
    // page of too many points gives its drawing to a rendered picture, and
    // the paths of any other page become vector pictures.
    TakeDenseDrawing(this, kMaxPathPointsPerPage);
    DrawPathsAsPictures(this);
    // What the page did not take is not placed anywhere; it goes now.
    objects.clear();
    return added;
}

bool CRtfPage::AbsorbUnderline(CRtfLine* line) {
    if (line == nullptr || !m_pSorted) return false;
    const CRect& box = line->m_rect;
    const int32_t thickness = box.bottom - box.top;
    if (thickness < 0 || thickness > 1) return false;
    // A rule drawn with no height still underlines: give it one unit.
    const int32_t top = thickness == 0 ? box.top - 1 : box.top;
    const CRect rule(box.left, top, box.right, box.bottom);
    for (CRtfXmlText* text : *m_pSorted) {
        if (text->m_rcLine.bottom < top) continue;
        if (text->MarkUnderline(rule)) return true;
    }
    return false;
}
