// Sections and columns of the flowing layout. Rows of side-by-side
// fragments arrive top to bottom from the flowing build (flow.cpp); each is
// merged into the page's last section, opening columns where text appears
// beside the existing ones, or starts a new section when it does not fit.
// Before output the columns are stretched to tile their section, and the
// section is written as a "\cols" header with its columns' paragraphs.
#include <algorithm>
#include <string>
#include <vector>

#include "layout/flow_internal.h"
#include "layout/model.h"

using qm::flow::Ratio;

namespace {

// A fragment starting in the gap before a column and reaching into it
// belongs to that column unless it reaches in further than this share of
// its height.
constexpr double kIntoNextColumn = static_cast<double>(0.95f);
// A fragment whose top lies above a column's bottom by more than this share
// of its height is level with the column's last line.
constexpr double kLevelWithColumn = 0.75;
// ...and by at most this share it merely touches the column from below.
constexpr double kBelowColumn = 0.34;
// A fragment ending this close before the next column is a hair too wide:
// a point smaller keeps it inside its own column.
constexpr int32_t kNearNextColumn = 3;
// Vertical overlap, as a share of the later fragment's height, above which
// two fragments of one column are on the same line...
constexpr double kSameLine = static_cast<double>(0.8f);
// ...and at or below which they are on different lines. In between the
// row is ambiguous and starts a section of its own.
constexpr double kDifferentLine = 0.2;

}  // namespace

CRtfSection::CRtfSection(DebugRtfXmlTextList* row) {
    QM_TAG_INIT();
    if (row == nullptr) return;
    for (CRtfXmlText* text : *row) {
        m_rect.UnionRect(m_rect, text->m_rcLine);
        m_columns.AddTail(NewBlock(text));
    }
}

template <>
bool TRtfFlowingText<void>::AddRow(DebugRtfXmlTextList* row, DebugRtfXmlTextList* remaining, CRtfPage* page) {
    if (row == nullptr || row->IsEmpty()) return false;
    CRtfPage* owner = page != nullptr ? page : row->GetHead()->m_pPage.get();
    if (owner == nullptr) return false;
    auto startSection = [&]() {
        m_sections.AddTail(owner->Make<CRtfSection>(row));
        return true;
    };
    if (m_sections.IsEmpty()) return startSection();

    CRtfSection* last = m_sections.GetTail();
    const CRect& s = last->m_rect;
    if (row->GetCount() > last->m_columns.GetCount()) {
        // More pieces than columns: a new band of columns when the whole row
        // starts below the section and lies across it.
        const CRect& first = row->GetHead()->m_rcLine;
        const bool across = first.left <= s.right && first.right >= s.left;
        bool below = true;
        for (CRtfXmlText* text : *row) {
            if (text->m_rcLine.top < s.bottom || text->m_rcLine.left > s.right) {
                below = false;
                break;
            }
        }
        if (below && across) return startSection();
    }
    return last->MergeRow(row, remaining, page) == CRtfSection::MergeResult::kNoFit ? startSection() : false;
}

CRtfSection::ColumnPos CRtfSection::FindColumn(CRtfXmlText* text, const CRect& rect, bool& newColumn, int& placement,
                                               int& side) {
    const int32_t L = rect.left;
    const int32_t T = rect.top;
    const int32_t R = rect.right;
    const int32_t height = rect.Height();
    // A vertical sliver cannot be placed by its width.
    if (rect.Width() == 0 && height != 0) return nullptr;

    ColumnPos pos = m_columns.GetHeadPosition();
    while (pos != nullptr) {
        const ColumnPos columnPos = pos;
        CRtfParagraphs* column = m_columns.GetNext(pos);
        CRtfParagraphs* next = pos != nullptr ? m_columns.GetAt(pos) : nullptr;
        const CRect& k = column->m_rect;

        if (L >= k.right) {
            if (next == nullptr) {
                newColumn = true;
                placement = 1;
                return columnPos;
            }
            const CRect& n = next->m_rect;
            if (R > n.left && L <= n.left && R <= n.right && Ratio(R - n.left, height) <= kIntoNextColumn) return pos;
            if (R < n.left && L > k.right) {
                newColumn = true;
                placement = 0;
                return pos;
            }
            continue;
        }

        if (R > k.right) {
            if (next == nullptr) return columnPos;
            if (R >= next->m_rect.left) return nullptr;  // spans two columns
            if (next->m_rect.left - R < kNearNextColumn) text->ReduceFontSize(1);
            return columnPos;
        }
        if (R <= k.left) {
            newColumn = true;
            placement = 0;
            return columnPos;
        }
        if (T >= k.bottom) return columnPos;

        const double ratio = Ratio(k.bottom - T, height);
        if (ratio > kLevelWithColumn) {
            CRtfXmlText* first = column->m_texts.GetHead();
            if (first == nullptr) continue;
            const CRect& f = first->m_rcLine;
            if (f.left > R) {
                side = -1;
                return columnPos;
            }
            if (L > f.right) {
                side = 1;
                return columnPos;
            }
            if ((L < f.left && R > f.left) || (L < f.right && R > f.right)) return columnPos;
            if (first->m_pJoined && !first->m_pJoined->IsEmpty()) {
                side = 1;
                return columnPos;
            }
            continue;
        }
        if (ratio <= kBelowColumn) {
            if (R == k.right) text->ReduceFontSize(1);
            return columnPos;
        }
        return nullptr;
    }
    return nullptr;
}

namespace {

// A column to be opened for a fragment once the whole row is known to fit.
struct PendingColumn {
    TSafeList<CRtfXmlText>::POSITION rowPos;
    CRtfSection::ColumnPos against;
    int placement;  // 0 before `against`, 1 after it
};

// One same-line join, kept so that a row that turns out not to fit can be
// taken apart again.
struct SameLineJoin {
    CRtfXmlText* head;
    CRtfXmlText* piece;
    CRtfXmlText* rowPrev;                // the piece's predecessor in the row, or null
    DebugRtfXmlTextList* headList;       // the head's joined list before the join, or null
    DebugRtfXmlTextList* pieceList;      // the piece's own joined list, or null
    CRect headBounds;
    int32_t brought;                     // pieces the piece handed over to the head
};

// Takes the row's same-line joins apart, newest first, so that every head
// gets back exactly the line box and joined pieces it had.
void RollBack(std::vector<SameLineJoin>& journal, DebugRtfXmlTextList* row) {
    for (auto it = journal.rbegin(); it != journal.rend(); ++it) {
        SameLineJoin& j = *it;
        DebugRtfXmlTextList* headList = j.head->m_pJoined.get();
        TSafeList<CRtfXmlText>::POSITION at = headList->Find(j.piece);
        TSafeList<CRtfXmlText>::POSITION follow = at;
        headList->GetNext(follow);
        for (int32_t i = 0; i < j.brought && follow != nullptr; ++i) {
            TSafeList<CRtfXmlText>::POSITION here = follow;
            CRtfXmlText* moved = headList->GetNext(follow);
            headList->RemoveAt(here);
            j.pieceList->AddTail(moved);
        }
        headList->RemoveAt(at);
        j.piece->m_pJoined = j.pieceList;
        j.head->m_pJoined = j.headList;
        j.head->m_rcLine = j.headBounds;
        if (j.rowPrev == nullptr) row->AddHead(j.piece);
        else row->InsertAfter(row->Find(j.rowPrev), j.piece);
    }
    journal.clear();
}

}  // namespace

CRtfSection::MergeResult CRtfSection::MergeRow(DebugRtfXmlTextList* row, DebugRtfXmlTextList* remaining, CRtfPage* page) {
    if (row == nullptr || row->IsEmpty()) return MergeResult::kEmptyRow;
    std::vector<PendingColumn> pending;
    std::vector<SameLineJoin> journal;
    CRtfParagraphs* lastColumn = nullptr;

    auto giveUp = [&]() {
        for (CRtfXmlText* text : *row) text->m_pColumn = nullptr;
        RollBack(journal, row);
        return MergeResult::kNoFit;
    };
    // Y absorbs X on its line; journalled. Taking X out of the remaining
    // list and the pool waits until the row is known to fit: a later join
    // in the same row may remove the very fragment X would have to be put
    // back behind, which made an immediate removal impossible to undo.
    auto joinSameLine = [&](CRtfXmlText* y, CRtfXmlText* x, TSafeList<CRtfXmlText>::POSITION xPos) {
        DebugRtfXmlTextList* headList = y->m_pJoined.get();
        DebugRtfXmlTextList* list = qm::flow::JoinedList(y, page);
        if (list == nullptr) return false;
        TSafeList<CRtfXmlText>::POSITION prev = xPos;
        row->GetPrev(prev);
        SameLineJoin j{y, x, prev != nullptr ? row->GetAt(prev) : nullptr, headList, x->m_pJoined.get(), y->m_rcLine,
                       0};
        row->RemoveAt(xPos);
        list->AddTail(x);
        y->m_rcLine.UnionRect(y->m_rcLine, x->m_rcLine);
        j.brought = qm::flow::MovePieces(x, list);
        journal.push_back(j);
        return true;
    };

    TSafeList<CRtfXmlText>::POSITION pos = row->GetHeadPosition();
    while (pos != nullptr) {
        const TSafeList<CRtfXmlText>::POSITION xPos = pos;
        CRtfXmlText* x = row->GetNext(pos);
        bool newColumn = false;
        int placement = 0;
        int side = 0;
        const ColumnPos columnPos = FindColumn(x, x->m_rcLine, newColumn, placement, side);
        CRtfParagraphs* column = columnPos != nullptr ? m_columns.GetAt(columnPos) : nullptr;

        CRtfXmlText* lastText = column != nullptr ? column->m_texts.GetTail() : nullptr;
        if (side != 0 && lastText != nullptr) {
            // Text on the line of the column's last fragment becomes part of
            // it; these joins stand even if the row is later refused.
            CRtfXmlText* head = side < 0 ? x : lastText;
            CRtfXmlText* piece = side < 0 ? lastText : x;
            DebugRtfXmlTextList* list = qm::flow::JoinedList(head, page);
            if (list != nullptr) {
                qm::flow::RemoveText(remaining, piece);
                qm::flow::RemoveFromPool(page, piece);
                row->RemoveAt(xPos);
                list->AddTail(piece);
                head->m_rcLine.UnionRect(head->m_rcLine, piece->m_rcLine);
                qm::flow::MovePieces(piece, list);
                // The head takes the last fragment's place, once.
                column->m_texts.RemoveAt(column->m_texts.GetTailPosition());
                column->AppendText(head);
                m_rect.UnionRect(m_rect, head->m_rcLine);
                continue;
            }
        }

        if (newColumn && column != nullptr) {
            pending.push_back(PendingColumn{xPos, columnPos, placement});
            lastColumn = column;
            continue;
        }
        if (column == nullptr) return giveUp();
        if (column != lastColumn) {
            x->m_pColumn = column;
            lastColumn = column;
            continue;
        }

        // A second fragment of the row in the same column: on the line of
        // one already placed, or on a line of its own.
        CRtfXmlText* partner = nullptr;
        bool placed = false;
        for (CRtfXmlText* y : *row) {
            if (y == x || y->m_pColumn.raw() != column) continue;
            CRect overlap;
            if (!overlap.IntersectRect(CRect(0, y->m_rcLine.top, y->m_rcLine.right, y->m_rcLine.bottom),
                                       CRect(0, x->m_rcLine.top, 1, x->m_rcLine.bottom)))
                continue;
            const double ratio = Ratio(overlap.Height(), x->m_rcLine.Height());
            if (ratio > kSameLine) {
                if (x->m_rcLine.right > y->m_rcLine.right) {
                    placed = joinSameLine(y, x, xPos);
                    if (placed) break;
                }
                if (partner == nullptr) partner = y;
                continue;
            }
            if (ratio > kDifferentLine) return giveUp();
            x->m_pColumn = column;
            placed = true;
            break;
        }
        if (placed) continue;
        // A fragment on a partner's line that ends within the partner's
        // span would otherwise stay out of every column and be lost; it is
        // joined to the partner instead, so its words are still written.
        if (partner != nullptr && joinSameLine(partner, x, xPos)) continue;
        x->m_pColumn = column;
    }

    // The row fits: open the new columns, before their column in row order,
    // after it in reverse so that they too end up in row order.
    for (const PendingColumn& p : pending) {
        if (p.placement != 0) continue;
        CRtfParagraphs* created = NewBlock(row->GetAt(p.rowPos));
        row->RemoveAt(p.rowPos);
        m_columns.InsertBefore(p.against, created);
        m_rect.UnionRect(m_rect, created->m_rect);
    }
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        if (it->placement != 1) continue;
        CRtfParagraphs* created = NewBlock(row->GetAt(it->rowPos));
        row->RemoveAt(it->rowPos);
        m_columns.InsertAfter(it->against, created);
        m_rect.UnionRect(m_rect, created->m_rect);
    }
    for (CRtfXmlText* text : *row) {
        if (!text->m_pColumn) continue;
        text->m_pColumn->AppendText(text);
        m_rect.UnionRect(m_rect, text->m_rcLine);
        text->m_pColumn = nullptr;
    }
    for (const SameLineJoin& j : journal) {
        qm::flow::RemoveText(remaining, j.piece);
        qm::flow::RemoveFromPool(page, j.piece);
    }
    return MergeResult::kMerged;
}

void CRtfSection::ArrangeColumns() {
    const int32_t n = m_columns.GetCount();
    int32_t i = 0;
    CRtfParagraphs* previous = nullptr;
    for (CRtfParagraphs* column : m_columns) {
        ++i;
        column->m_rect.top = m_rect.top;
        column->m_rect.bottom = m_rect.bottom;
        if (n == 1) {
            column->m_rect.left = m_rect.left;
            column->m_rect.right = m_rect.right;
            break;
        }
        if (i == 1) column->m_rect.left = m_rect.left;
        else previous->m_rect.right = column->m_rect.left;
        if (i == n) column->m_rect.right = m_rect.right;
        previous = column;
    }
}

