// The text output device and the page XML writer. The PDF core calls the
// device per page (startPage, then font changes and strings character by
// character, then endPage); the device turns characters into runs and
// writes the page's fonts, margins and text elements when the page ends.
#include "extract/html_output_dev.h"

#include <Annot.h>
#include <Error.h>
#include <GfxFont.h>
#include <GfxState.h>
#include <GlobalParams.h>
#include <Link.h>
#include <PDFDoc.h>
#include <Object.h>
#include <Page.h>
#include <XRef.h>

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/bidi.h"
#include "extract/trunc.h"

namespace {

// The flags of the font descriptor of `font`, as the PDF gives them. The
// PDF core's own flags call a simple font fixed pitch whenever all its
// widths are equal, which a subset of a few glyphs (the digits of page
// numbers, a bullet) often is; without a descriptor its guess (serif) is
// all there is.
int DescriptorFlags(XRef* xref, const GfxFont& font) {
    const int guess = font.getFlags() & ~fontFixedWidth;
    const Ref* id = font.getID();
    if (xref == nullptr || id == nullptr) return guess;
    Object dict = xref->fetch(*id);
    if (!dict.isDict()) return guess;
    Object desc = dict.dictLookup("FontDescriptor");
    if (!desc.isDict()) {
        Object descendants = dict.dictLookup("DescendantFonts");
        if (descendants.isArray() && descendants.arrayGetLength() > 0) {
            Object cid = descendants.arrayGet(0);
            if (cid.isDict()) desc = cid.dictLookup("FontDescriptor");
        }
    }
    if (!desc.isDict()) return guess;
    Object flags = desc.dictLookup("Flags");
    return flags.isInt() ? flags.getInt() : guess;
}

// The descriptor flags and, for a simple font whose glyphs all advance
// alike, that advance.
FontTraits TraitsOf(XRef* xref, const GfxFont& font) {
    FontTraits t;
    t.flags = DescriptorFlags(xref, font);
    if (font.isCIDFont()) return t;
    const auto& simple = static_cast<const Gfx8BitFont&>(font);
    double advance = 0;
    for (int c = 0; c < 256; ++c) {
        const double w = simple.getWidth(static_cast<unsigned char>(c));
        if (w == 0) continue;
        if (advance != 0 && std::abs(w - advance) > 0.001) return t;
        advance = w;
    }
    if (advance > 0.2 && advance <= 1.0) t.pitch = static_cast<unsigned>(std::lround(advance * 1000));
    return t;
}

// A run ends where the next character starts further than this share of
// the run's height from the last character's right edge.
constexpr double kRunGapFactor = 0.1;
// Ascent and descent assumed for text drawn without a font.
constexpr double kNoFontAscent = 0.95;
constexpr double kNoFontDescent = 0.35;
// Type 3 fonts hold no em: their text space is whatever unit the glyph
// procedures were drawn in (often device pixels of a TeX bitmap font, scaled
// by the text matrix). The em is taken from the widths of the glyphs whose
// names are known, against their widths in Computer Modern Roman, where
// nearly all such fonts come from: lower-case letters, then digits.
constexpr double kType3LowerWidths[26] = {0.500, 0.556, 0.444, 0.556, 0.444, 0.306, 0.500, 0.556, 0.278,
                                          0.306, 0.528, 0.278, 0.833, 0.556, 0.500, 0.556, 0.528, 0.392,
                                          0.394, 0.389, 0.556, 0.528, 0.722, 0.528, 0.528, 0.444};
constexpr double kType3DigitWidth = 0.500;
constexpr const char* kDigitNames[10] = {"zero", "one", "two",   "three", "four",
                                         "five", "six", "seven", "eight", "nine"};

// The em of a Type 3 font in its text space, or 0 when none of its glyphs
// has a known name and width.
double Type3Em(const Gfx8BitFont& font) {
    double widths = 0;
    double reference = 0;
    for (int code = 0; code < 256; ++code) {
        const char* name = font.getCharName(code);
        if (name == nullptr) continue;
        const double w = std::fabs(font.getWidth(static_cast<unsigned char>(code)));
        if (w == 0) continue;
        double ref = 0;
        if (name[0] >= 'a' && name[0] <= 'z' && name[1] == 0) ref = kType3LowerWidths[name[0] - 'a'];
        for (const char* digit : kDigitNames)
            if (std::strcmp(name, digit) == 0) ref = kType3DigitWidth;
        if (ref == 0) continue;
        widths += w;
        reference += ref;
    }
    return reference > 0 ? widths / reference : 0;
}

// The advance of a symbol (a plus, an equals sign, an arrow, a bullet) is
// about this share of an em, in TeX's fonts and in most text fonts.
constexpr double kType3SymbolAdvance = 0.75;

// A font whose glyphs' shapes make an em within this factor of one unit
// of text space is taken to be drawn at that em, as fonts usually are.
constexpr double kType3EmTrust = 4.0;

// The em of a Type 3 font that has no glyph of a known name (one holding
// only a "+" or a bullet), in its text space. Most such fonts are drawn at
// an em of one unit of text space, the font matrix mapping their glyph
// units to it, and then the matrices alone give the size on the page. TeX's
// bitmap fonts are not: their glyph units are pixels, mapped to text space
// one to one, and the text matrix scales pixels down to the page. Their em
// is guessed from the glyphs' shapes: from the mean advance, or the height
// of the font's box where that is larger, as long as it is not so large
// that the box cannot be trusted (some producers write a box of the whole
// glyph space).
double Type3EmOfShapes(const Gfx8BitFont& font) {
    const double* fm = font.getFontMatrix();
    const double sx = std::fabs(fm[0]);
    if (sx == 0) return 0;
    double sum = 0;
    int glyphs = 0;
    for (int code = 0; code < 256; ++code) {
        const double w = std::fabs(font.getWidth(static_cast<unsigned char>(code)));
        if (w == 0) continue;
        sum += w / sx;
        ++glyphs;
    }
    const double* bbox = font.getFontBBox();
    const double height = std::fabs(bbox[3] - bbox[1]);
    double em = glyphs > 0 ? sum / glyphs / kType3SymbolAdvance : 0;
    if (em == 0 || (height > em && height < 2 * em)) em = height;
    em *= sx;
    return em == 0 || (em < kType3EmTrust && em > 1 / kType3EmTrust) ? 1 : em;
}
// Run extents beyond which the margins are not taken further in.
constexpr double kMarginCap = 50;
// Half the free space to the right or bottom beyond which the margin is
// the fixed kWideMargin; below it the margin is half of that half.
constexpr double kWideSpace = 20;
constexpr int kWideMargin = 10;
// A font set at a size under 2 (scaled by its matrix instead) gets this
// share of its size on the page.
constexpr double kSmallSizeFactor = 0.7;
// A combining mark drawn on its own may stand this share of its letter's
// height higher or lower (a vowel point below moved down a little).
constexpr double kMarkShift = 0.25;
// Combining marks from here on belong to right-to-left scripts.
constexpr Unicode kFirstRightToLeftBlock = 0x0590;

// Sum in 32-bit two's complement, as the page's integer coordinates add up.
int AddWrap(int a, int b) { return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b)); }

int RoundCoord(double v) { return TruncToInt(v + 0.5); }

// A length in device pixels (108 to the inch) in twips (1440 to the inch),
// rounded.
int PageTwips(double pixels) { return RoundCoord(pixels * 1440.0 / 108.0); }

// Text whose baseline lies within this many degrees of a quarter turn
// counts as turned by that quarter: slightly skewed scans stay in the body.
constexpr double kAxisSlack = 2.0;

// A text-space direction on the device.
void DeviceDelta(GfxState* state, double x, double y, double* dx, double* dy) {
    double tx;
    double ty;
    state->textTransformDelta(x, y, &tx, &ty);
    state->transformDelta(tx, ty, dx, dy);
}

// The angle at which the text stands on the page as the viewer shows it, in
// counter-clockwise degrees from 0 to 359: its baseline's direction, or for
// mirrored text (a reversed letter of a logo, which runs leftwards but
// stands upright) the direction of its glyphs' up turned a quarter
// clockwise. The text matrix and the CTM together decide it (the CTM holds
// the page's /Rotate, and producers turn text with either), and for Type 3
// fonts the font matrix as well: TeX's bitmap fonts flip both it and the
// text matrix.
int TextAngle(GfxState* state) {
    double bx = 1;
    double by = 0;
    double ux = 0;
    double uy = 1;
    const std::shared_ptr<GfxFont>& font = state->getFont();
    if (font && font->getType() == fontType3) {
        const double* fm = font->getFontMatrix();
        bx = fm[0];
        by = fm[1];
        ux = fm[2];
        uy = fm[3];
    }
    double dbx;
    double dby;
    double dux;
    double duy;
    DeviceDelta(state, bx, by, &dbx, &dby);
    DeviceDelta(state, ux, uy, &dux, &duy);
    // Device y grows downwards, so upright text has a negative cross product.
    if (dbx * duy - dby * dux > 0) {
        dbx = -duy;
        dby = dux;
    }
    if (dbx == 0 && dby == 0) return 0;
    double degrees = std::atan2(-dby, dbx) * 180.0 / std::numbers::pi;
    if (degrees < 0) degrees += 360;
    const double quarter = std::round(degrees / 90) * 90;
    if (std::fabs(degrees - quarter) <= kAxisSlack) degrees = quarter;
    return TruncToInt(std::lround(degrees)) % 360;
}

// Direction code of the text being drawn: 1 upright, 2 upside down, 4 and 3
// for text that reads upwards and downwards on the page as shown; text at
// other angles takes the code of the half turn it leans into. The Windows
// program also gave Hebrew letters code 2, which sent them to the
// turned-text shapes one letter at a time; a script's direction is not a
// turn of the page, and the run's reading order takes care of it.
int DirectionOf(int angle) {
    if (angle == 0) return 1;
    if (angle == 180) return 2;
    return angle < 180 ? 4 : 3;
}

// A turned run carries on the one before when it starts on its baseline
// (across it by at most kTurnedBaselineSlack of an em) no further along
// than kTurnedWordGap of an em from its end, or overlapping it by at most
// kTurnedOverlap; a gap over kTurnedSpaceGap of an em is a space.
constexpr double kTurnedBaselineSlack = 0.25;
constexpr double kTurnedWordGap = 1.0;
constexpr double kTurnedOverlap = 0.25;
constexpr double kTurnedSpaceGap = 0.15;

// Whether turned run `next` carries on the text of `prev` (same angle, font
// and visibility, on its baseline and near its end), and whether a space
// goes between them.
bool ContinuesTurnedRun(const HtmlRun& prev, const HtmlRun& next, bool* space) {
    if (prev.m_nAngle == 0 || next.m_nAngle != prev.m_nAngle || next.m_nFont != prev.m_nFont ||
        next.m_bHidden != prev.m_bHidden || prev.m_bRightToLeft || next.m_bRightToLeft)
        return false;
    const double em = std::max(prev.m_dEm, next.m_dEm);
    if (!(em > 0)) return false;
    // The baseline's direction on the device, whose y grows downwards.
    const double radians = prev.m_nAngle * std::numbers::pi / 180.0;
    const double bx = std::cos(radians);
    const double by = -std::sin(radians);
    const double dx = next.m_dStartX - prev.m_dEndX;
    const double dy = next.m_dStartY - prev.m_dEndY;
    const double along = dx * bx + dy * by;
    const double across = dy * bx - dx * by;
    if (std::fabs(across) > kTurnedBaselineSlack * em || along < -kTurnedOverlap * em || along > kTurnedWordGap * em)
        return false;
    *space = along > kTurnedSpaceGap * em && prev.m_text.back() != ' ' && next.m_text.front() != ' ';
    return true;
}

void AppendFormat(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string& out, const char* fmt, ...) {
    // Large enough for a data line with four doubles at their widest
    // (over 300 digits each with %f).
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n > 0) out.append(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
}

int StyleOf(const HtmlFont& font) {
    if (font.IsBold()) return 1;
    if (font.IsItalic()) return 2;
    return 0;
}

// Copies a literal without its terminating zero.
template <size_t N>
char* Put(char* p, const char (&text)[N]) {
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

// `%d` of a 32-bit integer: at most eleven bytes.
char* PutInt(char* p, int v) {
    unsigned u = static_cast<unsigned>(v);
    if (v < 0) {
        *p++ = '-';
        u = 0u - u;
    }
    int n = 1;
    for (unsigned t = u; t >= 10; t /= 10) ++n;
    for (int i = n - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + u % 10);
        u /= 10;
    }
    return p + n;
}

// The first line of a text element. Written by hand rather than by printf:
// a big document has hundreds of thousands of them.
void AppendTextLine(std::string& out, int top, int left, int width, int height, int font, int dir, int angle) {
    char buf[256];
    char* p = buf;
    p = Put(p, "<text top=\"");
    p = PutInt(p, top);
    p = Put(p, "\" left=\"");
    p = PutInt(p, left);
    p = Put(p, "\" width=\"");
    p = PutInt(p, width);
    p = Put(p, "\" height=\"");
    p = PutInt(p, height);
    p = Put(p, "\" font=\"");
    p = PutInt(p, font);
    p = Put(p, "\" direction=\"");
    p = PutInt(p, dir);
    p = Put(p, "\" toc=\"0\" Angle=\"");
    p = PutInt(p, angle);
    p = Put(p, "\">\n");
    out.append(buf, static_cast<size_t>(p - buf));
}

}  // namespace

// ---------------------------------------------------------------- HtmlRun

void HtmlRun::Reset() {
    m_nLink = -1;
    m_dXMin = m_dXMax = m_dYMin = m_dYMax = 0;
    m_text.clear();
    m_dLastEdge = 0;
    m_nFont = 0;
    m_nDir = 0;
    m_dCharSpace = m_dWordSpace = m_dHorizScaling = m_dRise = m_dLeading = 0;
    m_nAngle = 0;
    m_dAscent = m_dDescent = 0;
    m_dEndX = m_dEndY = 0;
    m_dStartX = m_dStartY = m_dEm = 0;
    m_dBeginX = m_dBeginY = 0;
    m_bHidden = false;
    m_bLeftward = false;
    m_bRightToLeft = false;
    m_nBases = 0;
}

void HtmlRun::AddChar(Unicode u, int dir, double x, double w) {
    if (m_nDir == 0) m_nDir = dir;
    if (m_text.empty()) m_dXMin = x;
    m_text.push_back(u);
    ++m_nBases;
    m_dLastEdge = x + w;
    m_dXMax = m_dLastEdge;
}

void HtmlRun::AddCharLeftOf(Unicode u, double x, double w, bool firstOfGlyph) {
    m_text.push_back(u);
    m_bLeftward = true;
    if (!firstOfGlyph) return;
    ++m_nBases;
    m_dXMin = x;
    m_dLastEdge = x + w;
}

void HtmlRun::AddMark(Unicode u) { m_text.push_back(u); }

void HtmlRun::ToReadingOrder() {
    size_t right = 0;
    size_t left = 0;
    for (Unicode u : m_text) {
        const BidiKind k = BidiKindOf(u);
        if (k == BidiKind::kRight) ++right;
        else if (k == BidiKind::kLeft) ++left;
    }
    if (right == 0) return;
    m_bRightToLeft = true;
    // A run drawn from its right end holds its characters right to left.
    if (m_bLeftward) std::reverse(m_text.begin(), m_text.end());
    std::vector<BidiKind> kinds;
    kinds.reserve(m_text.size());
    for (Unicode u : m_text) kinds.push_back(BidiKindOf(u));
    // A bracket shown in a right-to-left stretch is drawn with its mirror's
    // glyph, and the glyph is what the page names.
    std::vector<bool> turned;
    const std::vector<size_t> order = ReadingOrder(kinds, ShownReadsRightToLeft(kinds, right, left), turned);
    std::vector<Unicode> text;
    text.reserve(m_text.size());
    for (size_t i : order) text.push_back(turned[i] ? MirroredChar(m_text[i]) : m_text[i]);
    m_text.swap(text);
}

void HtmlRun::AddTurnedChar(Unicode u, int dir, double x, double y, double w, double h) {
    // The glyph's box runs along the baseline by its advance and across it
    // by the ascent and descent; "up" is the baseline turned a quarter
    // counter-clockwise on the page (device y grows downwards).
    const double length = std::hypot(w, h);
    const double ux = length > 0 ? h / length : 0;
    const double uy = length > 0 ? -w / length : -1;
    const double corners[4][2] = {{x + ux * m_dAscent, y + uy * m_dAscent},
                                  {x + ux * m_dDescent, y + uy * m_dDescent},
                                  {x + w + ux * m_dAscent, y + h + uy * m_dAscent},
                                  {x + w + ux * m_dDescent, y + h + uy * m_dDescent}};
    bool first = m_text.empty();
    if (first) {
        m_dStartX = x;
        m_dStartY = y;
    }
    if (m_nDir == 0) m_nDir = dir;
    m_text.push_back(u);
    for (const auto& c : corners) {
        if (first) {
            m_dXMin = m_dXMax = c[0];
            m_dYMin = m_dYMax = c[1];
            first = false;
            continue;
        }
        m_dXMin = std::min(m_dXMin, c[0]);
        m_dXMax = std::max(m_dXMax, c[0]);
        m_dYMin = std::min(m_dYMin, c[1]);
        m_dYMax = std::max(m_dYMax, c[1]);
    }
    m_dEndX = x + w;
    m_dEndY = y + h;
    m_dLastEdge = m_dXMax;
    ++m_nBases;
}

void HtmlRun::AppendTurnedRun(const HtmlRun& next, bool space) {
    if (space) m_text.push_back(' ');
    m_text.insert(m_text.end(), next.m_text.begin(), next.m_text.end());
    m_dXMin = std::min(m_dXMin, next.m_dXMin);
    m_dXMax = std::max(m_dXMax, next.m_dXMax);
    m_dYMin = std::min(m_dYMin, next.m_dYMin);
    m_dYMax = std::max(m_dYMax, next.m_dYMax);
    m_dEndX = next.m_dEndX;
    m_dEndY = next.m_dEndY;
    m_dLastEdge = m_dXMax;
    m_nBases += next.m_nBases + (space ? 1 : 0);
}

// ----------------------------------------------------------- HtmlPageText

HtmlPageText::HtmlPageText(bool rawOrder, const std::string& fileName)
    : m_bRawOrder(rawOrder), m_strFileName(fileName) {}

void HtmlPageText::StartPage(int width, int height, int rotation) {
    m_bInRun = false;
    m_nRuns = 0;
    m_nFontMarker = m_fonts.Size();
    m_links.Clear();
    m_nPageWidth = width;
    m_nPageHeight = height;
    m_nPageTop = 0;
    m_nPageLeft = 0;
    m_nRotation = rotation;
}

void HtmlPageText::UpdateFont(GfxState* state) {
    m_dFontSize = state->getTransformedFontSize();
    const std::shared_ptr<GfxFont>& font = state->getFont();
    if (!font || font->getType() != fontType3) return;
    // Type 3 glyphs are drawn in their own units, so the nominal size says
    // little. The Windows program took the width of an "m" against 0.6 of
    // an em, which made TeX's bitmap fonts half as large again as on the
    // page and a seven-page document sixty pages long.
    const auto& simple = *static_cast<const Gfx8BitFont*>(font.get());
    double em = Type3Em(simple);
    if (em == 0) em = Type3EmOfShapes(simple);
    if (em != 0) m_dFontSize *= em;
    const double* fm = font->getFontMatrix();
    if (fm[0] != 0) m_dFontSize *= std::fabs(fm[3] / fm[0]);
}

void HtmlPageText::BeginString(GfxState* state) {
    // A string begun while another is open replaces it.
    if (static_cast<size_t>(m_nRuns) == m_runs.size()) m_runs.emplace_back();
    HtmlRun& r = m_runs[static_cast<size_t>(m_nRuns)];
    r.Reset();
    m_bInRun = true;

    r.m_dCharSpace = state->getCharSpace();
    r.m_dWordSpace = state->getWordSpace();
    r.m_dHorizScaling = state->getHorizScaling();
    r.m_dLeading = state->getLeading();
    r.m_dRise = state->getRise();

    r.m_bHidden = (state->getRender() & 3) == 3;
    r.m_dEm = m_dFontSize;
    r.m_dBeginX = state->getCurX();
    r.m_dBeginY = state->getCurY();
    double x;
    double y;
    state->transform(r.m_dBeginX, r.m_dBeginY, &x, &y);
    const std::shared_ptr<GfxFont>& font = state->getFont();
    if (font) {
        const std::optional<std::string>& name = font->getName();
        int size = TruncToInt(std::ceil(state->getFontSize()));
        if (size < 2) size = TruncToInt(std::floor(m_dFontSize * kSmallSizeFactor));
        GfxRGB rgb;
        state->getFillRGB(&rgb);
        r.m_nFont = m_fonts.AddFont(name ? std::string_view(*name) : std::string_view(kDefaultFontName),
                                    AsUnsigned(size), HtmlColor(rgb.r, rgb.g, rgb.b),
                                    [this, &font] { return TraitsOf(m_pXRef, *font); });
        r.m_dAscent = font->getAscent() * m_dFontSize;
        r.m_dDescent = font->getDescent() * m_dFontSize;
    } else {
        r.m_nFont = 0;
        r.m_dAscent = kNoFontAscent * m_dFontSize;
        r.m_dDescent = -kNoFontDescent * m_dFontSize;
    }
    r.m_dYMin = y - r.m_dAscent;
    r.m_dYMax = y - r.m_dDescent;
    if (r.m_dYMin == r.m_dYMax) {
        r.m_dYMin = y;
        r.m_dYMax = y + 1;
    }
}

void HtmlPageText::EndString() {
    if (!m_bInRun) return;
    m_bInRun = false;
    HtmlRun& r = m_runs[static_cast<size_t>(m_nRuns)];
    if (r.m_text.empty()) return;
    // Upside-down and turned text is drawn in reading order along its
    // baseline; right-to-left script in it is put into reading order.
    r.ToReadingOrder();
    // Runs stay in drawing order: the layout stage rebuilds reading order
    // from positions, and the raw order is what it expects.
    ++m_nRuns;
}

void HtmlPageText::AddChar(GfxState* state, double x, double y, double dx, double dy, const Unicode* u, int uLen) {
    // Invisible text (rendering modes 3 and 7) is kept apart: it is the
    // recognised text of a scanned page, or text hidden under visible text
    // that it would double (SettleHiddenText decides).
    const bool hidden = (state->getRender() & 3) == 3;
    if (!m_bInRun) BeginString(state);

    double x1;
    double y1;
    state->transform(x, y, &x1, &y1);
    const int angle = TextAngle(state);
    const int dir = DirectionOf(angle);

    // The advance includes the character spacing; a character's own width
    // does not.
    double dx2;
    double dy2;
    state->textTransformDelta(state->getCharSpace() * state->getHorizScaling(), 0, &dx2, &dy2);
    dx -= dx2;
    dy -= dy2;
    double w1;
    double h1;
    state->transformDelta(dx, dy, &w1, &h1);
    if (uLen > 0) {
        w1 /= uLen;
        h1 /= uLen;
    }

    const Unicode first = uLen > 0 ? u[0] : 0;
    const BidiKind kind = BidiKindOf(first);
    enum class Join { kNone, kRight, kLeft, kMark };
    Join join = Join::kRight;
    {
        const HtmlRun& r = m_runs[static_cast<size_t>(m_nRuns)];
        // A run without characters has no direction yet, so its first
        // character always restarts it; when the text position has not
        // moved since it began, the restarted run would be the same one.
        const bool unchanged =
            r.m_nDir == 0 && state->getCurX() == r.m_dBeginX && state->getCurY() == r.m_dBeginY;
        const double height = r.m_dYMax - r.m_dYMin;
        const double gap = kRunGapFactor * (r.m_dAscent - r.m_dDescent);
        if (!r.m_text.empty() && (angle != 0 || r.m_nAngle != 0)) {
            // Turned text joins its run where the last glyph ended.
            const bool near = std::hypot(x1 - r.m_dEndX, y1 - r.m_dEndY) <= gap;
            join = angle == r.m_nAngle && near ? Join::kRight : Join::kNone;
        } else if (!r.m_text.empty()) {
            // Right-to-left script may be drawn in reading order, each
            // letter left of the one before; such a run grows leftwards.
            // Its combining marks sit over their letters, wherever the
            // program put them in the drawing order.
            if (!r.m_bLeftward && std::fabs(x1 - r.m_dLastEdge) <= gap) join = Join::kRight;
            else if ((r.m_bLeftward || (r.m_nBases == 1 && (kind == BidiKind::kRight || IsRightToLeftChar(r.m_text[0])))) &&
                     std::fabs(x1 + w1 * uLen - r.m_dXMin) <= gap)
                join = Join::kLeft;
            else if (kind == BidiKind::kMark && first >= kFirstRightToLeftBlock && x1 >= r.m_dXMin - height / 2 &&
                     x1 <= r.m_dLastEdge + height / 2)
                join = Join::kMark;
            else join = Join::kNone;
        }
        if ((dir != r.m_nDir && !unchanged) || hidden != r.m_bHidden || join == Join::kNone) {
            EndString();
            BeginString(state);
            join = Join::kRight;
        }
    }
    HtmlRun& r = m_runs[static_cast<size_t>(m_nRuns)];
    if (angle != 0) {
        if (r.m_text.empty()) r.m_nAngle = angle;
        for (int i = 0; i < uLen; ++i) r.AddTurnedChar(u[i], dir, x1 + i * w1, y1 + i * h1, w1, h1);
        return;
    }
    for (int i = 0; i < uLen; ++i) {
        switch (join) {
        case Join::kLeft: r.AddCharLeftOf(u[i], x1, w1 * uLen, i == 0); break;
        case Join::kMark: r.AddMark(u[i]); break;
        default: r.AddChar(u[i], dir, x1 + i * w1, w1); break;
        }
    }
}

HtmlPageText::DataLineKey HtmlPageText::KeyOf(const HtmlRun& r, int style) {
    return DataLineKey{std::bit_cast<uint64_t>(r.m_dCharSpace), std::bit_cast<uint64_t>(r.m_dWordSpace),
                       std::bit_cast<uint64_t>(r.m_dHorizScaling), std::bit_cast<uint64_t>(r.m_dRise),
                       std::bit_cast<uint64_t>(r.m_dLeading), style};
}

void HtmlPageText::FormatDataLine(std::string& out, const HtmlRun& r, int style) {
    out.clear();
    AppendFormat(out,
                 "<data cSpace=\"%+07.2f\" wSpace=\"%+08.2f\" hScal=\"%03u\" style=\"%01u\" cRise=\"%+08.2f\" "
                 "cLeading=\"%+08.2f\">",
                 r.m_dCharSpace * 1000, r.m_dWordSpace * 1000, AsUnsigned(TruncToInt(r.m_dHorizScaling * 100)),
                 AsUnsigned(style), r.m_dRise * 1000, r.m_dLeading * 1000);
}

const std::string& HtmlPageText::DataLine(const HtmlRun& r, int style) {
    // Runs of a page nearly all share one text state: format it once.
    const DataLineKey key = KeyOf(r, style);
    if (m_bDataLineValid && key == m_dataLineKey) return m_strDataLine;
    FormatDataLine(m_strDataLine, r, style);
    m_dataLineKey = key;
    m_bDataLineValid = true;
    return m_strDataLine;
}

bool HtmlPageText::HasRunIn(const HtmlLink& link) const {
    for (int i = 0; i < m_nRuns; ++i) {
        const HtmlRun& r = m_runs[static_cast<size_t>(i)];
        if (link.Contains(r.m_dXMin, r.m_dYMin, r.m_dXMax, r.m_dYMax)) return true;
    }
    return false;
}

void HtmlPageText::AttachCombiningMarks() {
    // A program that draws every glyph on its own (LibreOffice does) draws
    // the vowel points of Hebrew and Arabic as runs of their own, one unit
    // wide, which would be lost as slivers and could not be read in order
    // anyway. Each goes with the one-letter run it sits over, nearest in
    // drawing order: a mark follows its letter where the line is drawn in
    // reading order (leftwards) and comes before it where the line is drawn
    // from the left, as shaping leaves it.
    constexpr int kSearch = 3;
    bool any = false;
    for (int i = 0; i < m_nRuns; ++i) {
        HtmlRun& mark = m_runs[static_cast<size_t>(i)];
        if (mark.m_text.empty() || mark.m_bHidden || mark.m_nAngle != 0) continue;
        const bool marksOnly = std::all_of(mark.m_text.begin(), mark.m_text.end(), [](Unicode u) {
            return u >= kFirstRightToLeftBlock && BidiKindOf(u) == BidiKind::kMark;
        });
        if (!marksOnly) continue;
        const bool leftwards = i > 0 && i + 1 < m_nRuns &&
                               m_runs[static_cast<size_t>(i + 1)].m_dXMin < m_runs[static_cast<size_t>(i - 1)].m_dXMin;
        for (int d = 1; d <= kSearch; ++d) {
            HtmlRun* base = nullptr;
            const int first = leftwards ? i - d : i + d;
            const int second = leftwards ? i + d : i - d;
            for (int j : {first, second}) {
                if (j < 0 || j >= m_nRuns) continue;
                HtmlRun& b = m_runs[static_cast<size_t>(j)];
                if (b.m_nBases != 1 || !b.m_bRightToLeft || b.m_bHidden || b.m_nAngle != 0 ||
                    std::fabs(b.m_dYMin - mark.m_dYMin) > kMarkShift * (b.m_dYMax - b.m_dYMin) ||
                    mark.m_dXMin < b.m_dXMin - 1 ||
                    mark.m_dXMin > b.m_dXMax + 1)
                    continue;
                base = &b;
                break;
            }
            if (base == nullptr) continue;
            base->m_text.insert(base->m_text.end(), mark.m_text.begin(), mark.m_text.end());
            mark.m_text.clear();
            any = true;
            break;
        }
    }
    if (!any) return;
    KeepRunsWhere([](const HtmlRun& r) { return !r.m_text.empty(); });
}

void HtmlPageText::JoinTurnedWords() {
    // A turned label (an axis title, a table header set sideways, a
    // graph's edge label) is often drawn a word at a time; as runs of their
    // own its words would become text boxes of their own, each turned about
    // its own centre, overlapping or drifting apart in the word processor.
    bool any = false;
    int kept = -1;
    for (int i = 0; i < m_nRuns; ++i) {
        HtmlRun& r = m_runs[static_cast<size_t>(i)];
        if (r.m_text.empty()) continue;
        if (kept >= 0) {
            HtmlRun& prev = m_runs[static_cast<size_t>(kept)];
            bool space = false;
            if (ContinuesTurnedRun(prev, r, &space)) {
                prev.AppendTurnedRun(r, space);
                r.m_text.clear();
                any = true;
                continue;
            }
        }
        kept = i;
    }
    if (!any) return;
    KeepRunsWhere([](const HtmlRun& r) { return !r.m_text.empty(); });
}

bool HtmlPageText::SettleHiddenText() {
    bool anyHidden = false;
    bool anyVisible = false;
    for (int i = 0; i < m_nRuns; ++i) {
        const HtmlRun& r = m_runs[static_cast<size_t>(i)];
        if (r.m_bHidden) {
            anyHidden = true;
            continue;
        }
        // Blanks drawn visibly (a space run of a form, say) do not make a
        // page's text visible.
        for (Unicode u : r.m_text) {
            if (u != ' ' && u != 0xa0 && u != '\t') {
                anyVisible = true;
                break;
            }
        }
    }
    if (!anyHidden) return false;
    if (!anyVisible) return true;
    KeepRunsWhere([](const HtmlRun& r) { return !r.m_bHidden; });
    return false;
}

void HtmlPageText::WriteMargins(std::string& out) const {
    const HtmlRun& first = m_runs[0];
    double minX = first.m_dXMin;
    double minY = first.m_dYMin;
    double maxX = first.m_dXMax;
    double maxY = first.m_dYMax;
    for (int i = 1; i < m_nRuns; ++i) {
        const HtmlRun& r = m_runs[static_cast<size_t>(i)];
        minX = std::min(minX, r.m_dXMin);
        minY = std::min(minY, r.m_dYMin);
        maxX = std::max(maxX, r.m_dXMax);
        maxY = std::max(maxY, r.m_dYMax);
    }
    if (minX > kMarginCap) minX = kMarginCap;
    if (minY > kMarginCap) minY = kMarginCap;
    const int left = minX > 0 ? RoundCoord(minX) : 0;
    const int top = minY > 0 ? RoundCoord(minY) : 0;
    const double r = (m_nPageWidth - (maxX + 1)) / 2;
    const int right = r > kWideSpace ? kWideMargin : TruncToInt(r * 0.5);
    const int b = TruncToInt((m_nPageHeight - (maxY + 1)) / 2);
    int bottom = kWideMargin;
    if (b <= kWideSpace) bottom = std::max(TruncToInt(b * 0.5), 0);
    // Text past the right edge gives a negative right margin, written in
    // its unsigned form as the reader expects.
    AppendFormat(out, "<margin mleft=\"%04u\" mtop=\"%04u\" mbottom=\"%04u\" mright=\"%04u\">\n", AsUnsigned(left),
                 AsUnsigned(top), AsUnsigned(bottom), AsUnsigned(right));
}

void HtmlPageText::Dump(std::string& out, const HtmlTextFilter& filter) {
    for (int i = 0; i < m_nRuns; ++i) {
        HtmlRun& r = m_runs[static_cast<size_t>(i)];
        r.m_nLink = m_links.isEmpty() ? -1 : m_links.inLink(r.m_dXMin, r.m_dYMin, r.m_dXMax, r.m_dYMax);
    }
    for (int id = m_nFontMarker; id < m_fonts.Size(); ++id) {
        out.push_back('\t');
        out.append(m_fonts.FontSpec(id));
        out.push_back('\n');
    }
    if (m_nRuns == 0) return;
    WriteMargins(out);

    auto run = [this](int i) -> const HtmlRun& { return m_runs[static_cast<size_t>(i)]; };
    for (int i = 0; i < m_nRuns;) {
        // The element opened by run i takes the following runs that start
        // exactly at its written right edge, in the same font and with the
        // same data line on the same line.
        const HtmlRun& first = run(i);
        const int style = StyleOf(m_fonts.Get(first.m_nFont));
        const DataLineKey key = KeyOf(first, style);
        const int top = RoundCoord(first.m_dYMin);
        const int left = RoundCoord(first.m_dXMin);
        const int height = RoundCoord(first.m_dYMax - first.m_dYMin);
        int width = AddWrap(RoundCoord(first.m_dXMax - first.m_dXMin), 1);
        bool firstLineMade = false;
        int last = i;
        for (int j = i + 1; j < m_nRuns; ++j) {
            const HtmlRun& r = run(j);
            // Touching runs join in page order, which is not the reading
            // order of right-to-left text: the layout orders those.
            if (r.m_bRightToLeft || first.m_bRightToLeft) break;
            if (r.m_nFont != first.m_nFont || RoundCoord(r.m_dYMin) != top ||
                RoundCoord(r.m_dYMax - r.m_dYMin) != height || RoundCoord(r.m_dXMin) != AddWrap(left, width)) {
                break;
            }
            const int runStyle = StyleOf(m_fonts.Get(r.m_nFont));
            if (!(KeyOf(r, runStyle) == key)) {
                // Other values may still print alike at two decimals.
                if (!firstLineMade) FormatDataLine(m_strElementData, first, style);
                firstLineMade = true;
                FormatDataLine(m_strScratch, r, runStyle);
                if (m_strScratch != m_strElementData) break;
            }
            last = j;
            width = AddWrap(RoundCoord(r.m_dXMax - first.m_dXMin), 1);
        }

        AppendTextLine(out, top, left, width, height, first.m_nFont, first.m_nDir, first.m_nAngle);
        out.append(DataLine(first, style));
        // Only the first run can open an anchor; the first later run in no
        // link closes it.
        bool anchorOpen = first.m_nLink >= 0;
        if (anchorOpen) {
            out.append(kAnchorStartOpen);
            out.append(m_links.getLink(first.m_nLink).getDest());
            out.append(kAnchorStartClose);
        }
        for (int j = i; j <= last; ++j) {
            const HtmlRun& r = run(j);
            if (anchorOpen && r.m_nLink < 0) {
                out.append(kAnchorEnd);
                anchorOpen = false;
            }
            filter.Append(out, r.m_text.data(), static_cast<int>(r.m_text.size()));
        }
        if (anchorOpen) out.append(kAnchorEnd);
        out.append("\n</text>\n");
        i = last + 1;
    }
}

// ---------------------------------------------------------- HtmlOutputDev

HtmlOutputDev::HtmlOutputDev(const std::string& fileName, const std::string& title, const std::string& author,
                             const std::string& keywords, const std::string& subject, const std::string& date,
                             const std::string& /*extension*/, bool rawOrder, int /*firstPage*/, bool /*outline*/)
    : m_pPages(std::make_unique<HtmlPageText>(rawOrder, fileName)),
      m_bRawOrder(rawOrder),
      m_strFileName(fileName),
      m_strDocTitle(title) {
    m_meta.push_back({"author", author});
    m_meta.push_back({"keywords", keywords});
    m_meta.push_back({"date", date});
    m_meta.push_back({"subject", subject});

    auto slash = fileName.find_last_of('/');
    m_strDocBaseName = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    m_pFilter = std::make_unique<HtmlTextFilter>(globalParams ? globalParams->getTextEncoding() : nullptr);

    const std::string path = fileName + ".xml";
    m_file = std::fopen(path.c_str(), "w");
    if (m_file == nullptr) {
        error(errIO, -1, "Couldn't open html file '{0:s}'", path.c_str());
        return;
    }

    std::string encoding = globalParams ? globalParams->getTextEncodingName() : std::string("Latin1");
    if (encoding == "Latin1") encoding = "ISO-8859-1";
    std::string head = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<pdf2xml";
    for (const HtmlMetaEntry& e : m_meta) head += " " + e.name + "=\"" + e.value + "\"";
    head += ">\n";
    std::fwrite(head.data(), 1, head.size(), m_file);
    m_bOk = true;
}

HtmlOutputDev::~HtmlOutputDev() {
    if (m_file != nullptr) {
        std::fputs("</pdf2xml>\n", m_file);
        std::fclose(m_file);
    }
}

bool HtmlOutputDev::checkPageSlice(Page* page, double, double, int, bool, bool, int, int, int, int, bool,
                                   bool (*)(void*), void*, bool (*)(Annot*, void*), void*) {
    m_pLinkPage = page;
    return true;
}

void HtmlOutputDev::startPage(int pageNum, GfxState* state, XRef* xref) {
    m_pPages->SetXRef(xref);
    m_nPageNum = pageNum;
    const int width = TruncToInt(state->getPageWidth());
    const int height = TruncToInt(state->getPageHeight());
    const int rotation = state->getRotate();
    m_pPages->StartPage(width, height, rotation);
    if (m_file == nullptr) return;
    // The paper size goes along in twips as well: whole page units are
    // 13 twips apart, too coarse for the PDF's paper (an A4 page is 892.9
    // by 1262.8 units).
    std::fprintf(m_file,
                 "<page pnumber=\"%u\" pposition=\"absolute\" ptop=\"%u\" pleft=\"%u\" pheight=\"%u\" pwidth=\"%u\" "
                 "protation=\"%u\" ppaperh=\"%u\" ppaperw=\"%u\">\n",
                 AsUnsigned(pageNum), 0u, 0u, AsUnsigned(height), AsUnsigned(width), AsUnsigned(rotation),
                 AsUnsigned(PageTwips(state->getPageHeight())), AsUnsigned(PageTwips(state->getPageWidth())));
}

void HtmlOutputDev::RecordPageLinks() {
    Page* page = m_pLinkPage;
    m_pLinkPage = nullptr;
    if (page == nullptr || page->getNum() != m_nPageNum) return;
    std::unique_ptr<Links> links = page->getLinks();
    if (!links) return;
    Catalog* catalog = page->getDoc() != nullptr ? page->getDoc()->getCatalog() : nullptr;
    for (AnnotLink* link : links->getLinks()) {
        // A link over no text marks nothing, and resolving its destination
        // can cost more than the page's text: leave it out.
        HtmlLink rect = DeviceRect(link);
        if (!m_pPages->HasRunIn(rect)) continue;
        m_pPages->Links().AddLink(HtmlLink(rect.getX1(), rect.getY1(), rect.getX2(), rect.getY2(),
                                           DestinationOf(link, catalog)));
    }
}

HtmlLink HtmlOutputDev::DeviceRect(AnnotLink* link) {
    double x1;
    double y1;
    double x2;
    double y2;
    link->getRect(&x1, &y1, &x2, &y2);
    int dx1;
    int dy1;
    int dx2;
    int dy2;
    cvtUserToDev(x1, y1, &dx1, &dy1);
    cvtUserToDev(x2, y2, &dx2, &dy2);
    return HtmlLink(dx1, dy2, dx2, dy1, std::string());
}

std::string HtmlOutputDev::DestinationOf(AnnotLink* link, Catalog* catalog) {
    if (!m_pDests || m_pDests->GetCatalog() != catalog) m_pDests = std::make_unique<LinkDestinations>(catalog, m_strDocBaseName);
    return m_pDests->Of(link->getAction());
}

void HtmlOutputDev::recordLink(AnnotLink* link, Catalog* catalog) {
    HtmlLink rect = DeviceRect(link);
    m_pPages->Links().AddLink(HtmlLink(rect.getX1(), rect.getY1(), rect.getX2(), rect.getY2(),
                                       DestinationOf(link, catalog)));
}

void HtmlOutputDev::endPage() {
    // Links are taken now rather than at the page start: the core sets the
    // page's default transformation only after starting the page.
    m_pPages->AttachCombiningMarks();
    m_pPages->JoinTurnedWords();
    if (m_pPages->SettleHiddenText()) m_hiddenTextPages.push_back(m_nPageNum);
    RecordPageLinks();
    if (m_file == nullptr) return;
    m_buffer.clear();
    m_pPages->Dump(m_buffer, *m_pFilter);
    m_buffer.append("</page>\n");
    std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file);
}

void HtmlOutputDev::updateFont(GfxState* state) { m_pPages->UpdateFont(state); }

void HtmlOutputDev::beginString(GfxState* state, const GooString*) { m_pPages->BeginString(state); }

void HtmlOutputDev::endString(GfxState*) { m_pPages->EndString(); }

void HtmlOutputDev::drawChar(GfxState* state, double x, double y, double dx, double dy, double, double, CharCode, int,
                             const Unicode* u, int uLen) {
    m_pPages->AddChar(state, x, y, dx, dy, u, uLen);
}
