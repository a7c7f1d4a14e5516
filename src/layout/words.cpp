// Placeholder word and line operations; the measuring and joining rules
// replace these.
#include "control/rtf_document.h"
#include "layout/model.h"

template <>
CSize TRtfWord<void>::MeasureWord(const std::string&, int, const std::string&) const { return CSize{}; }

bool CRtfSentence::SetWordStyle(uint8_t style) {
    bool any = false;
    for (TRtfWord<void>* w : *this) {
        w->m_nStyle |= style;
        any = true;
    }
    return any;
}

CSize CRtfXmlText::MeasureText() const { return CSize{m_rect.Width(), m_rect.Height()}; }
int CRtfXmlText::FitToText(CRtfSentence&, CRtfDocument*) { return 0; }
void CRtfXmlText::ShrinkToText(CRtfSentence&, CRtfDocument*) {}
int CRtfXmlText::FitFontSize(CRtfSentence&, CRtfDocument*) { return m_nFontSize; }
int CRtfXmlText::ReduceFontSize(int) { return m_words.GetCount() > 0 ? 1 : 0; }
TSafeList<CRtfXmlText>::POSITION CRtfXmlText::TryJoin(CRtfXmlText*, int*) { return nullptr; }
int CRtfXmlText::MarkUnderline(const CRect&) { return 0; }
