// Drawn paths and pictures. A drawn path comes from the page PostScript
// device as PostScript-like text (clip paths, graphics-state operators, the
// path, the painting operator); ParsePath reads its sub-paths and paint,
// which the page then draws as vector pictures (page_paths.cpp). A picture
// is written as a picture shape carrying its JPEG data as hexadecimal
// text, which SetImageFile read from the rendered picture.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "layout/layout_document.h"
#include "layout/model.h"

namespace {

constexpr double kPointsToEmu = 12700.0;
// Page units are 1.5 per point; a line width is scaled back by 1 / 1.5.
constexpr double kUnitsToPoints = 0.6666666666666666;
constexpr int32_t kWhite = 16777215;
// Rectangles thinner than this (page units) are drawn as lines.
constexpr double kThinRectangle = 2.0;

// Mapped coordinates are held within this many page units (about 7 km):
// far beyond any page, yet small enough that twips and their differences
// fit a control word's 32 bits whatever numbers a damaged path holds.
constexpr double kMaxCoordinate = 1e7;

int32_t Rgb(int r, int g, int b) { return r + 256 * g + 65536 * b; }

// Colour operands outside 0 to 1 are clamped, as PostScript does.
double Unit(double v) { return v > 0 ? (v < 1 ? v : 1) : 0; }

int32_t GrayColour(double v) {
    v = Unit(v);
    if (v == 1) return kWhite;
    if (v == 0) return 0;
    int c = static_cast<int>(v * 255);
    return Rgb(c, c, c);
}

int Component(double v) { return static_cast<int>(Unit(v) * 255 + 0.5); }

double Coordinate(double v) {
    if (v != v) return 0;
    return v > kMaxCoordinate ? kMaxCoordinate : (v < -kMaxCoordinate ? -kMaxCoordinate : v);
}

// A control-word number from a double: the nearest 32-bit value, NaN as 0.
int32_t Saturate(double v) {
    if (v != v) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int32_t CmykColour(double c, double m, double y, double k) {
    c = Unit(c), m = Unit(m), y = Unit(y), k = Unit(k);
    return Rgb(Component((1 - c) * (1 - k)), Component((1 - m) * (1 - k)), Component((1 - y) * (1 - k)));
}

using Point = CPathPoint;
using SubPath = CPathPiece;

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

double Number(const std::string& token) {
    std::string t;
    for (char ch : token)
        if (ch != '[' && ch != ']') t += ch;
    return std::atof(t.c_str());
}

CRect BoxOf(const SubPath& sub) {
    double minX = sub.m_points[0].x, maxX = minX, minY = sub.m_points[0].y, maxY = minY;
    for (const Point& p : sub.m_points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return CRect(static_cast<int32_t>(minX), static_cast<int32_t>(minY), static_cast<int32_t>(maxX),
                 static_cast<int32_t>(maxY));
}

}  // namespace

bool CRtfLine::ParsePath(CRtfPage* page) {
    m_pieces.clear();
    if (page == nullptr || m_strPath.empty()) return false;
    const int32_t width = page->m_rect.Width() != 0 ? page->m_rect.Width() : kDefaultPageWidth;
    const int32_t height = page->m_rect.Height() != 0 ? page->m_rect.Height() : kDefaultPageHeight;
    m_fWidth = width;
    m_fHeight = height;
    m_nPageWidth = width;
    m_nPageHeight = height;
    const double H = page->m_rect.Height() != 0 ? page->m_rect.bottom : kDefaultPageHeight;

    double a = 1.5, b = 0, c = 0, d = 1.5, e = 0, f = 0;
    int orientation = 0;
    int32_t widthEmu = 0, dashing = 0, fill = 0, stroke = 0;
    bool filled = false, stroked = false, evenOdd = false;
    std::vector<SubPath> subs;
    auto map = [&](double x, double y) {
        return Point{Coordinate(a * x + c * y + e), Coordinate(H - (b * x + d * y + f))};
    };
    auto current = [&]() -> SubPath& {
        if (subs.empty() || subs.back().m_bClosed || subs.back().m_bLine) subs.emplace_back();
        return subs.back();
    };

    std::istringstream in(m_strPath);
    std::string text;
    while (std::getline(in, text)) {
        std::vector<std::string> t = Tokens(text);
        if (t.empty()) continue;
        const std::string& op = t.back();
        const size_t argc = t.size() - 1;
        auto arg = [&](size_t i) { return i < argc ? Number(t[i]) : 0.0; };
        if (op == "cm" && argc >= 6) {
            a = arg(0), b = arg(1), c = arg(2), d = arg(3), e = arg(4), f = arg(5);
            // The quarter the matrix turns the page by: the larger of its
            // first column's entries decides.
            if (std::fabs(a) >= std::fabs(b)) orientation = a >= 0 ? 0 : 180;
            else orientation = b > 0 ? 90 : 270;
        } else if (op == "w") {
            double s = (orientation == 90 || orientation == 270) ? std::fabs(b) : std::fabs(a);
            widthEmu = Saturate(arg(0) * s * kUnitsToPoints * kPointsToEmu + 0.5);
        } else if (op == "d") {
            dashing = (argc >= 1 && t[0] != "[]" && Number(t[0]) != 0) ? 6 : 0;
        } else if (op == "g") {
            fill = GrayColour(arg(0));
        } else if (op == "G") {
            stroke = GrayColour(arg(0));
        } else if (op == "rg") {
            fill = Rgb(Component(arg(0)), Component(arg(1)), Component(arg(2)));
        } else if (op == "RG") {
            stroke = Rgb(Component(arg(0)), Component(arg(1)), Component(arg(2)));
        } else if (op == "k") {
            fill = CmykColour(arg(0), arg(1), arg(2), arg(3));
        } else if (op == "K") {
            stroke = CmykColour(arg(0), arg(1), arg(2), arg(3));
        } else if (op == "re" && argc >= 4) {
            double x = arg(0), y = arg(1), w = arg(2), h = arg(3);
            if (w < 0) x += w, w = -w;
            if (h < 0) y += h, h = -h;
            Point p[4] = {map(x, y), map(x + w, y), map(x + w, y + h), map(x, y + h)};
            double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
            for (const Point& q : p) {
                x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
                y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
            }
            SubPath sub;
            if (x1 - x0 < kThinRectangle) {
                double cx = (x0 + x1) / 2;
                sub.m_points = {{cx, y0}, {cx, y1}};
                sub.m_bLine = true;
                sub.m_fThickness = x1 - x0;
            } else if (y1 - y0 < kThinRectangle) {
                double cy = (y0 + y1) / 2;
                sub.m_points = {{x0, cy}, {x1, cy}};
                sub.m_bLine = true;
                sub.m_fThickness = y1 - y0;
            } else {
                sub.m_points.assign(p, p + 4);
                sub.m_bClosed = true;
            }
            subs.push_back(std::move(sub));
        } else if (op == "m" && argc >= 2) {
            if (!subs.empty() && !subs.back().m_bClosed && !subs.back().m_bLine && !subs.back().m_points.empty())
                subs.emplace_back();
            current().m_points.push_back(map(arg(0), arg(1)));
        } else if (op == "l" && argc >= 2) {
            current().m_points.push_back(map(arg(0), arg(1)));
        } else if (op == "c" && argc >= 6) {
            SubPath& sub = current();
            for (size_t i = 0; i < 6; i += 2) sub.m_points.push_back(map(arg(i), arg(i + 1)));
        } else if (op == "h") {
            if (!subs.empty() && !subs.back().m_bLine) subs.back().m_bClosed = true;
        } else if (op == "W" || op == "W*") {
            // What was collected was a clipping path, not a drawing.
            subs.clear();
        } else if (argc == 0) {
            if (op.find('f') != std::string::npos) filled = true;
            if (op.find('S') != std::string::npos) stroked = true;
            if (op == "f*") evenOdd = true;
        }
    }
    // White even-odd fills are page backgrounds.
    if (filled && evenOdd && fill == kWhite) return false;
    if (!filled && !stroked) return false;

    m_style = CPathStyle{filled, stroked, fill, stroke, widthEmu, dashing};
    for (SubPath& sub : subs) {
        if (sub.m_points.size() < 2) continue;
        m_rect = BoxOf(sub);
        m_pieces.push_back(std::move(sub));
    }
    return !m_pieces.empty();
}

int32_t NextPageShapeId(CRtfPage* page) {
    return page != nullptr && page->m_pDoc ? page->m_pDoc->Context().NextShapeId() : 0;
}

void AppendHex(std::string& out, const unsigned char* bytes, size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    out.reserve(out.size() + 2 * n);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0F]);
    }
}

bool CRtfImage::SetImageFile(const std::string& path, bool keepGoing) {
    m_strImagePath = path;
    if (keepGoing) return true;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return false;
    std::string hex;
    unsigned char chunk[32768];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) AppendHex(hex, chunk, n);
    const bool ok = std::ferror(in) == 0;
    std::fclose(in);
    if (!ok) return false;
    m_strHex = std::move(hex);
    m_bHasPicture = true;
    return true;
}

void CRtfImage::SetPlace(double a, double b, double c, double d) {
    m_place[0] = a;
    m_place[1] = b;
    m_place[2] = c;
    m_place[3] = d;
}

void CRtfImage::SetPlaceOrigin(double e, double f) {
    m_place[4] = e;
    m_place[5] = f;
}

std::string CRtfImage::WriteRtf(CRtfPage* page) {
    if (page == nullptr || !m_bHasPicture) return {};
    if (!m_bDrawing && page->m_pDoc && page->m_pDoc->Context().m_bRemoveImages) return {};

    // The placement maps the unit square onto the unrotated page (points,
    // origin bottom left); the page rotation turns that onto the page as it
    // is shown, whose size in page units the page box gives.
    const int R = m_n3;
    const double pageW = page->m_rect.Width() != 0 ? page->m_rect.Width() : kDefaultPageWidth;
    const double pageH = page->m_rect.Height() != 0 ? page->m_rect.Height() : kDefaultPageHeight;
    const double shownW = pageW / 1.5, shownH = pageH / 1.5;
    const bool quarter = (R == 90 || R == 270);
    const double Wp = quarter ? shownH : shownW;
    const double Hp = quarter ? shownW : shownH;
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (int corner = 0; corner < 4; ++corner) {
        double u = corner & 1, v = corner >> 1;
        double x = m_place[0] * u + m_place[2] * v + m_place[4];
        double y = m_place[1] * u + m_place[3] * v + m_place[5];
        double sx = x, sy = y;
        if (R == 90) sx = y, sy = Wp - x;
        else if (R == 180) sx = Wp - x, sy = Hp - y;
        else if (R == 270) sx = Hp - y, sy = x;
        double X = page->m_rect.left + sx * 1.5;
        double Y = page->m_rect.top + (shownH - sy) * 1.5;
        x0 = std::min(x0, X), x1 = std::max(x1, X);
        y0 = std::min(y0, Y), y1 = std::max(y1, Y);
    }

    std::string out;
    char buf[512];
    std::snprintf(buf, sizeof buf, "{\\shp\n{\\*\\shpinst\n\\shpleft%d\\shptop%d\\shpright%d\\shpbottom%d\n",
                  ToTwips(x0), ToTwips(y0), ToTwips(x1), ToTwips(y1));
    out += buf;
    std::snprintf(buf, sizeof buf,
                  "\\shpfhdr%d\\shpwr3\\shpwrk0\\shpfblwtxt1\\shplid%d\\shpz%d\\shpbxpage\\shpbypage\n",
                  m_bDrawing ? 1 : 0, NextPageShapeId(page), m_nZOrder);
    out += buf;
    out +=
        "{\\sp{\\sn shapeType}{\\sv 75}}\n{\\sp{\\sn fFlipH}{\\sv 0}}\n{\\sp{\\sn fFlipV}{\\sv 0}}\n"
        "{\\sp{\\sn pibFlags}{\\sv 2}}\n{\\sp{\\sn fLine}{\\sv 0}}{\\sp{\\sn fEditedWrap}{\\sv 0}}\n"
        "{\\sp{\\sn fBehindDocument}{\\sv 1}}\n{\\sp{\\sn pib}{\\sv {\\pict\n";
    out += m_bDrawing ? "\\pngblip\n" : "\\jpegblip\n";
    out += m_strHex;
    out += "}\n}}}}";
    return out;
}
