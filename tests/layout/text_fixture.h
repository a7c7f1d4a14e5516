// Hand-built pages for the word, intake and run tests: a document without a
// page XML file, one page, and fragments with words placed where a test
// wants them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control/rtf_document.h"
#include "layout/model.h"
#include "layout/xml_parse.h"

struct TextPage {
    TextPage() {
        doc.m_pPage = std::make_unique<CRtfPage>(&doc, 1);
        page = doc.m_pPage.get();
        UseFonts({});  // measuring falls back to the boxes until a test names fonts
    }

    // Makes the output font table exactly `faces`, numbered from 0, so tests
    // do not depend on what the font table puts there by default.
    void UseFonts(const std::vector<std::string>& faces) {
        doc.m_fonts.RemoveAll();
        for (size_t i = 0; i < faces.size(); ++i) {
            auto f = std::make_unique<TRtfFontData<void>>();
            f->m_strName = faces[i];
            f->m_nIndex = static_cast<int32_t>(i);
            doc.m_fonts.AddTail(f.get());
            doc.m_fontStore.push_back(std::move(f));
        }
    }

    // A fragment owned by the page with one word per text.
    CRtfXmlText* Text(CRect box, std::vector<std::string> words, uint16_t size = 10, int32_t rotation = 0) {
        CRtfXmlText* t = page->Make<CRtfXmlText>();
        t->m_rect = box;
        t->m_rcLine = box;
        t->m_pPage = page;
        t->m_nRotation = rotation;
        t->m_nFontSize = size;
        t->m_pFonts = &doc.m_fonts;
        t->m_pColors = &doc.m_colors;
        for (const std::string& s : words) {
            TRtfWord<void>* w = t->NewWord();
            w->m_strText = s;
            w->m_nFontSize = size;
            w->m_nHScale = 100;
            t->m_words.AddTail(w);
        }
        return t;
    }

    // Joins `piece` to `head` directly, as a finished line would hold it.
    void Join(CRtfXmlText* head, CRtfXmlText* piece) {
        if (!head->m_pJoined) head->m_pJoined = page->Make<DebugRtfXmlTextList>();
        head->m_pJoined->AddTail(piece);
        head->m_rcLine.UnionRect(head->m_rcLine, piece->m_rect);
    }

    CRtfDocument doc{nullptr};
    CRtfPage* page = nullptr;
};

inline std::string RectText(const CRect& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}
