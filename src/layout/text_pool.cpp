// Placeholder page intake: every fragment goes to the main list. The intake
// rules by rotation, the overprint filter and joining replace it.
#include "control/rtf_document.h"
#include "layout/model.h"

bool CRtfTextPool::AddText(CRtfDocument* doc, CRtfXmlText* text) {
    CRtfPage* page = doc != nullptr ? doc->GetPage() : nullptr;
    if (page == nullptr || text == nullptr) return false;
    if (!page->m_pPool) page->m_pPool = page->Make<CRtfTextPool>();
    return page->m_pPool->AddToMain(doc, text);
}

bool CRtfTextPool::AddToMain(CRtfDocument*, CRtfXmlText* text) {
    text->m_rcLine = text->m_rect;
    m_main.AddTail(text);
    return true;
}

bool CRtfTextPool::AddToLeftover(CRtfDocument*, CRtfXmlText* text) {
    m_leftover.AddTail(text);
    return true;
}

bool CRtfPage::FilterOverprint(CRtfXmlText*, bool& absorbed) {
    absorbed = false;
    return true;
}
