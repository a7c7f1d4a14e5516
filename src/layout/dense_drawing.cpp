// A page dense with drawn paths (a plot, a circuit, a map) costs a word
// processor time for every point of its shapes, merged or not: such a
// page's drawing is taken out of the page here and shown as one picture of
// the box it covers, rendered by the picture step.
// Only the drawing behind the text goes when that is enough, since the
// picture lies behind the text too; what the PDF paints over text or
// pictures goes as well only when it alone is above the bound.
#include <algorithm>

#include "layout/model.h"

namespace {

// The page's own paper (a white fill over this share of its width and
// height) is no drawing: it neither counts nor widens the picture.
constexpr double kSheetShare = 0.9;
constexpr int32_t kWhite = 16777215;
// Page units around the drawing's box for the half of a stroke's width
// outside its path and for smoothing at the edges.
constexpr double kMargin = 3.0;
constexpr double kUnitsPerPoint = 1.5;
constexpr double kEmuPerUnit = 12700.0 / kUnitsPerPoint;

struct Drawn {
    CRtfLine* line;
    size_t points = 0;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

Drawn Measure(CRtfLine* line) {
    Drawn d{line};
    bool first = true;
    for (const CPathPiece& piece : line->m_pieces) {
        d.points += piece.m_points.size();
        for (const CPathPoint& p : piece.m_points) {
            if (first) d.x0 = d.x1 = p.x, d.y0 = d.y1 = p.y, first = false;
            d.x0 = std::min(d.x0, p.x), d.x1 = std::max(d.x1, p.x);
            d.y0 = std::min(d.y0, p.y), d.y1 = std::max(d.y1, p.y);
        }
    }
    return d;
}

struct Box {
    double x0, y0, x1, y1;
    bool Meets(double a0, double b0, double a1, double b1) const { return x0 < a1 && a0 < x1 && y0 < b1 && b0 < y1; }
};

// Where a picture lies in page units; all of the page when it is turned
// with the page, which the drawing's box does not follow.
Box PictureBox(const CRtfImage& image, double bottom) {
    if (image.m_n3 != 0) return Box{-1e300, -1e300, 1e300, 1e300};
    Box b{1e300, 1e300, -1e300, -1e300};
    for (int corner = 0; corner < 4; ++corner) {
        const double u = corner & 1, v = corner >> 1;
        const double x = (image.m_place[0] * u + image.m_place[2] * v + image.m_place[4]) * kUnitsPerPoint;
        const double y = bottom - (image.m_place[1] * u + image.m_place[3] * v + image.m_place[5]) * kUnitsPerPoint;
        b.x0 = std::min(b.x0, x), b.x1 = std::max(b.x1, x);
        b.y0 = std::min(b.y0, y), b.y1 = std::max(b.y1, y);
    }
    return b;
}

bool IsSheet(const Drawn& d, double pageW, double pageH) {
    const CPathStyle& s = d.line->m_style;
    return !d.line->m_bFront && s.m_bFilled && !s.m_bStroked && s.m_nFill == kWhite &&
           d.x1 - d.x0 >= kSheetShare * pageW && d.y1 - d.y0 >= kSheetShare * pageH;
}

}  // namespace

bool TakeDenseDrawing(CRtfPage* page, size_t maxPoints) {
    if (page == nullptr) return false;
    const CRect& r = page->m_rect;
    const double pageW = r.Width() != 0 ? r.Width() : kDefaultPageWidth;
    const double pageH = r.Height() != 0 ? r.Height() : kDefaultPageHeight;
    std::vector<Drawn> drawn;
    size_t behind = 0, front = 0;
    for (const auto& obj : page->m_pObjects) {
        auto* line = obj && obj->m_nKind == CRtfShpObject::kLine ? dynamic_cast<CRtfLine*>(obj.get()) : nullptr;
        if (line == nullptr || line->m_pieces.empty()) continue;
        Drawn d = Measure(line);
        if (IsSheet(d, pageW, pageH)) continue;
        (line->m_bFront ? front : behind) += d.points;
        drawn.push_back(d);
    }
    const bool withFront = front > maxPoints;
    if (behind <= maxPoints && !withFront) return false;

    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool first = true;
    std::vector<const CRtfShpObject*> taken;
    for (const Drawn& d : drawn) {
        if (d.line->m_bFront && !withFront) continue;
        const double half = d.line->m_style.m_bStroked ? d.line->m_style.m_nWidthEmu / kEmuPerUnit / 2 : 0;
        if (first) x0 = d.x0 - half, y0 = d.y0 - half, x1 = d.x1 + half, y1 = d.y1 + half, first = false;
        x0 = std::min(x0, d.x0 - half), y0 = std::min(y0, d.y0 - half);
        x1 = std::max(x1, d.x1 + half), y1 = std::max(y1, d.y1 + half);
        taken.push_back(d.line);
    }
    // Paths are in page units from the top of the page box; the picture is
    // cut from the page as shown, in points from its bottom.
    const double bottom = r.Height() != 0 ? r.bottom : kDefaultPageHeight;
    x0 = std::max(0.0, x0 - kMargin), x1 = std::min(pageW, x1 + kMargin);
    y0 = std::max(bottom - pageH, y0 - kMargin), y1 = std::min(bottom, y1 + kMargin);
    if (x1 <= x0 || y1 <= y0) return false;
    // LibreOffice shows the header's pictures over the body's: the page's
    // pictures would vanish under the drawing's. A page whose pictures lie
    // where it draws keeps its shapes.
    for (const auto& obj : page->m_pObjects) {
        const auto* image = obj && obj->m_nKind == CRtfShpObject::kImage ? dynamic_cast<CRtfImage*>(obj.get()) : nullptr;
        if (image != nullptr && PictureBox(*image, bottom).Meets(x0, y0, x1, y1)) return false;
    }
    page->m_denseRegions.push_back(CDenseRegion{x0 / kUnitsPerPoint, (bottom - y1) / kUnitsPerPoint,
                                                x1 / kUnitsPerPoint, (bottom - y0) / kUnitsPerPoint});
    std::sort(taken.begin(), taken.end());
    auto& objects = page->m_pObjects;
    objects.erase(std::remove_if(objects.begin(), objects.end(),
                                 [&](const std::unique_ptr<CRtfShpObject>& obj) {
                                     return std::binary_search(taken.begin(), taken.end(), obj.get());
                                 }),
                  objects.end());
    return true;
}
