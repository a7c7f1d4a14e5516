// Text measurement with installed fonts: the stand-in for creating a font
// on the screen device context and asking for the extent of a string.
//
// The layout engine measures words to fit font sizes and to decide whether
// fragments continue a line. The font file is the one fontconfig matches
// for the face name, weight and slant (so "Times New Roman" measures with a
// metric-compatible face where the real one is missing); FreeType supplies
// the glyph advances. Sizes are pixels at 96 per inch, as on a screen.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

struct TextExtent {
    int32_t cx = 0;  // sum of the glyph advances, no kerning
    int32_t cy = 0;  // ascent plus descent of the font
};

// Pixels per em of a font of `points` points on a 96-per-inch screen.
int32_t PointsToPixels(int32_t points);

// Measures `text` (Unicode code points) in the installed font that best
// matches `face`, weight 700 when `bold` else 400, italic when `italic`, at
// `points` points. Returns false (and a zero extent) when no font file can
// be opened. Faces are opened once and kept; the extent of the same text at
// the same size and style is remembered too, so measuring a page's words
// again and again stays cheap.
bool MeasureString(const std::string& face, int32_t points, bool bold, bool italic, const std::u32string& text,
                   TextExtent& extent);

// The width of `text` in ems of the installed font that best matches
// `face` with the style: the unhinted advances that a word processor lays
// text out with, the same at every size. A character the font lacks is
// measured in the font fontconfig offers for it, as a word processor falls
// back (one em for wide East Asian characters and half an em for others
// when there is none). Returns false (and 0) when no font file can be
// opened.
bool MeasureEms(const std::string& face, bool bold, bool italic, const std::u32string& text, double& ems);

// The font file that `face` with the style resolves to ("" when none), for
// diagnostics and tests.
std::string MatchedFontFile(const std::string& face, bool bold, bool italic);

}  // namespace qm
