// The page PostScript device of the picture step and its early look at a
// page. See page_ps_device.h for what the device adds to Poppler's.
#include "images/page_ps_device.h"

#include <Annot.h>
#include <GfxFont.h>
#include <GfxState.h>
#include <OutputDev.h>
#include <PDFDoc.h>
#include <Page.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

using Mat = std::array<double, 6>;

// Row-vector convention, as PostScript: `first` is applied, then `second`.
Mat Then(const double* first, const double* second) {
    const double* a = first;
    const double* b = second;
    return {a[0] * b[0] + a[1] * b[2],        a[0] * b[1] + a[1] * b[3],        a[2] * b[0] + a[3] * b[2],
            a[2] * b[1] + a[3] * b[3],        a[4] * b[0] + a[5] * b[2] + b[4], a[4] * b[1] + a[5] * b[3] + b[5]};
}

Mat Inverse(const double* m) {
    double det = m[0] * m[3] - m[1] * m[2];
    if (det == 0) return {1, 0, 0, 1, 0, 0};
    return {m[3] / det,  -m[1] / det, -m[2] / det, m[0] / det, (m[2] * m[5] - m[3] * m[4]) / det,
            (m[1] * m[4] - m[0] * m[5]) / det};
}

void AppendFormat(std::string& out, const char* fmt, double a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a);
    out += buf;
}

std::string MatrixText(const double* m) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "[%g %g %g %g %g %g]", m[0], m[1], m[2], m[3], m[4], m[5]);
    return buf;
}

// The colour operator of a captured path: gray and CMYK keep their own
// operators, everything else is given as RGB.
std::string ColourText(GfxColorSpace* space, const GfxColor* colour, bool stroke) {
    char buf[128];
    if (space == nullptr) return {};
    switch (space->getMode()) {
        case csDeviceGray:
        case csCalGray: {
            GfxGray gray;
            space->getGray(colour, &gray);
            std::snprintf(buf, sizeof buf, "%g %s\n", colToDbl(gray), stroke ? "G" : "g");
            break;
        }
        case csDeviceCMYK: {
            GfxCMYK cmyk;
            space->getCMYK(colour, &cmyk);
            std::snprintf(buf, sizeof buf, "%g %g %g %g %s\n", colToDbl(cmyk.c), colToDbl(cmyk.m), colToDbl(cmyk.y),
                          colToDbl(cmyk.k), stroke ? "K" : "k");
            break;
        }
        default: {
            GfxRGB rgb;
            space->getRGB(colour, &rgb);
            std::snprintf(buf, sizeof buf, "%g %g %g %s\n", colToDbl(rgb.r), colToDbl(rgb.g), colToDbl(rgb.b),
                          stroke ? "RG" : "rg");
            break;
        }
    }
    return buf;
}

// Whether four device points run around an axis-parallel rectangle.
bool IsRectangle(const double* x, const double* y) {
    return (x[0] == x[1] && y[1] == y[2] && x[2] == x[3] && y[3] == y[0]) ||
           (y[0] == y[1] && x[1] == x[2] && y[2] == y[3] && x[3] == x[0]);
}

}  // namespace

void CPsSink::Write(void* stream, const char* data, size_t len) {
    auto* sink = static_cast<CPsSink*>(stream);
    if ((sink->m_pFile == nullptr && !sink->m_bDiscard) || len == 0) return;
    if (sink->m_bArmed) {
        if (!sink->m_strPending.empty()) {
            if (!sink->m_bDiscard) sink->m_strBuffer += sink->m_strPending;
            sink->m_nWritten += static_cast<int64_t>(sink->m_strPending.size());
            sink->m_strPending.clear();
        }
        if (!sink->m_bSawEndOfData) {
            // The end-of-data line may be split over several writes: the
            // last bytes seen before are searched together with the new ones.
            static constexpr char kEod[] = "%-EOD-\n";
            constexpr size_t kEodLength = sizeof kEod - 1;
            constexpr size_t kTailLength = 8;
            std::string seam = sink->m_strTail;
            seam.append(data, std::min(len, kEodLength - 1));
            if (seam.find(kEod) != std::string::npos ||
                (len >= kEodLength && memmem(data, len, kEod, kEodLength) != nullptr))
                sink->m_bSawEndOfData = true;
            if (len >= kTailLength) {
                sink->m_strTail.assign(data + len - kTailLength, kTailLength);
            } else {
                sink->m_strTail.append(data, len);
                if (sink->m_strTail.size() > kTailLength)
                    sink->m_strTail.erase(0, sink->m_strTail.size() - kTailLength);
            }
        }
    }
    sink->m_nWritten += static_cast<int64_t>(len);
    if (sink->m_bDiscard) return;
    sink->m_strBuffer.append(data, len);
    if (sink->m_strBuffer.size() >= (1u << 18)) sink->Flush();
}

// Cells of at least this many points; large pages get larger cells so that
// the grid stays small.
constexpr double kPaintedCell = 2.0;
constexpr int kMaxPaintedCells = 1024;

void CPaintedArea::Reset(double x0, double y0, double x1, double y1) {
    m_x0 = std::min(x0, x1);
    m_y0 = std::min(y0, y1);
    const double w = std::fabs(x1 - x0), h = std::fabs(y1 - y0);
    m_cell = std::max(kPaintedCell, std::max(w, h) / kMaxPaintedCells);
    if (!(m_cell < 1e9)) m_cell = 1e9;
    m_nCols = static_cast<int>(std::min(w / m_cell, double{kMaxPaintedCells})) + 1;
    m_nRows = static_cast<int>(std::min(h / m_cell, double{kMaxPaintedCells})) + 1;
    m_cells.assign(static_cast<size_t>(m_nCols) * static_cast<size_t>(m_nRows), 0);
}

bool CPaintedArea::Cells(double x0, double y0, double x1, double y1, int* c0, int* r0, int* c1, int* r1) const {
    if (m_cells.empty() || !(x0 <= x1) || !(y0 <= y1)) return false;
    auto col = [&](double x) {
        double c = std::floor((x - m_x0) / m_cell);
        return static_cast<int>(std::clamp(c, 0.0, static_cast<double>(m_nCols - 1)));
    };
    auto row = [&](double y) {
        double r = std::floor((y - m_y0) / m_cell);
        return static_cast<int>(std::clamp(r, 0.0, static_cast<double>(m_nRows - 1)));
    };
    *c0 = col(x0), *c1 = col(x1), *r0 = row(y0), *r1 = row(y1);
    return true;
}

void CPaintedArea::Mark(double x0, double y0, double x1, double y1, uint8_t what) {
    int c0, r0, c1, r1;
    if (!Cells(x0, y0, x1, y1, &c0, &r0, &c1, &r1)) return;
    for (int r = r0; r <= r1; ++r)
        for (auto cell = m_cells.begin() + static_cast<size_t>(r) * m_nCols + c0, end = cell + (c1 - c0 + 1);
             cell != end; ++cell)
            *cell |= what;
}

bool CPaintedArea::Any(double x0, double y0, double x1, double y1, uint8_t what) const {
    int c0, r0, c1, r1;
    if (!Cells(x0, y0, x1, y1, &c0, &r0, &c1, &r1)) return false;
    for (int r = r0; r <= r1; ++r) {
        auto row = m_cells.begin() + static_cast<size_t>(r) * m_nCols;
        if (std::any_of(row + c0, row + c1 + 1, [&](uint8_t v) { return (v & what) != 0; })) return true;
    }
    return false;
}

bool CPsSink::Flush() {
    if (m_pFile != nullptr && !m_strBuffer.empty() &&
        std::fwrite(m_strBuffer.data(), 1, m_strBuffer.size(), m_pFile) != m_strBuffer.size())
        m_bFailed = true;
    m_strBuffer.clear();
    return !m_bFailed;
}

std::string PathText(GfxState* state) {
    std::string out;
    const GfxPath* path = state->getPath();
    if (path == nullptr) return out;
    char buf[192];
    for (int i = 0; i < path->getNumSubpaths(); ++i) {
        const GfxSubpath* sub = path->getSubpath(i);
        const int n = sub->getNumPoints();
        if (n < 1) continue;
        std::vector<double> x(n), y(n);
        for (int k = 0; k < n; ++k) state->transform(sub->getX(k), sub->getY(k), &x[k], &y[k]);
        // Rectangles come back as "re", as the painting code wrote them, so
        // that thin rules can be told apart from other shapes.
        bool curves = false;
        for (int k = 0; k < n; ++k) curves = curves || sub->getCurve(k);
        if (!curves && sub->isClosed() && (n == 4 || (n == 5 && x[4] == x[0] && y[4] == y[0])) &&
            IsRectangle(x.data(), y.data())) {
            std::snprintf(buf, sizeof buf, "%g %g %g %g re\n", x[0], y[0], x[2] - x[0], y[2] - y[0]);
            out += buf;
            continue;
        }
        std::snprintf(buf, sizeof buf, "%g %g m\n", x[0], y[0]);
        out += buf;
        for (int k = 1; k < n; ++k) {
            if (sub->getCurve(k) && k + 2 < n) {
                std::snprintf(buf, sizeof buf, "%g %g %g %g %g %g c\n", x[k], y[k], x[k + 1], y[k + 1], x[k + 2],
                              y[k + 2]);
                k += 2;
            } else {
                std::snprintf(buf, sizeof buf, "%g %g l\n", x[k], y[k]);
            }
            out += buf;
        }
        if (sub->isClosed()) out += "h\n";
    }
    return out;
}

CPagePsDevice::CPagePsDevice(CPsSink* sink, PDFDoc* doc, int page,
                             std::vector<std::unique_ptr<CRtfShpObject>>* objects, bool capturePaths,
                             bool setUpFonts)
    : PSOutputDev(CPsSink::Write, sink, nullptr, doc, std::vector<int>{page}, psModePS, -1, -1, false, false, 0, 0,
                  0, 0,
                  // Pages with transparency would otherwise be rasterised
                  // whole, and their pictures and paths lost.
                  psNeverRasterize,
                  // Under manual control the device writes no header and no
                  // document set-up, which is where it sets up the fonts of
                  // its pages; it draws the page all the same.
                  !setUpFonts, nullptr, nullptr, psLevel2),
      m_pSink(sink),
      m_pObjects(objects),
      m_bCapturePaths(capturePaths) {
    // Only the pictures and paths of this file are ever used, so text is
    // not written. Where fonts are still set up (pages with Type 3 fonts,
    // whose glyph drawings become paths), embedding stays on: without it
    // the device copies the substitute fonts' files in, many times larger.
    setDisplayText(false);
}

void CPagePsDevice::startPage(int pageNum, GfxState* state, XRef* xref) {
    // The device's own matrix maps user space onto the displayed (rotated)
    // page; placements are kept in the unrotated page box instead, and the
    // page rotation is applied when the picture file is made.
    Mat toDefault = Inverse(state->getCTM());
    const double shift[6] = {1, 0, 0, 1, -state->getX1(), -state->getY1()};
    Mat m = Then(toDefault.data(), shift);
    std::memcpy(m_toUnrotated, m.data(), sizeof m_toUnrotated);
    m_clips.assign(1, ClipState{});
    m_painted.Reset(state->getX1(), state->getY1(), state->getX2(), state->getY2());
    PSOutputDev::startPage(pageNum, state, xref);
}

void CPagePsDevice::saveState(GfxState* state) {
    m_clips.push_back(m_clips.back());
    PSOutputDev::saveState(state);
}

void CPagePsDevice::restoreState(GfxState* state) {
    if (m_clips.size() > 1) m_clips.pop_back();
    PSOutputDev::restoreState(state);
}

// Paths and clip paths are not written into the file: only the pictures'
// code is ever read from it, from where the device recorded it, and each
// picture carries its clip as text of its own. Formatting every path of a
// page was most of the cost of writing it.
void CPagePsDevice::clip(GfxState* state) {
    if (m_bCapturePaths) m_clips.back().clip = PathText(state);
}

void CPagePsDevice::eoClip(GfxState* state) {
    if (m_bCapturePaths) m_clips.back().eoClip = PathText(state);
}

void CPagePsDevice::CapturePath(GfxState* state, const char* paint) {
    if (!m_bCapturePaths) return;
    std::string path = PathText(state);
    if (path.empty()) return;
    std::string text;
    const ClipState& clips = m_clips.back();
    if (!clips.clip.empty()) text += clips.clip + "W\n";
    if (!clips.eoClip.empty()) text += clips.eoClip + "W*\n";
    // Coordinates are points of the displayed page; the matrix takes them
    // to page units.
    text += "[1.5 0 0 1.5 0 0] cm\n";
    AppendFormat(text, "%g w\n", state->getTransformedLineWidth());
    double phase = 0;
    const std::vector<double>& dash = state->getLineDash(&phase);
    text += "[";
    for (size_t i = 0; i < dash.size(); ++i) {
        if (i > 0) text += " ";
        AppendFormat(text, "%g", dash[i]);
    }
    text += "] ";
    AppendFormat(text, "%g d\n", phase);
    text += ColourText(state->getFillColorSpace(), state->getFillColor(), false);
    text += ColourText(state->getStrokeColorSpace(), state->getStrokeColor(), true);
    text += path;
    text += paint;

    auto line = std::make_unique<CRtfLine>();
    // A fill over text hides it; a stroke hides next to nothing of the
    // text, but a picture painted over it would hide it whole.
    const bool fill = paint[0] == 'f';
    line->m_bFront = CoversPainted(state, fill ? CPaintedArea::kText | CPaintedArea::kPicture : CPaintedArea::kPicture);
    line->m_nNumber = m_nShapeId++;
    line->m_nZOrder = m_nZOrder++;
    line->m_nLineWidth = static_cast<int32_t>(state->getLineWidth());
    line->m_strPath = std::move(text);
    m_pObjects->push_back(std::move(line));
    ++m_nPaths;
}

bool CPagePsDevice::CoversPainted(GfxState* state, uint8_t what) const {
    const GfxPath* path = state->getPath();
    if (path == nullptr) return false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool first = true;
    for (int i = 0; i < path->getNumSubpaths(); ++i) {
        const GfxSubpath* sub = path->getSubpath(i);
        for (int k = 0; k < sub->getNumPoints(); ++k) {
            double x, y;
            state->transform(sub->getX(k), sub->getY(k), &x, &y);
            if (first) x0 = x1 = x, y0 = y1 = y, first = false;
            x0 = std::min(x0, x), x1 = std::max(x1, x);
            y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    }
    return !first && m_painted.Any(x0, y0, x1, y1, what);
}

void CPagePsDevice::MarkPainted(GfxState* state, const double (*corners)[2], int n, uint8_t what) {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (int i = 0; i < n; ++i) {
        double x, y;
        state->transform(corners[i][0], corners[i][1], &x, &y);
        if (i == 0) x0 = x1 = x, y0 = y1 = y;
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    m_painted.Mark(x0, y0, x1, y1, what);
}

// The box a string of text covers, worked out as the PDF core advances
// the text position after it (invisible text, as OCR layers are, covers
// nothing).
void CPagePsDevice::drawString(GfxState* state, const GooString* s) {
    const std::shared_ptr<GfxFont>& font = state->getFont();
    if (m_bCapturePaths && font && s != nullptr && s->getLength() > 0 && state->getRender() != 3) {
        const char* p = s->c_str();
        int len = s->getLength(), chars = 0, spaces = 0;
        double advance = 0;
        while (len > 0) {
            CharCode code;
            Unicode const* u = nullptr;
            int uLen = 0;
            double dx = 0, dy = 0, ox = 0, oy = 0;
            const int n = font->getNextChar(p, len, &code, &u, &uLen, &dx, &dy, &ox, &oy);
            if (n <= 0) break;
            advance += font->getWMode() ? dy : dx;
            if (n == 1 && *p == ' ') ++spaces;
            ++chars, p += n, len -= n;
        }
        const double size = state->getFontSize();
        double along = advance * size + chars * state->getCharSpace() + spaces * state->getWordSpace();
        // Only the core of the glyphs (the x-height band, without the first
        // and last tenth of the run) counts: a box drawn right above or
        // below a line, or just touching its ends, does not cover it.
        const double across0 = 0.15 * size + state->getRise(), across1 = 0.5 * size + state->getRise();
        const double trim = 0.1 * along;
        double text[4][2];
        if (font->getWMode()) {
            text[0][0] = -0.3 * size, text[0][1] = trim, text[1][0] = 0.3 * size, text[1][1] = trim;
            text[2][0] = -0.3 * size, text[2][1] = along - trim, text[3][0] = 0.3 * size, text[3][1] = along - trim;
        } else {
            along *= state->getHorizScaling();
            text[0][0] = trim, text[0][1] = across0, text[1][0] = along - trim, text[1][1] = across0;
            text[2][0] = trim, text[2][1] = across1, text[3][0] = along - trim, text[3][1] = across1;
        }
        double user[4][2];
        for (int i = 0; i < 4; ++i) {
            double dx, dy;
            state->textTransformDelta(text[i][0], text[i][1], &dx, &dy);
            user[i][0] = state->getCurX() + dx;
            user[i][1] = state->getCurY() + dy;
        }
        MarkPainted(state, user, 4, CPaintedArea::kText);
    }
    PSOutputDev::drawString(state, s);
}

void CPagePsDevice::stroke(GfxState* state) {
    CapturePath(state, "S\n");
}

void CPagePsDevice::fill(GfxState* state) {
    CapturePath(state, "f\n");
}

void CPagePsDevice::eoFill(GfxState* state) {
    CapturePath(state, "f*\n");
}

void CPagePsDevice::BeginPicture(GfxState* state, int width, int height, std::string setup) {
    if (static_cast<int64_t>(width) * height < 100) ++m_nSmallImages;
    Mat place = Then(state->getCTM(), m_toUnrotated);
    // Values that only rounding made non-zero would spoil the splitter's
    // tests for turned placements.
    double scale = std::max({std::fabs(place[0]), std::fabs(place[1]), std::fabs(place[2]), std::fabs(place[3])});
    for (int i = 0; i < 4; ++i)
        if (std::fabs(place[i]) < scale * 1e-9) place[i] = 0;

    auto picture = std::make_unique<CRtfImage>();
    picture->m_strImageMatrix = MatrixText(place.data());
    picture->m_strCmLine = std::move(setup);
    const ClipState& clips = m_clips.back();
    for (const auto* clip : {&clips.clip, &clips.eoClip}) {
        if (clip->empty()) continue;
        char buf[96];
        std::snprintf(buf, sizeof buf, "%g %g %d %d ctm\n", place[0], place[3], width, height);
        picture->m_strTemplate += buf + *clip + (clip == &clips.clip ? "W\n" : "W*\n");
    }
    m_pPending = std::move(picture);

    m_pSink->m_bArmed = true;
    m_pSink->m_bSawEndOfData = false;
    m_pSink->m_strTail.clear();
    m_pSink->m_strPending = m_pPending->m_strImageMatrix + " cm\n";
    m_nPendingStart = m_pSink->m_nWritten;
}

void CPagePsDevice::EndPicture(GfxState* state) {
    m_pSink->m_bArmed = false;
    const bool wrote = m_pSink->m_strPending.empty();
    m_pSink->m_strPending.clear();
    std::unique_ptr<CRtfImage> picture = std::move(m_pPending);
    if (!picture || !wrote || !m_pSink->m_bSawEndOfData) return;
    picture->m_nNumber = m_nShapeId++;
    picture->m_nZOrder = m_nZOrder++;
    picture->m_nPsStart = m_nPendingStart;
    picture->m_nPsEnd = m_pSink->m_nWritten;
    m_pObjects->push_back(std::move(picture));
    ++m_nPictures;
    const double unit[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    MarkPainted(state, unit, 4, CPaintedArea::kPicture);
}

void CPagePsDevice::drawImageMask(GfxState* state, Object* ref, Stream* str, int width, int height, bool invert,
                                  bool interpolate, bool inlineImg) {
    // A stencil paints in the fill colour, which the picture file must set
    // itself.
    GfxRGB rgb;
    state->getFillRGB(&rgb);
    char setup[128];
    std::snprintf(setup, sizeof setup, "/DeviceRGB {} cs\n[%g %g %g] sc\n", colToDbl(rgb.r), colToDbl(rgb.g),
                  colToDbl(rgb.b));
    BeginPicture(state, width, height, setup);
    PSOutputDev::drawImageMask(state, ref, str, width, height, invert, interpolate, inlineImg);
    EndPicture(state);
}

void CPagePsDevice::drawImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                              GfxImageColorMap* colorMap, bool interpolate, const int* maskColors, bool inlineImg) {
    BeginPicture(state, width, height, {});
    // Colour-key masks would be written as a clipping path in front of the
    // picture's code; the picture is cut out whole instead.
    (void)maskColors;
    PSOutputDev::drawImage(state, ref, str, width, height, colorMap, interpolate, nullptr, inlineImg);
    EndPicture(state);
}

void CPagePsDevice::drawMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                                    GfxImageColorMap* colorMap, bool interpolate, Stream*, int, int, bool, bool) {
    // As above: the picture without its mask.
    drawImage(state, ref, str, width, height, colorMap, interpolate, nullptr, false);
}

namespace {

// Notes whether anything is drawn besides text, and stops the page there.
class CGraphicsProbe : public OutputDev {
public:
    explicit CGraphicsProbe(bool paths) : m_bPaths(paths) {}
    bool upsideDown() override { return true; }
    bool useDrawChar() override { return false; }
    bool interpretType3Chars() override { return false; }
    bool needNonText() override { return true; }
    void stroke(GfxState*) override { m_bFound = m_bFound || m_bPaths; }
    void fill(GfxState*) override { m_bFound = m_bFound || m_bPaths; }
    void eoFill(GfxState*) override { m_bFound = m_bFound || m_bPaths; }
    void drawImageMask(GfxState*, Object*, Stream*, int, int, bool, bool, bool) override { m_bFound = true; }
    void drawImage(GfxState*, Object*, Stream*, int, int, GfxImageColorMap*, bool, const int*, bool) override {
        m_bFound = true;
    }
    void drawMaskedImage(GfxState*, Object*, Stream*, int, int, GfxImageColorMap*, bool, Stream*, int, int, bool,
                         bool) override {
        m_bFound = true;
    }
    void drawSoftMaskedImage(GfxState*, Object*, Stream*, int, int, GfxImageColorMap*, bool, Stream*, int, int,
                             GfxImageColorMap*, bool) override {
        m_bFound = true;
    }
    static bool Abort(void* data) { return static_cast<CGraphicsProbe*>(data)->m_bFound; }
    bool m_bFound = false;

private:
    bool m_bPaths;
};

bool HasType3Fonts(const Dict* resources, std::vector<Ref>& visited, int depth);

// The resources of the streams of an XObject or Pattern dictionary.
bool StreamsHaveType3Fonts(const Dict* resources, const char* key, std::vector<Ref>& visited, int depth) {
    Object entries = resources->lookup(key);
    if (!entries.isDict()) return false;
    for (int i = 0; i < entries.dictGetLength(); ++i) {
        const Object& ref = entries.dictGetValNF(i);
        if (ref.isRef()) {
            if (std::find(visited.begin(), visited.end(), ref.getRef()) != visited.end()) continue;
            visited.push_back(ref.getRef());
        }
        Object entry = entries.dictGetVal(i);
        Object inner;
        if (entry.isStream())
            inner = entry.streamGetDict()->lookup("Resources");
        else if (entry.isDict())
            inner = entry.dictLookup("Resources");
        if (inner.isDict() && HasType3Fonts(inner.getDict(), visited, depth + 1)) return true;
    }
    return false;
}

bool HasType3Fonts(const Dict* resources, std::vector<Ref>& visited, int depth) {
    // Nesting this deep is a loop through direct objects or a hostile
    // file; the answer that keeps the fonts' set-up is the safe one.
    constexpr int kMaxDepth = 64;
    if (resources == nullptr) return false;
    if (depth > kMaxDepth) return true;
    Object fonts = resources->lookup("Font");
    if (fonts.isDict()) {
        for (int i = 0; i < fonts.dictGetLength(); ++i) {
            Object font = fonts.dictGetVal(i);
            if (font.isDict() && font.dictLookup("Subtype").isName("Type3")) return true;
        }
    }
    return StreamsHaveType3Fonts(resources, "XObject", visited, depth) ||
           StreamsHaveType3Fonts(resources, "Pattern", visited, depth);
}

}  // namespace

bool PageHasGraphics(PDFDoc* doc, int page, bool paths) {
    CGraphicsProbe probe(paths);
    doc->displayPage(&probe, page, 72, 72, 0, true, true, true, CGraphicsProbe::Abort, &probe);
    return probe.m_bFound;
}

bool PageHasType3Fonts(PDFDoc* doc, int page) {
    Page* p = doc->getPage(page);
    if (p == nullptr) return true;
    std::vector<Ref> visited;
    if (HasType3Fonts(p->getResourceDict(), visited, 0)) return true;
    Annots* annots = p->getAnnots();
    if (annots == nullptr) return false;
    for (Annot* annot : annots->getAnnots()) {
        Object resources = annot->getAppearanceResDict();
        if (resources.isDict() && HasType3Fonts(resources.getDict(), visited, 0)) return true;
    }
    return false;
}

int WritePagePostScript(PDFDoc* doc, int page, const std::string& path,
                        std::vector<std::unique_ptr<CRtfShpObject>>* objects, bool capturePaths,
                        bool keepFile, bool setUpFonts) {
    CPsSink sink;
    if (keepFile) {
        sink.m_pFile = std::fopen(path.c_str(), "wb");
        if (sink.m_pFile == nullptr) return -1;
    } else {
        sink.m_bDiscard = true;
    }
    int pictures = -1;
    {
        CPagePsDevice dev(&sink, doc, page, objects, capturePaths, setUpFonts);
        if (dev.isOk()) {
            doc->displayPage(&dev, page, 72, 72, 0, true, true, true);
            pictures = dev.PictureCount();
        }
    }
    if (sink.m_pFile != nullptr) {
        sink.Flush();
        if (std::fclose(sink.m_pFile) != 0) sink.m_bFailed = true;
    }
    return sink.m_bFailed ? -1 : pictures;
}
