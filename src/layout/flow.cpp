// Placeholder flowing build and drawn-object hand-over.
#include "control/rtf_document.h"
#include "layout/model.h"

bool CRtfPage::BuildFlow() { return true; }

DebugRtfXmlTextList* CRtfPage::SortTexts() { return Make<DebugRtfXmlTextList>(); }

int CRtfPage::AddObjects(std::vector<std::unique_ptr<CRtfShpObject>>& objects) {
    int n = 0;
    for (auto& obj : objects) {
        if (!obj) continue;
        m_pObjects.push_back(std::move(obj));
        ++n;
    }
    objects.clear();
    return n;
}

bool CRtfPage::AbsorbUnderline(CRtfLine*) { return false; }

template <>
int TRtfFlowingText<void>::AddRow(DebugRtfXmlTextList*, DebugRtfXmlTextList*, CRtfPage*) { return 0; }

bool CRtfParagraphs::TryAppend(CRtfXmlText* text) {
    AppendText(text);
    return true;
}

void CRtfParagraphs::AppendText(CRtfXmlText* text) {
    m_texts.AddTail(text);
    m_rect.UnionRect(m_rect, text->m_rcLine);
}

void CRtfParagraphs::Write(std::string&) {}
void CRtfParagraphs::WritePlain(std::string&) {}
void CRtfSection::Write(std::string&, CRtfPage*) {}

CRtfCell::CRtfCell(CRtfXmlText*) { QM_TAG_INIT(); }
void CRtfCell::Write(std::string&) {}
bool IsTableRow(CRtfXmlText*) { return false; }
