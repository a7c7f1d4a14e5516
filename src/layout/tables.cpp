// One-row tables: a line head whose joined pieces do not all sit on one
// line (a tall piece beside a stack of two or more lines, like a label
// beside a two-line value or a large initial) is written as a borderless
// table row of two cells, the tall piece in one and the stacked lines as
// exact-height paragraphs in the other. Here is what decides that a line is
// such a row and what the cells hold; the writer (rtf/) asks IsTableRow,
// builds a CRtfCell and writes it.
#include <algorithm>
#include <string>

#include "layout/layout_document.h"
#include "layout/model.h"

namespace {

// The tall piece's size is fitted to its box, but not below this.
constexpr int kSmallestFitSize = 6;

bool CentreWithin(const CRect& box, const CRect& span) {
    const int32_t x = box.CenterPoint().x;
    return x > span.left && x <= span.right;
}

}  // namespace

void FitTallPiece(CRtfXmlText* tall) {
    CRtfPage* page = tall->m_pPage.get();
    if (page == nullptr || !page->m_pDoc) return;
    TRtfFontData<void>* font = page->m_pDoc->FindFontByNumber(tall->m_nFont);
    if (font == nullptr) return;
    auto measure = [&](int size) {
        int64_t width = 0;
        for (TRtfWord<void>* word : tall->m_words) width += word->MeasureWord(font->m_strName, size, word->m_strText).cx;
        return width;
    };
    int size = tall->m_nFontSize;
    while (size > kSmallestFitSize && measure(size) > tall->m_rect.Width()) --size;
    for (TRtfWord<void>* word : tall->m_words) word->m_nFontSize = static_cast<uint16_t>(size);
}

bool IsTableRow(CRtfXmlText* text) {
    if (text == nullptr || !text->m_pJoined) return false;
    DebugRtfXmlTextList* pieces = text->m_pJoined.get();
    if (pieces->GetCount() < 2) return false;

    CRtfXmlText* tall = text;
    for (CRtfXmlText* piece : *pieces)
        if (piece->m_rect.Height() > tall->m_rect.Height()) tall = piece;

    // The widest piece other than the tall one spans the stack.
    CRect span = tall != text ? tall->m_rect : pieces->GetTail()->m_rect;
    for (CRtfXmlText* piece : *pieces)
        if (piece != tall && piece->m_rect.Width() > span.Width()) span = piece->m_rect;

    int stacked = (tall != text && CentreWithin(text->m_rect, span)) ? 1 : 0;
    for (CRtfXmlText* piece : *pieces) {
        if (piece == tall || !CentreWithin(piece->m_rect, span)) continue;
        if (++stacked >= 2) return true;
    }
    return false;
}

CRtfParagraphs* CRtfCell::NewBlock(CRtfXmlText* first) {
    m_blockStore.push_back(std::make_unique<CRtfParagraphs>(first));
    CRtfParagraphs* block = m_blockStore.back().get();
    // The cell works with the pieces' boxes as read. A piece's line box is
    // no use here: a piece joined on intake never had one (all zero, which
    // made every block bottom 0 and every height negative), and the line
    // head's is the whole line, tall piece included, which swallowed the
    // stack into one block.
    block->m_rect = first->m_rect;
    return block;
}

CRtfCell::CRtfCell(CRtfXmlText* text) {
    QM_TAG_INIT();
    if (text == nullptr || !text->m_pJoined || text->m_pJoined->GetCount() < 2) return;
    m_nTop = text->m_nWrittenTop;
    m_pLink = text;
    m_texts.AddTail(text);
    for (CRtfXmlText* piece : *text->m_pJoined) {
        m_texts.AddTail(piece);
        if (m_pLink->m_rect.Height() < piece->m_rect.Height()) m_pLink = piece;
    }
    for (CRtfXmlText* piece : m_texts) {
        if (piece == m_pLink.raw()) continue;
        if (m_blocks.IsEmpty()) {
            m_blocks.AddTail(NewBlock(piece));
            continue;
        }
        if (!m_blocks.GetTail()->TryAppend(piece)) m_blocks.AddTail(NewBlock(piece));
        m_rect.UnionRect(m_rect, piece->m_rect);
    }
}

