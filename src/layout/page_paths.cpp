// The drawn paths of a page as at most two pictures: the paths behind the
// text in one, those the PDF paints over text in another, each in the
// order the PDF draws them (see metafile.cpp for why pictures).
#include "layout/model.h"

namespace {

// A white fill covering this share of the page's width and height, drawn
// under everything, is the page's own paper and is left out.
constexpr double kSheetShare = 0.9;
constexpr int32_t kWhite = 16777215;

bool IsPaper(const CPathPiece& piece, const CPathStyle& s, double pageW, double pageH) {
    if (!s.m_bFilled || s.m_bStroked || s.m_nFill != kWhite) return false;
    double x0 = piece.m_points[0].x, x1 = x0, y0 = piece.m_points[0].y, y1 = y0;
    for (const CPathPoint& p : piece.m_points) {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    return x1 - x0 >= kSheetShare * pageW && y1 - y0 >= kSheetShare * pageH;
}

}  // namespace

size_t DrawPathsAsPictures(CRtfPage* page) {
    if (page == nullptr) return 0;
    const double pageW = page->m_rect.Width() != 0 ? page->m_rect.Width() : kDefaultPageWidth;
    const double pageH = page->m_rect.Height() != 0 ? page->m_rect.Height() : kDefaultPageHeight;

    std::vector<CPaintedPiece> layer[2];  // behind the text, in front of it
    CRtfLine* owner[2] = {nullptr, nullptr};
    for (const auto& obj : page->m_pObjects) {
        auto* line = obj && obj->m_nKind == CRtfShpObject::kLine ? dynamic_cast<CRtfLine*>(obj.get()) : nullptr;
        if (line == nullptr) continue;
        line->m_strShape.clear();
        line->m_strFront.clear();
        const int side = line->m_bFront ? 1 : 0;
        for (const CPathPiece& piece : line->m_pieces) {
            if (piece.m_points.size() < 2) continue;
            if (side == 0 && !piece.m_bLine && IsPaper(piece, line->m_style, pageW, pageH)) continue;
            layer[side].push_back(CPaintedPiece{&piece, &line->m_style});
            if (owner[side] == nullptr) owner[side] = line;
        }
    }

    size_t pictures = 0;
    for (int side = 0; side < 2; ++side) {
        if (owner[side] == nullptr) continue;
        std::string& out = side == 1 ? owner[side]->m_strFront : owner[side]->m_strShape;
        out = PathPictureText(layer[side], NextPageShapeId(page), owner[side]->m_nZOrder, side == 1,
                              static_cast<int32_t>(pageW), static_cast<int32_t>(pageH));
        if (!out.empty()) ++pictures;
    }
    return pictures;
}
