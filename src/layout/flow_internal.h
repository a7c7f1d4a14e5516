// Helpers shared by the flowing build, the section builder and the table
// cells: the ratio arithmetic of the layout thresholds and the moving of
// joined pieces from one line head to another.
#pragma once

#include <cstdint>

#include "layout/model.h"

namespace qm::flow {

// Ratios are taken in double precision. A zero denominator deliberately
// gives IEEE infinity (NaN for 0/0) rather than a guard value: a fragment
// of zero height then counts as lying wholly inside whatever it touches,
// which is what the thresholds were tuned on.
inline double Ratio(int32_t num, int32_t den) { return static_cast<double>(num) / static_cast<double>(den); }

// Removes the first node that names `text`; the fragment itself stays valid.
inline bool RemoveText(TSafeList<CRtfXmlText>* list, const CRtfXmlText* text) {
    if (list == nullptr) return false;
    TSafeList<CRtfXmlText>::POSITION pos = list->Find(text);
    if (pos == nullptr) return false;
    list->RemoveAt(pos);
    return true;
}

// Drops `text` from the page's text pool, when the page has one.
inline void RemoveFromPool(CRtfPage* page, const CRtfXmlText* text) {
    if (page != nullptr && page->m_pPool) RemoveText(&page->m_pPool->m_main, text);
}

// The head's joined list, made for the page when the head has none yet.
// Null when there is no list and no page to own a new one.
inline DebugRtfXmlTextList* JoinedList(CRtfXmlText* head, CRtfPage* page) {
    if (head->m_pJoined) return head->m_pJoined.get();
    if (page == nullptr) page = head->m_pPage.get();
    if (page == nullptr) return nullptr;
    head->m_pJoined = page->Make<DebugRtfXmlTextList>();
    return head->m_pJoined.get();
}

// Hands the pieces joined to `from` over to `to` in their order and
// discards `from`'s list, so that a piece never heads pieces of its own.
// Returns how many pieces moved.
inline int32_t MovePieces(CRtfXmlText* from, DebugRtfXmlTextList* to) {
    if (!from->m_pJoined) return 0;
    DebugRtfXmlTextList* list = from->m_pJoined.get();
    const int32_t moved = list->GetCount();
    for (CRtfXmlText* piece : *list) to->AddTail(piece);
    list->RemoveAll();
    from->m_pJoined = nullptr;
    return moved;
}

}  // namespace qm::flow
