// The rectangle type of the layout model, with the rules of the Windows
// rectangle functions the layout engine was designed against: right and
// bottom edges lie outside the rectangle, and an empty rectangle adds
// nothing to a union.
#pragma once

#include <algorithm>
#include <cstdint>

struct CPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct CRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    // Integer halves truncate toward zero, as the layout thresholds expect.
    CPoint CenterPoint() const { return CPoint{(left + right) / 2, (top + bottom) / 2}; }

    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool PtInRect(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

    void SetRect(int32_t l, int32_t t, int32_t r, int32_t b) { left = l; top = t; right = r; bottom = b; }
    void SetRectEmpty() { left = top = right = bottom = 0; }
    void OffsetRect(int32_t dx, int32_t dy) { left += dx; right += dx; top += dy; bottom += dy; }

    // Sets this rectangle to the intersection of a and b; an empty result
    // becomes all zero. Returns whether the intersection is not empty.
    bool IntersectRect(const CRect& a, const CRect& b) {
        CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom));
        if (a.IsRectEmpty() || b.IsRectEmpty() || r.IsRectEmpty()) {
            SetRectEmpty();
            return false;
        }
        *this = r;
        return true;
    }

    // Sets this rectangle to the smallest one holding a and b; empty inputs
    // take no part. Returns whether the result is not empty.
    bool UnionRect(const CRect& a, const CRect& b) {
        const bool ea = a.IsRectEmpty();
        const bool eb = b.IsRectEmpty();
        if (ea && eb) {
            SetRectEmpty();
            return false;
        }
        if (ea) { *this = b; return true; }
        if (eb) { *this = a; return true; }
        *this = CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                      std::max(a.bottom, b.bottom));
        return true;
    }

    bool operator==(const CRect& o) const = default;
};

// a * b / c rounded half away from zero, in 64-bit arithmetic; -1 when c is 0.
inline int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t num = static_cast<int64_t>(a) * b;
    int64_t den = c;
    if (den < 0) { num = -num; den = -den; }
    int64_t q = (num >= 0) ? (num + den / 2) / den : -((-num + den / 2) / den);
    return static_cast<int32_t>(q);
}
