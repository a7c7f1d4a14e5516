// Construction, ownership and the link check of the layout model.
#include "layout/model.h"

#include <cstdio>
#include <cstdlib>

void TPtrFault(const char* expected, const CTagged* target) {
    const TypeTag* tag = target->GetTag();
    std::fprintf(stderr, "quillmark: internal error: link to %s points at %s\n", expected,
                 tag != nullptr ? tag->name : "a destroyed object");
    std::abort();
}

CRtfXmlText::~CRtfXmlText() {
    // The word list holds references only; drop them before the words go.
    m_words.RemoveAll();
}

TRtfWord<void>* CRtfXmlText::NewWord() {
    m_wordStore.push_back(std::make_unique<TRtfWord<void>>());
    TRtfWord<void>* w = m_wordStore.back().get();
    w->m_pText = this;
    return w;
}

CRtfSection::CRtfSection(int columns) {
    QM_TAG_INIT();
    for (int i = 0; i < columns; ++i) m_columns.AddTail(NewBlock());
}

CRtfParagraphs* CRtfSection::NewBlock(CRtfXmlText* first) {
    m_blockStore.push_back(std::make_unique<CRtfParagraphs>(first));
    return m_blockStore.back().get();
}

CRtfPage::CRtfPage(CLayoutDocument* doc, int32_t page) : m_nPage(page), m_pDoc(doc) { QM_TAG_INIT(); }

CRtfPage::~CRtfPage() {
    // Lists first, so no list outlives the objects its nodes name.
    m_flow.m_sections.RemoveAll();
    m_owned.clear();
}

uint8_t CRtfPage::SectionFlags() const {
    uint8_t flags = 0;
    if (m_flow.m_sections.GetCount() > 1) flags |= 0x01;
    if (m_flow.FirstHasColumns()) flags |= 0x02;
    if (m_flow.LastHasColumns()) flags |= 0x04;
    return flags;
}
