// The page PostScript device of the picture step and its early look at a
// page. See page_ps_device.h for what the device adds to Poppler's.
#include "images/page_ps_device.h"

#include <Annot.h>
#include <GfxState.h>
#include <OutputDev.h>
#include <PDFDoc.h>
#include <Page.h>
#include <Stream.h>

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
        constexpr size_t kHeadLength = 1 << 20;
        if (sink->m_strHead.size() < kHeadLength)
            sink->m_strHead.append(data, std::min(len, kHeadLength - sink->m_strHead.size()));
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
    m_pXRef = xref;
    // The device's own matrix maps user space onto the displayed (rotated)
    // page; placements are kept in the unrotated page box instead, and the
    // page rotation is applied when the picture file is made.
    Mat toDefault = Inverse(state->getCTM());
    const double shift[6] = {1, 0, 0, 1, -state->getX1(), -state->getY1()};
    Mat m = Then(toDefault.data(), shift);
    std::memcpy(m_toUnrotated, m.data(), sizeof m_toUnrotated);
    m_clips.assign(1, ClipState{});
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
    line->m_nNumber = m_nShapeId++;
    line->m_nZOrder = m_nZOrder++;
    line->m_nLineWidth = static_cast<int32_t>(state->getLineWidth());
    line->m_strPath = std::move(text);
    m_pObjects->push_back(std::move(line));
    ++m_nPaths;
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
    m_pSink->m_strHead.clear();
    m_pSink->m_strPending = m_pPending->m_strImageMatrix + " cm\n";
    m_nPendingStart = m_pSink->m_nWritten;
}

void NoteColourSpace(CRtfImage& picture, const std::string& code,
                     std::vector<std::pair<std::string, std::string>>& known) {
    // The device defines a colour space as "userdict /NAME [ ... ]\n put"
    // the first time a picture uses it, and sets it by its name after.
    static const std::string kDefine = "userdict /";
    if (code.compare(0, kDefine.size(), kDefine) == 0) {
        const size_t nameEnd = code.find_first_of(" \n", kDefine.size());
        const size_t end = code.find("\n put\n");
        if (nameEnd == std::string::npos || end == std::string::npos) return;
        std::string name = code.substr(kDefine.size(), nameEnd - kDefine.size());
        for (const auto& entry : known)
            if (entry.first == name) return;
        known.emplace_back(std::move(name), code.substr(0, end + 6));
        return;
    }
    const size_t lineEnd = code.find('\n');
    const std::string first = code.substr(0, lineEnd);
    static const std::string kSet = " setcolorspace";
    if (first.size() <= kSet.size() || first.compare(first.size() - kSet.size(), kSet.size(), kSet) != 0) return;
    const std::string name = first.substr(0, first.size() - kSet.size());
    for (const auto& entry : known)
        if (entry.first == name) picture.m_strCmLine = entry.second + picture.m_strCmLine;
}

void CPagePsDevice::EndPicture() {
    m_pSink->m_bArmed = false;
    const bool wrote = m_pSink->m_strPending.empty();
    m_pSink->m_strPending.clear();
    std::unique_ptr<CRtfImage> picture = std::move(m_pPending);
    if (!picture || !wrote || !m_pSink->m_bSawEndOfData) return;
    NoteColourSpace(*picture, m_pSink->m_strHead, m_colourSpaces);
    picture->m_nNumber = m_nShapeId++;
    picture->m_nZOrder = m_nZOrder++;
    picture->m_nPsStart = m_nPendingStart;
    picture->m_nPsEnd = m_pSink->m_nWritten;
    m_pObjects->push_back(std::move(picture));
    ++m_nPictures;
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
    EndPicture();
}

namespace {

// Pictures with more pixels than this are drawn without their mask rather
// than decoded in memory (three bytes a pixel, and the coverage).
constexpr int64_t kMaxFlattenedPixels = int64_t{1} << 26;

bool FlattenSize(int width, int height) {
    return width > 0 && height > 0 && static_cast<int64_t>(width) * height <= kMaxFlattenedPixels;
}

}  // namespace

std::vector<unsigned char> MaskCoverage(Stream* maskStr, int maskWidth, int maskHeight, int comps, int bits,
                                        const std::function<unsigned char(const unsigned char*)>& value, int width,
                                        int height) {
    if (maskStr == nullptr || !FlattenSize(maskWidth, maskHeight) || !FlattenSize(width, height) || comps < 1 ||
        bits < 1)
        return {};
    std::vector<unsigned char> samples(static_cast<size_t>(maskWidth) * static_cast<size_t>(maskHeight), 0);
    ImageStream in(maskStr, maskWidth, comps, bits);
    in.reset();
    for (int y = 0; y < maskHeight; ++y) {
        unsigned char* line = in.getLine();
        // A mask cut short leaves the rest of the picture uncovered, as a
        // viewer shows it.
        if (line == nullptr) break;
        for (int x = 0; x < maskWidth; ++x)
            samples[static_cast<size_t>(y) * maskWidth + x] = value(line + static_cast<size_t>(x) * comps);
    }
    in.close();
    if (maskWidth == width && maskHeight == height) return samples;
    std::vector<unsigned char> out(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const int64_t my = static_cast<int64_t>(y) * maskHeight / height;
        for (int x = 0; x < width; ++x) {
            const int64_t mx = static_cast<int64_t>(x) * maskWidth / width;
            out[static_cast<size_t>(y) * width + x] = samples[static_cast<size_t>(my * maskWidth + mx)];
        }
    }
    return out;
}

unsigned char OverWhite(int c, int a, bool matte, int m) {
    if (a <= 0) return 255;
    if (matte && a < 255) c = std::clamp(m + (c - m) * 255 / a, 0, 255);
    return static_cast<unsigned char>((c * a + 255 * (255 - a) + 127) / 255);
}

bool CPagePsDevice::DrawOverWhite(GfxState* state, Stream* str, int width, int height, GfxImageColorMap* colorMap,
                                  bool interpolate, const int* maskColors, std::vector<unsigned char> coverage) {
    if (colorMap == nullptr || !FlattenSize(width, height) || m_pXRef == nullptr) return false;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (coverage.empty()) coverage.assign(pixels, 255);
    if (coverage.size() != pixels) return false;
    const int comps = colorMap->getNumPixelComps();
    bool matte = false;
    GfxRGB matteRgb = {0, 0, 0};
    if (const GfxColor* m = colorMap->getMatteColor()) {
        colorMap->getColorSpace()->getRGB(m, &matteRgb);
        matte = true;
    }
    const int mr = colToByte(matteRgb.r), mg = colToByte(matteRgb.g), mb = colToByte(matteRgb.b);

    std::vector<unsigned char> rgb(pixels * 3, 255);
    ImageStream in(str, width, comps, colorMap->getBits());
    in.reset();
    for (int y = 0; y < height; ++y) {
        unsigned char* line = in.getLine();
        if (line == nullptr) break;
        for (int x = 0; x < width; ++x) {
            const unsigned char* pix = line + static_cast<size_t>(x) * comps;
            const size_t at = static_cast<size_t>(y) * width + x;
            if (maskColors != nullptr) {
                // A colour-key mask leaves out the pixels whose every
                // component lies in its range.
                bool keyed = true;
                for (int k = 0; k < comps && keyed; ++k)
                    keyed = pix[k] >= maskColors[2 * k] && pix[k] <= maskColors[2 * k + 1];
                if (keyed) coverage[at] = 0;
            }
            GfxRGB c;
            colorMap->getRGB(pix, &c);
            const int a = coverage[at];
            rgb[at * 3] = OverWhite(colToByte(c.r), a, matte, mr);
            rgb[at * 3 + 1] = OverWhite(colToByte(c.g), a, matte, mg);
            rgb[at * 3 + 2] = OverWhite(colToByte(c.b), a, matte, mb);
        }
    }
    in.close();

    Object decode(objNull);  // the default decoding
    GfxImageColorMap flatMap(8, &decode, new GfxDeviceRGBColorSpace());
    if (!flatMap.isOk()) return false;
    MemStream flat(reinterpret_cast<const char*>(rgb.data()), 0, static_cast<Goffset>(rgb.size()),
                   Object(new Dict(m_pXRef)));
    Object noRef;
    BeginPicture(state, width, height, {});
    if (m_bKeepAlpha && m_pPending &&
        std::any_of(coverage.begin(), coverage.end(), [](unsigned char a) { return a != 255; }))
        m_pPending->m_alpha = std::move(coverage);
    PSOutputDev::drawImage(state, &noRef, &flat, width, height, &flatMap, interpolate, nullptr, false);
    EndPicture();
    return true;
}

void CPagePsDevice::drawImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                              GfxImageColorMap* colorMap, bool interpolate, const int* maskColors, bool inlineImg) {
    // Colour-key masks would be written as a clipping path in front of the
    // picture's code; the keyed pixels are made white instead (and left
    // uncovered where the picture file keeps coverage).
    if (maskColors != nullptr && DrawOverWhite(state, str, width, height, colorMap, interpolate, maskColors, {}))
        return;
    BeginPicture(state, width, height, {});
    PSOutputDev::drawImage(state, ref, str, width, height, colorMap, interpolate, nullptr, inlineImg);
    EndPicture();
}

// Pictures with a mask are written with their colours over white where the
// mask leaves them uncovered: drawn whole, the uncovered part showed as
// whatever colour the picture has there, often black.
void CPagePsDevice::drawMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                                    GfxImageColorMap* colorMap, bool interpolate, Stream* maskStr, int maskWidth,
                                    int maskHeight, bool maskInvert, bool) {
    // A mask sample of 0 paints, unless the mask's decoding is inverted.
    auto value = [maskInvert](const unsigned char* pix) -> unsigned char {
        return ((pix[0] != 0) == maskInvert) ? 255 : 0;
    };
    std::vector<unsigned char> coverage = MaskCoverage(maskStr, maskWidth, maskHeight, 1, 1, value, width, height);
    if (!coverage.empty() && DrawOverWhite(state, str, width, height, colorMap, interpolate, nullptr, coverage))
        return;
    drawImage(state, ref, str, width, height, colorMap, interpolate, nullptr, false);
}

void CPagePsDevice::drawSoftMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                                        GfxImageColorMap* colorMap, bool interpolate, Stream* maskStr, int maskWidth,
                                        int maskHeight, GfxImageColorMap* maskColorMap, bool) {
    std::vector<unsigned char> coverage;
    // The colours of a picture with a matte colour are blended with it;
    // the matte is given with the mask.
    if (maskColorMap != nullptr && colorMap != nullptr && colorMap->getMatteColor() == nullptr &&
        maskColorMap->getMatteColor() != nullptr)
        colorMap->setMatteColor(maskColorMap->getMatteColor());
    if (maskColorMap != nullptr) {
        auto value = [maskColorMap](const unsigned char* pix) -> unsigned char {
            GfxGray gray;
            maskColorMap->getGray(pix, &gray);
            return colToByte(gray);
        };
        coverage = MaskCoverage(maskStr, maskWidth, maskHeight, maskColorMap->getNumPixelComps(),
                                maskColorMap->getBits(), value, width, height);
    }
    if (!coverage.empty() && DrawOverWhite(state, str, width, height, colorMap, interpolate, nullptr, coverage))
        return;
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
                        bool keepFile, bool setUpFonts, bool keepAlpha) {
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
        dev.KeepAlpha(keepAlpha);
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
