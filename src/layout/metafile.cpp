// Drawn paths as one vector picture, an enhanced metafile. Word processors
// lay out every floating shape on its own: LibreOffice spends tens of
// milliseconds on each freeform shape of a long document, and a manual
// with a framed box or a table rule on every page took minutes to open.
// A picture costs it next to nothing, so a page's paths, however many and
// of whatever paints, go into one picture behind the text (and one in
// front, for paths the PDF paints over text), drawn in the PDF's order.
// The picture stays vector: lines are as sharp as in the PDF at any zoom.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "layout/model.h"

namespace {

// Record types of the metafile format.
enum : uint32_t {
    kEmrHeader = 1,
    kEmrPolylineTo = 6,
    kEmrEof = 14,
    kEmrSetPolyFillMode = 19,
    kEmrMoveTo = 27,
    kEmrSelectObject = 37,
    kEmrCreatePen = 38,
    kEmrCreateBrush = 39,
    kEmrDeleteObject = 40,
    kEmrLineTo = 54,
    kEmrBeginPath = 59,
    kEmrEndPath = 60,
    kEmrCloseFigure = 61,
    kEmrFillPath = 62,
    kEmrStrokeAndFillPath = 63,
    kEmrStrokePath = 64,
};
constexpr uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr uint32_t kNullBrush = 0x80000005;  // stock objects
constexpr uint32_t kNullPen = 0x80000008;
constexpr uint32_t kWinding = 2;
constexpr uint32_t kPenSolid = 0, kPenDash = 1;
// Butt ends and mitred joins, as a PDF draws lines unless told otherwise;
// a pen's default is round.
constexpr uint32_t kPenFlatMitre = 0x0200 | 0x2000;
constexpr uint32_t kPenHandle = 1, kBrushHandle = 2;

// Logical units are twips from the picture's top left corner; the
// reference device says so: 14,400 pixels to 254 millimetres.
constexpr int32_t kDevicePixels = 14400;
constexpr int32_t kDeviceMillimetres = 254;
// Room around the paths' box, in twips (12 points), so that strokes on its
// edge are not cut off by the picture's frame: a viewer snaps the frame
// to whole pixels, and at a small zoom a pixel is several points.
constexpr int32_t kEdgeRoom = 240;
// How far inside the paper's edges the frame ends, in twips.
constexpr int32_t kPaperEdge = 5;
// The width of a pen drawing a thin filled rectangle when the rectangle
// has none: about half a point.
constexpr int32_t kHairline = 10;

int32_t EmuToTwips(int32_t emu) { return static_cast<int32_t>(std::lround(emu / 635.0)); }

// A colour as the metafile holds it: red in the low byte, as RTF's.
uint32_t ColourRef(int32_t rtf) { return static_cast<uint32_t>(rtf) & 0x00FFFFFFu; }

class EmfWriter {
public:
    void Record(uint32_t type, std::initializer_list<uint32_t> words) {
        Word(type);
        Word(static_cast<uint32_t>(8 + 4 * words.size()));
        for (uint32_t w : words) Word(w);
        ++m_records;
    }
    // A record of fixed words followed by points.
    void Points(uint32_t type, std::initializer_list<uint32_t> words, const std::vector<std::pair<int32_t, int32_t>>& pts,
                size_t from) {
        const size_t n = pts.size() - from;
        Word(type);
        Word(static_cast<uint32_t>(8 + 4 * words.size() + 8 * n));
        for (uint32_t w : words) Word(w);
        for (size_t i = from; i < pts.size(); ++i) {
            Word(static_cast<uint32_t>(pts[i].first));
            Word(static_cast<uint32_t>(pts[i].second));
        }
        ++m_records;
    }
    void Word(uint32_t w) {
        for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<char>((w >> (8 * i)) & 0xFF));
    }
    std::string Finish(int32_t width, int32_t height) {
        Record(kEmrEof, {0, 16, 20});
        const int32_t frameW = static_cast<int32_t>(std::lround(width * 2540.0 / 1440.0));
        const int32_t frameH = static_cast<int32_t>(std::lround(height * 2540.0 / 1440.0));
        EmfWriter head;
        head.Word(kEmrHeader);
        head.Word(88);
        for (int32_t v : {0, 0, width - 1, height - 1, 0, 0, frameW - 1, frameH - 1})
            head.Word(static_cast<uint32_t>(v));
        head.Word(kSignature);
        head.Word(0x10000);
        head.Word(static_cast<uint32_t>(88 + m_bytes.size()));
        head.Word(m_records + 1);
        head.Word(3);  // handles: the table's own slot, a pen and a brush
        head.Word(0);  // no description
        head.Word(0);
        head.Word(0);  // no palette
        for (int32_t v : {kDevicePixels, kDevicePixels, kDeviceMillimetres, kDeviceMillimetres})
            head.Word(static_cast<uint32_t>(v));
        return head.m_bytes + m_bytes;
    }

private:
    std::string m_bytes;
    uint32_t m_records = 0;
};

struct Paint {
    uint32_t penStyle = 0;
    int32_t penWidth = -1;  // -1: no pen
    uint32_t penColour = 0;
    bool brush = false;
    uint32_t brushColour = 0;
    bool operator==(const Paint&) const = default;
};

Paint PaintOf(const CPaintedPiece& p) {
    Paint paint;
    const CPathStyle& s = *p.style;
    if (p.piece->m_bLine) {
        // A thin filled rectangle: a line of its fill colour and thickness.
        // Viewers draw a line at least a pixel wide at any zoom, where a
        // filled rectangle thinner than a pixel fades to grey.
        paint.penStyle = kPenSolid | kPenFlatMitre;
        paint.penWidth = std::max(ToTwips(p.piece->m_fThickness), 1);
        if (ToTwips(p.piece->m_fThickness) < 1)
            paint.penWidth = s.m_bStroked ? std::max(EmuToTwips(s.m_nWidthEmu), 1) : kHairline;
        paint.penColour = ColourRef(s.m_bFilled ? s.m_nFill : s.m_nStroke);
        return paint;
    }
    if (s.m_bStroked) {
        paint.penStyle = (s.m_nDashing != 0 ? kPenDash : kPenSolid) | kPenFlatMitre;
        paint.penWidth = std::max(EmuToTwips(s.m_nWidthEmu), 1);
        paint.penColour = ColourRef(s.m_nStroke);
    }
    if (s.m_bFilled) {
        paint.brush = true;
        paint.brushColour = ColourRef(s.m_nFill);
    }
    return paint;
}

}  // namespace

std::string PathPictureText(const std::vector<CPaintedPiece>& pieces, int32_t shapeId, int32_t zOrder, bool front,
                            int32_t pageWidth, int32_t pageHeight) {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool first = true;
    for (const CPaintedPiece& p : pieces) {
        if (p.piece == nullptr || p.style == nullptr || p.piece->m_points.size() < 2) continue;
        for (const CPathPoint& q : p.piece->m_points) {
            if (first) minX = maxX = q.x, minY = maxY = q.y, first = false;
            minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
            minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
        }
    }
    if (first) return {};
    // The frame stays on the page: LibreOffice pushes the text of a page
    // down to make room for a picture that reaches the paper's right edge,
    // even within two twips of it. Whatever the paths draw off the page is
    // not seen.
    const int32_t left = std::max(ToTwips(minX) - kEdgeRoom, 0);
    const int32_t top = std::max(ToTwips(minY) - kEdgeRoom, 0);
    const int32_t right = std::max(std::min(ToTwips(maxX) + kEdgeRoom, ToTwips(pageWidth) - kPaperEdge), left + 1);
    const int32_t bottom = std::max(std::min(ToTwips(maxY) + kEdgeRoom, ToTwips(pageHeight) - kPaperEdge), top + 1);
    const int32_t width = right - left;
    const int32_t height = bottom - top;

    EmfWriter emf;
    emf.Record(kEmrSetPolyFillMode, {kWinding});
    Paint current;
    bool selected = false;
    std::vector<std::pair<int32_t, int32_t>> pts;
    for (const CPaintedPiece& p : pieces) {
        if (p.piece == nullptr || p.style == nullptr || p.piece->m_points.size() < 2) continue;
        const Paint paint = PaintOf(p);
        if (!selected || !(paint == current)) {
            // Pens and brushes are made for each change of paint, selected,
            // and the ones they replace deleted.
            if (selected) {
                emf.Record(kEmrSelectObject, {kNullPen});
                emf.Record(kEmrSelectObject, {kNullBrush});
                if (current.penWidth >= 0) emf.Record(kEmrDeleteObject, {kPenHandle});
                if (current.brush) emf.Record(kEmrDeleteObject, {kBrushHandle});
            }
            if (paint.penWidth >= 0) {
                emf.Record(kEmrCreatePen, {kPenHandle, paint.penStyle, static_cast<uint32_t>(paint.penWidth), 0,
                                           paint.penColour});
                emf.Record(kEmrSelectObject, {kPenHandle});
            } else {
                emf.Record(kEmrSelectObject, {kNullPen});
            }
            if (paint.brush) {
                emf.Record(kEmrCreateBrush, {kBrushHandle, 0, paint.brushColour, 0});
                emf.Record(kEmrSelectObject, {kBrushHandle});
            } else {
                emf.Record(kEmrSelectObject, {kNullBrush});
            }
            current = paint;
            selected = true;
        }
        pts.clear();
        int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
        for (const CPathPoint& q : p.piece->m_points) {
            const int32_t x = ToTwips(q.x) - left, y = ToTwips(q.y) - top;
            pts.emplace_back(x, y);
            x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
        const uint32_t b[4] = {static_cast<uint32_t>(x0), static_cast<uint32_t>(y0), static_cast<uint32_t>(x1),
                               static_cast<uint32_t>(y1)};
        if (p.piece->m_bLine) {
            emf.Record(kEmrMoveTo, {static_cast<uint32_t>(pts[0].first), static_cast<uint32_t>(pts[0].second)});
            emf.Record(kEmrLineTo, {static_cast<uint32_t>(pts[1].first), static_cast<uint32_t>(pts[1].second)});
            continue;
        }
        emf.Record(kEmrBeginPath, {});
        emf.Record(kEmrMoveTo, {static_cast<uint32_t>(pts[0].first), static_cast<uint32_t>(pts[0].second)});
        emf.Points(kEmrPolylineTo, {b[0], b[1], b[2], b[3], static_cast<uint32_t>(pts.size() - 1)}, pts, 1);
        if (p.piece->m_bClosed) emf.Record(kEmrCloseFigure, {});
        emf.Record(kEmrEndPath, {});
        const uint32_t paintType = current.brush && current.penWidth >= 0 ? kEmrStrokeAndFillPath
                                   : current.brush                         ? kEmrFillPath
                                                                           : kEmrStrokePath;
        emf.Record(paintType, {b[0], b[1], b[2], b[3]});
    }
    const std::string bytes = emf.Finish(width, height);

    // Unlike shapes, pictures stay behind the body text in the body.
    const int behind = front ? 0 : 1;
    char buf[512];
    std::string out;
    std::snprintf(buf, sizeof buf,
                  "\n{\\shp{\\*\\shpinst\\shpleft%d\\shptop%d\\shpright%d\\shpbottom%d\\shpfhdr0\\shpwr3\\shpwrk0"
                  "\\shpfblwtxt%d\\shplid%d\\shpz%d\\shpbxpage\\shpbypage\n"
                  "{\\sp{\\sn shapeType}{\\sv 75}}\n{\\sp{\\sn fLine}{\\sv 0}}\n{\\sp{\\sn fBehindDocument}{\\sv %d}}\n"
                  "{\\sp{\\sn pib}{\\sv {\\pict\\emfblip\\picw%d\\pich%d\\picwgoal%d\\pichgoal%d\n",
                  left, top, left + width, top + height, behind, shapeId, zOrder, behind,
                  static_cast<int32_t>(std::lround(width * 2540.0 / 1440.0)),
                  static_cast<int32_t>(std::lround(height * 2540.0 / 1440.0)), width, height);
    out += buf;
    AppendHex(out, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    out += "}}}}}";
    return out;
}
