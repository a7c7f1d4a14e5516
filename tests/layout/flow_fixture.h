// A page with a text pool and hand-made fragments, for the tests of the
// flowing build, sections, paragraphs and table cells.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "control/rtf_document.h"
#include "layout/model.h"
#include "layout/xml_parse.h"
#include "support/test_util.h"

class FlowPage {
public:
    FlowPage() {
        doc.m_pPage = std::make_unique<CRtfPage>(&doc, 1);
        page = doc.m_pPage.get();
        page->m_pPool = page->Make<CRtfTextPool>();
    }

    // A fragment of one word whose box as read and line box are `box`.
    CRtfXmlText* Text(const CRect& box, const std::string& word = "w") {
        CRtfXmlText* t = page->Make<CRtfXmlText>();
        t->m_rect = box;
        t->m_rcLine = box;
        t->m_pPage = page;
        if (!word.empty()) {
            TRtfWord<void>* w = t->NewWord();
            w->m_strText = word;
            t->m_words.AddTail(w);
        }
        return t;
    }
    // The same, also listed in the pool's main list.
    CRtfXmlText* Main(const CRect& box, const std::string& word = "w") {
        CRtfXmlText* t = Text(box, word);
        page->m_pPool->m_main.AddTail(t);
        return t;
    }
    // Joins `pieces` to `head` the way intake does: a joined piece never
    // gets a line box of its own.
    void Join(CRtfXmlText* head, std::initializer_list<CRtfXmlText*> pieces) {
        if (!head->m_pJoined) head->m_pJoined = page->Make<DebugRtfXmlTextList>();
        for (CRtfXmlText* p : pieces) {
            p->m_rcLine = CRect();
            head->m_pJoined->AddTail(p);
            head->m_rcLine.UnionRect(head->m_rcLine, p->m_rect);
        }
    }

    CRtfDocument doc{nullptr};
    CRtfPage* page = nullptr;
};

// The items of a list, for comparisons.
inline std::vector<CRtfXmlText*> Items(const TSafeList<CRtfXmlText>* list) {
    std::vector<CRtfXmlText*> out;
    if (list != nullptr)
        for (CRtfXmlText* t : *list) out.push_back(t);
    return out;
}

inline std::vector<CRtfXmlText*> Joined(const CRtfXmlText* t) { return Items(t->m_pJoined.get()); }

using qmtest::SameText;
