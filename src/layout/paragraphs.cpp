// CRtfParagraphs: a block of fragments, either one column of a section or
// the content of a table cell, and what it takes in.
#include <algorithm>
#include <string>

#include "layout/model.h"

bool CRtfParagraphs::TryAppend(CRtfXmlText* text) {
    if (text == nullptr) return false;
    const int32_t y = m_rect.bottom;
    // More of the fragment above the block's bottom than below it.
    if ((y - text->m_rect.top) <= (text->m_rect.bottom - y)) return false;
    m_texts.AddTail(text);
    m_rect.UnionRect(m_rect, text->m_rect);
    return true;
}

void CRtfParagraphs::AppendText(CRtfXmlText* text) {
    m_texts.AddTail(text);
    m_rect.UnionRect(m_rect, text->m_rcLine);
}

