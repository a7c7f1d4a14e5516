// Direction classes and the reading order of right-to-left text.
#include "platform/bidi.h"

#include <algorithm>
#include <iterator>

namespace {

struct Range {
    char32_t first;
    char32_t last;
    BidiKind kind;
};

// Exceptions inside the right-to-left blocks, in ascending order: combining
// marks, and the digits and number signs that read left to right.
constexpr Range kRightBlockExceptions[] = {
    {0x0591, 0x05BD, BidiKind::kMark},    {0x05BF, 0x05BF, BidiKind::kMark},    {0x05C1, 0x05C2, BidiKind::kMark},
    {0x05C4, 0x05C5, BidiKind::kMark},    {0x05C7, 0x05C7, BidiKind::kMark},    {0x0600, 0x0605, BidiKind::kNumber},
    {0x0610, 0x061A, BidiKind::kMark},    {0x064B, 0x065F, BidiKind::kMark},    {0x0660, 0x0669, BidiKind::kNumber},
    {0x066A, 0x066A, BidiKind::kNeutral}, {0x066B, 0x066C, BidiKind::kNumber},  {0x0670, 0x0670, BidiKind::kMark},
    {0x06D6, 0x06DC, BidiKind::kMark},    {0x06DD, 0x06DD, BidiKind::kNumber},  {0x06DE, 0x06DE, BidiKind::kNeutral},
    {0x06DF, 0x06E4, BidiKind::kMark},    {0x06E7, 0x06E8, BidiKind::kMark},    {0x06E9, 0x06E9, BidiKind::kNeutral},
    {0x06EA, 0x06ED, BidiKind::kMark},    {0x06F0, 0x06F9, BidiKind::kNumber},  {0x0711, 0x0711, BidiKind::kMark},
    {0x0730, 0x074A, BidiKind::kMark},    {0x07A6, 0x07B0, BidiKind::kMark},    {0x07EB, 0x07F3, BidiKind::kMark},
    {0x0816, 0x082D, BidiKind::kMark},    {0x0859, 0x085B, BidiKind::kMark},    {0x08D3, 0x08FF, BidiKind::kMark},
    {0xFB1E, 0xFB1E, BidiKind::kMark},    {0xFB29, 0xFB29, BidiKind::kNeutral}, {0xFD3E, 0xFD3F, BidiKind::kNeutral},
};

bool InRightBlock(char32_t u) {
    return (u >= 0x0590 && u <= 0x08FF) || (u >= 0xFB1D && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFE) ||
           (u >= 0x10800 && u <= 0x10FFF) || (u >= 0x1E800 && u <= 0x1EFFF);
}

BidiKind LatinKind(char32_t u) {
    if (u >= '0' && u <= '9') return BidiKind::kNumber;
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z')) return BidiKind::kLeft;
    if (u == 0xB2 || u == 0xB3 || u == 0xB9) return BidiKind::kNumber;
    if (u == 0xAA || u == 0xB5 || u == 0xBA) return BidiKind::kLeft;
    if (u >= 0xC0 && u != 0xD7 && u != 0xF7) return BidiKind::kLeft;
    return BidiKind::kNeutral;
}

}  // namespace

BidiKind BidiKindOf(char32_t u) {
    if (u < 0x100) return LatinKind(u);
    if (InRightBlock(u)) {
        for (const Range& r : kRightBlockExceptions) {
            if (u < r.first) break;
            if (u <= r.last) return r.kind;
        }
        return BidiKind::kRight;
    }
    if (u >= 0x0300 && u <= 0x036F) return BidiKind::kMark;
    if (u == 0x200E) return BidiKind::kLeft;
    if (u == 0x200F) return BidiKind::kRight;
    if (u == 0x2070 || (u >= 0x2074 && u <= 0x2079) || (u >= 0x2080 && u <= 0x2089)) return BidiKind::kNumber;
    // General punctuation, letterlike and number forms, arrows, mathematical
    // operators, technical symbols, box drawing, shapes, dingbats.
    if (u >= 0x2000 && u <= 0x2BFF) return BidiKind::kNeutral;
    if ((u >= 0xFE00 && u <= 0xFE0F) || (u >= 0xFE20 && u <= 0xFE2F)) return BidiKind::kMark;
    if ((u >= 0xFE30 && u <= 0xFE6F) || u == 0xFEFF) return BidiKind::kNeutral;
    if (u >= 0xFF10 && u <= 0xFF19) return BidiKind::kNumber;
    if (u >= 0xFF01 && u <= 0xFF20) return BidiKind::kNeutral;
    if (u == 0xFFFD) return BidiKind::kNeutral;
    return BidiKind::kLeft;
}

std::vector<size_t> ReadingOrder(const std::vector<BidiKind>& kinds, bool rightToLeft) {
    std::vector<bool> turned;
    return ReadingOrder(kinds, rightToLeft, turned);
}

std::vector<size_t> ReadingOrder(const std::vector<BidiKind>& kinds, bool rightToLeft, std::vector<bool>& turned) {
    const size_t n = kinds.size();
    // What each item counts as when its neighbours' direction is settled: a
    // mark goes with a right-to-left letter beside it (in a right-to-left
    // word shown on the page the mark may stand on either side of its
    // letter), else with the letter before it.
    std::vector<BidiKind> kind(kinds);
    for (size_t i = 0; i < n; ++i) {
        if (kinds[i] != BidiKind::kMark) continue;
        BidiKind before = BidiKind::kNeutral;
        BidiKind after = BidiKind::kNeutral;
        for (size_t j = i; j-- > 0;)
            if (kinds[j] != BidiKind::kMark) {
                before = kinds[j];
                break;
            }
        for (size_t j = i + 1; j < n; ++j)
            if (kinds[j] != BidiKind::kMark) {
                after = kinds[j];
                break;
            }
        if (before == BidiKind::kRight || after == BidiKind::kRight) kind[i] = BidiKind::kRight;
        else if (before == BidiKind::kLeft || after == BidiKind::kLeft) kind[i] = BidiKind::kLeft;
        else kind[i] = BidiKind::kNeutral;
    }

    // The strong direction nearest to each side of an item (the line's own
    // direction past its ends).
    const BidiKind base = rightToLeft ? BidiKind::kRight : BidiKind::kLeft;
    auto strongBefore = [&](size_t i) {
        for (size_t j = i; j-- > 0;)
            if (kind[j] == BidiKind::kLeft || kind[j] == BidiKind::kRight) return kind[j];
        return base;
    };
    auto strongAfter = [&](size_t i) {
        for (size_t j = i + 1; j < n; ++j)
            if (kind[j] == BidiKind::kLeft || kind[j] == BidiKind::kRight) return kind[j];
        return base;
    };

    // Digits read left to right but belong to the right-to-left text round
    // them: inside it they count as right to left for the neutrals.
    std::vector<BidiKind> dir(n, BidiKind::kNeutral);
    std::vector<int> level(n, rightToLeft ? 1 : 0);
    for (size_t i = 0; i < n; ++i) {
        switch (kind[i]) {
            case BidiKind::kLeft:
                dir[i] = BidiKind::kLeft;
                level[i] = rightToLeft ? 2 : 0;
                break;
            case BidiKind::kRight:
                dir[i] = BidiKind::kRight;
                level[i] = 1;
                break;
            case BidiKind::kNumber: {
                const BidiKind b = strongBefore(i);
                const BidiKind a = strongAfter(i);
                const bool inRight = rightToLeft ? (a != BidiKind::kLeft && b != BidiKind::kLeft)
                                                 : (a == BidiKind::kRight && b == BidiKind::kRight);
                dir[i] = inRight ? BidiKind::kRight : BidiKind::kLeft;
                level[i] = inRight || rightToLeft ? 2 : 0;
                break;
            }
            default: break;
        }
    }
    // A stretch of neutrals between two items of one direction takes it;
    // otherwise the line's direction.
    for (size_t i = 0; i < n;) {
        if (dir[i] != BidiKind::kNeutral) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < n && dir[end] == BidiKind::kNeutral) ++end;
        const BidiKind before = i > 0 ? dir[i - 1] : base;
        const BidiKind after = end < n ? dir[end] : base;
        const BidiKind d = before == after ? before : base;
        for (size_t k = i; k < end; ++k) level[k] = d == BidiKind::kRight ? 1 : (rightToLeft ? 2 : 0);
        i = end;
    }

    // The last step of the algorithm, reversing every stretch at each level
    // from the highest down, undoes itself: run on the shown order it gives
    // the reading order.
    turned.assign(n, false);
    for (size_t i = 0; i < n; ++i) turned[i] = level[i] % 2 == 1;
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    const int top = n > 0 ? *std::max_element(level.begin(), level.end()) : 0;
    for (int k = top; k >= 1; --k) {
        for (size_t i = 0; i < n;) {
            if (level[order[i]] < k) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < n && level[order[end]] >= k) ++end;
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i),
                         order.begin() + static_cast<std::ptrdiff_t>(end));
            i = end;
        }
    }
    return order;
}

char32_t MirroredChar(char32_t u) {
    // Pairs of mirrored glyphs, each once, in ascending order of the first.
    static constexpr char32_t kPairs[][2] = {
        {0x0028, 0x0029}, {0x003C, 0x003E}, {0x005B, 0x005D}, {0x007B, 0x007D}, {0x00AB, 0x00BB},
        {0x2039, 0x203A}, {0x2045, 0x2046}, {0x207D, 0x207E}, {0x208D, 0x208E}, {0x2208, 0x220B},
        {0x2264, 0x2265}, {0x226A, 0x226B}, {0x2282, 0x2283}, {0x2286, 0x2287}, {0x2329, 0x232A},
        {0x27E6, 0x27E7}, {0x27E8, 0x27E9}, {0x3008, 0x3009}, {0x300A, 0x300B}, {0x300C, 0x300D},
        {0x3010, 0x3011}, {0xFF08, 0xFF09}, {0xFF1C, 0xFF1E}, {0xFF3B, 0xFF3D}, {0xFF5B, 0xFF5D},
    };
    for (const auto& p : kPairs) {
        if (u == p[0]) return p[1];
        if (u == p[1]) return p[0];
    }
    return u;
}

bool ShownReadsRightToLeft(const std::vector<BidiKind>& shown, size_t rightChars, size_t leftChars) {
    if (rightChars == 0) return false;
    BidiKind leftmost = BidiKind::kNeutral;
    BidiKind rightmost = BidiKind::kNeutral;
    for (BidiKind k : shown) {
        if (k != BidiKind::kLeft && k != BidiKind::kRight) continue;
        if (leftmost == BidiKind::kNeutral) leftmost = k;
        rightmost = k;
    }
    if (leftmost == rightmost && leftmost != BidiKind::kNeutral) return leftmost == BidiKind::kRight;
    return rightChars >= leftChars;
}

bool ReadsRightToLeft(const std::u32string& text) {
    for (char32_t u : text) {
        const BidiKind k = BidiKindOf(u);
        if (k == BidiKind::kRight) return true;
        if (k == BidiKind::kLeft) return false;
    }
    return false;
}

namespace {

// How an Arabic character joins: not at all, to the letter before it only,
// on both sides, or as a mark that the joining looks through.
enum class Joining : uint8_t { kNone, kRight, kDual, kCausing, kTransparent };

// The first presentation form of each basic letter from U+0621 (0 where
// there is none) and how it joins; a letter joining on the right has an
// isolated and a final form, one joining on both sides initial and medial
// forms after those.
struct ArabicLetter {
    char32_t first;
    Joining joining;
};
constexpr char32_t kFirstLetter = 0x0621;
constexpr ArabicLetter kLetters[] = {
    {0xFE80, Joining::kNone},  {0xFE81, Joining::kRight}, {0xFE83, Joining::kRight}, {0xFE85, Joining::kRight},
    {0xFE87, Joining::kRight}, {0xFE89, Joining::kDual},  {0xFE8D, Joining::kRight}, {0xFE8F, Joining::kDual},
    {0xFE93, Joining::kRight}, {0xFE95, Joining::kDual},  {0xFE99, Joining::kDual},  {0xFE9D, Joining::kDual},
    {0xFEA1, Joining::kDual},  {0xFEA5, Joining::kDual},  {0xFEA9, Joining::kRight}, {0xFEAB, Joining::kRight},
    {0xFEAD, Joining::kRight}, {0xFEAF, Joining::kRight}, {0xFEB1, Joining::kDual},  {0xFEB5, Joining::kDual},
    {0xFEB9, Joining::kDual},  {0xFEBD, Joining::kDual},  {0xFEC1, Joining::kDual},  {0xFEC5, Joining::kDual},
    {0xFEC9, Joining::kDual},  {0xFECD, Joining::kDual},  {0, Joining::kNone},       {0, Joining::kNone},
    {0, Joining::kNone},       {0, Joining::kNone},       {0, Joining::kNone},       {0, Joining::kCausing},
    {0xFED1, Joining::kDual},  {0xFED5, Joining::kDual},  {0xFED9, Joining::kDual},  {0xFEDD, Joining::kDual},
    {0xFEE1, Joining::kDual},  {0xFEE5, Joining::kDual},  {0xFEE9, Joining::kDual},  {0xFEED, Joining::kRight},
    {0xFEEF, Joining::kRight}, {0xFEF1, Joining::kDual},
};

Joining JoiningOf(char32_t u) {
    if (u >= kFirstLetter && u < kFirstLetter + std::size(kLetters)) return kLetters[u - kFirstLetter].joining;
    if (BidiKindOf(u) == BidiKind::kMark) return Joining::kTransparent;
    return Joining::kNone;
}

}  // namespace

std::u32string JoinedForms(const std::u32string& text) {
    std::u32string out(text);
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t u = text[i];
        if (u < kFirstLetter || u >= kFirstLetter + std::size(kLetters) || kLetters[u - kFirstLetter].first == 0) continue;
        const ArabicLetter& letter = kLetters[u - kFirstLetter];
        Joining before = Joining::kNone;
        Joining after = Joining::kNone;
        for (size_t j = i; j-- > 0;)
            if ((before = JoiningOf(text[j])) != Joining::kTransparent) break;
        for (size_t j = i + 1; j < n; ++j)
            if ((after = JoiningOf(text[j])) != Joining::kTransparent) break;
        const bool joinsBefore = letter.joining != Joining::kNone && (before == Joining::kDual || before == Joining::kCausing);
        const bool joinsAfter = letter.joining == Joining::kDual &&
                                (after == Joining::kDual || after == Joining::kRight || after == Joining::kCausing);
        char32_t form = letter.first;  // isolated
        if (joinsBefore && joinsAfter) form += 3;
        else if (joinsAfter) form += 2;
        else if (joinsBefore) form += 1;
        out[i] = form;
    }
    return out;
}
