// The drawn paths of a page as few shapes. Word processors lay out every
// floating shape on its own, and a document with thousands of them (table
// rules, circuit diagrams, plots) takes minutes to open or never opens.
// Paths that share their paint become sub-paths of one freeform shape:
//  1. a path joins the latest shape of its paint when nothing drawn in
//     between paints over it (a fill on one side, another colour);
//  2. a page still above its bound merges every path of one paint that
//     does not overlap a filled path already in the shape, whatever lies
//     between them in drawing order;
//  3. then every path of one paint, overlaps or not;
//  4. what is still above the bound is left out, the smallest shapes (by
//     the widths and heights of their sub-paths) first.
// Filled sub-paths that overlap are kept apart as long as the bound allows
// because a shape fills its sub-paths as one area, and overlapping parts
// could come out as holes.
#include <algorithm>
#include <map>
#include <tuple>

#include "layout/layout_document.h"
#include "layout/model.h"

namespace {

// Overlap checks against a shape's filled sub-paths stop here: a shape
// with more starts afresh, which keeps a page of many fills linear.
constexpr size_t kMaxOverlapChecks = 512;
// A white fill covering this share of the page's width and height, drawn
// under everything, is the page's own paper and is left out.
constexpr double kSheetShare = 0.9;
constexpr int32_t kWhite = 16777215;

struct Box {
    double x0, y0, x1, y1;
};

Box BoxOf(const CPathPiece& piece) {
    Box b{piece.m_points[0].x, piece.m_points[0].y, piece.m_points[0].x, piece.m_points[0].y};
    for (const CPathPoint& p : piece.m_points) {
        b.x0 = std::min(b.x0, p.x), b.x1 = std::max(b.x1, p.x);
        b.y0 = std::min(b.y0, p.y), b.y1 = std::max(b.y1, p.y);
    }
    return b;
}

// Interiors overlap; boxes that only touch do not.
bool Overlap(const Box& a, const Box& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; }

struct Key {
    CPathStyle style;
    bool line = false;
    bool front = false;
    auto Tie() const {
        return std::tie(style.m_bFilled, style.m_bStroked, style.m_nFill, style.m_nStroke, style.m_nWidthEmu,
                        style.m_nDashing, line, front);
    }
    bool operator==(const Key& o) const { return Tie() == o.Tie(); }
    bool operator<(const Key& o) const { return Tie() < o.Tie(); }
};

struct Item {
    CRtfLine* owner;
    const CPathPiece* piece;
    Key key;
    Box box;
};

struct Group {
    Key key;
    CRtfLine* owner;
    Box box;
    std::vector<const CPathPiece*> pieces;
    std::vector<Box> boxes;  // of the sub-paths
    double extent = 0;       // the sub-paths' widths and heights added up

    explicit Group(const Item& it) : key(it.key), owner(it.owner), box(it.box) { Add(it); }
    void Add(const Item& it) {
        pieces.push_back(it.piece);
        box = Box{std::min(box.x0, it.box.x0), std::min(box.y0, it.box.y0), std::max(box.x1, it.box.x1),
                  std::max(box.y1, it.box.y1)};
        boxes.push_back(it.box);
        extent += (it.box.x1 - it.box.x0) + (it.box.y1 - it.box.y0);
    }
    bool Filled() const { return key.style.m_bFilled && !key.line; }
    bool Takes(const Item& it) const {
        if (!(key == it.key)) return false;
        if (!Filled()) return true;
        if (boxes.size() >= kMaxOverlapChecks) return false;
        return std::none_of(boxes.begin(), boxes.end(), [&](const Box& b) { return Overlap(b, it.box); });
    }
};

// The one colour a shape paints in, -1 when it paints in two.
int32_t SoleColour(const Key& key) {
    const CPathStyle& s = key.style;
    if (key.line || (s.m_bFilled && !s.m_bStroked)) return s.m_nFill;
    if (!s.m_bFilled) return s.m_nStroke;
    return s.m_nFill == s.m_nStroke ? s.m_nFill : -1;
}

// Whether a shape made after groups[from - 1] paints where `it` lies, with
// a fill on one side at least: joining that earlier shape would move `it`
// under what the PDF paints over it. Strokes that cross strokes are let
// be, as the order shows at their crossings only.
bool PaintedOver(const std::vector<Group>& groups, size_t from, const Item& it) {
    const bool filled = it.key.style.m_bFilled && !it.key.line;
    size_t checks = 0;
    for (size_t i = from; i < groups.size(); ++i) {
        const Group& g = groups[i];
        if ((!filled && !g.Filled()) || !Overlap(g.box, it.box)) continue;
        // Paint over paint of the same single colour looks the same in
        // either order.
        if (SoleColour(g.key) >= 0 && SoleColour(g.key) == SoleColour(it.key)) continue;
        for (const Box& b : g.boxes) {
            if (++checks > kMaxOverlapChecks) return true;
            if (Overlap(b, it.box)) return true;
        }
    }
    return false;
}

// A path joins the latest shape of its paint, wherever it lies on the
// page, when nothing drawn since paints over it.
std::vector<Group> InDrawingOrder(const std::vector<Item>& items) {
    std::vector<Group> groups;
    std::map<Key, size_t> last;
    for (const Item& it : items) {
        auto found = last.find(it.key);
        if (found != last.end()) {
            Group& g = groups[found->second];
            if (g.Takes(it) && !PaintedOver(groups, found->second + 1, it)) {
                g.Add(it);
                continue;
            }
        }
        last[it.key] = groups.size();
        groups.emplace_back(it);
    }
    return groups;
}

std::vector<Group> ByPaint(const std::vector<Item>& items, bool keepOverlapsApart) {
    std::vector<Group> groups;
    std::map<Key, size_t> last;
    for (const Item& it : items) {
        auto found = last.find(it.key);
        if (found != last.end() && (!keepOverlapsApart || groups[found->second].Takes(it))) {
            groups[found->second].Add(it);
            continue;
        }
        last[it.key] = groups.size();
        groups.emplace_back(it);
    }
    return groups;
}

int32_t NextShapeId(CRtfPage* page) { return page->m_pDoc ? page->m_pDoc->Context().NextShapeId() : 0; }

}  // namespace

size_t MergePathShapes(CRtfPage* page, size_t maxShapes) {
    if (page == nullptr) return 0;
    const double pageW = page->m_rect.Width() != 0 ? page->m_rect.Width() : kDefaultPageWidth;
    const double pageH = page->m_rect.Height() != 0 ? page->m_rect.Height() : kDefaultPageHeight;

    std::vector<Item> items;
    for (const auto& obj : page->m_pObjects) {
        auto* line = obj && obj->m_nKind == CRtfShpObject::kLine ? dynamic_cast<CRtfLine*>(obj.get()) : nullptr;
        if (line == nullptr) continue;
        line->m_strShape.clear();
        line->m_strFront.clear();
        for (const CPathPiece& piece : line->m_pieces) {
            if (piece.m_points.size() < 2) continue;
            Item it{line, &piece, Key{line->m_style, piece.m_bLine, line->m_bFront}, BoxOf(piece)};
            const CPathStyle& s = line->m_style;
            if (!it.key.front && s.m_bFilled && !s.m_bStroked && s.m_nFill == kWhite &&
                it.box.x1 - it.box.x0 >= kSheetShare * pageW && it.box.y1 - it.box.y0 >= kSheetShare * pageH)
                continue;
            items.push_back(it);
        }
    }

    std::vector<Group> groups = InDrawingOrder(items);
    if (groups.size() > maxShapes) groups = ByPaint(items, true);
    if (groups.size() > maxShapes) groups = ByPaint(items, false);
    if (groups.size() > maxShapes) {
        std::vector<size_t> order(groups.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return groups[a].extent > groups[b].extent; });
        std::vector<bool> keep(groups.size(), false);
        for (size_t i = 0; i < maxShapes; ++i) keep[order[i]] = true;
        std::vector<Group> kept;
        for (size_t i = 0; i < groups.size(); ++i)
            if (keep[i]) kept.push_back(std::move(groups[i]));
        groups = std::move(kept);
    }

    for (const Group& g : groups) {
        std::string& out = g.key.front ? g.owner->m_strFront : g.owner->m_strShape;
        out += PathShapeText(g.pieces, g.key.style, NextShapeId(page), g.owner->m_nZOrder, g.key.front);
    }
    return groups.size();
}
