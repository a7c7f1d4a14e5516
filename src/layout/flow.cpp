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
