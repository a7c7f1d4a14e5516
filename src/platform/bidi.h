// Right-to-left scripts: the direction class of a character and the reading
// order of text that a PDF holds in the order it stands on the page.
//
// Windows answers these from its script and character-type services (the
// Uniscribe itemizer); here a table of the blocks that matter does.
//
// A PDF places glyphs; whether Hebrew or Arabic is drawn from its first
// letter or from its leftmost one is up to the program that made it. The
// text device takes each run as it stands on the page, left to right, and
// puts it into reading order with ReadingOrder; the line writers order the
// pieces of a line the same way. The rules are a small part of the Unicode
// bidirectional algorithm run backwards: levels are resolved on the text as
// it is shown, and the reversals of the algorithm's last step undo
// themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How a character (or a piece of text) takes part in ordering a line.
enum class BidiKind : uint8_t {
    kNeutral,  // spaces, punctuation, symbols: they take their neighbours' direction
    kLeft,     // strong left to right (Latin, Greek, Cyrillic, ...)
    kRight,    // strong right to left (Hebrew, Arabic, Syriac, Thaana, ...)
    kNumber,   // digits: left to right inside right-to-left text
    kMark,     // combining marks: they stay with the letter they sit on
};

BidiKind BidiKindOf(char32_t u);
inline bool IsRightToLeftChar(char32_t u) { return BidiKindOf(u) == BidiKind::kRight; }

// The reading order of items standing left to right on the page with the
// given kinds, in a line whose main direction is right to left or not: the
// indices of the items in reading order.
std::vector<size_t> ReadingOrder(const std::vector<BidiKind>& kinds, bool rightToLeft);
// The same, and for each item on the page whether it stands in a stretch
// shown right to left: a bracket there is drawn turned round, so the glyph
// ")" at the left end of an Arabic phrase reads as "(".
std::vector<size_t> ReadingOrder(const std::vector<BidiKind>& kinds, bool rightToLeft, std::vector<bool>& turned);

// The character whose glyph is the mirror image of `u`'s (brackets,
// guillemets, less and greater signs); `u` itself when there is none.
char32_t MirroredChar(char32_t u);

// Whether text standing left to right on the page reads right to left as a
// whole. A line that starts at its left end and ends at its right end in
// one direction reads in that direction (an English line with a Hebrew word
// in it, an Arabic one with a number); otherwise the greater number of
// strong characters decides.
bool ShownReadsRightToLeft(const std::vector<BidiKind>& shown, size_t rightChars, size_t leftChars);
inline bool ShownReadsRightToLeft(const std::vector<BidiKind>& shown) {
    size_t right = 0;
    size_t left = 0;
    for (BidiKind k : shown) {
        if (k == BidiKind::kRight) ++right;
        else if (k == BidiKind::kLeft) ++left;
    }
    return ShownReadsRightToLeft(shown, right, left);
}

// Whether text in reading order reads right to left: its first strong
// character does.
bool ReadsRightToLeft(const std::u32string& text);

// Arabic letters as a word processor shows them joined: each basic letter
// (U+0621 to U+064A) replaced by its initial, medial, final or isolated
// presentation form as its neighbours join it. Measuring the letters as
// they stand gives every one its isolated form, far wider than joined text.
std::u32string JoinedForms(const std::u32string& text);
