// The layout model: the plain objects into which the page XML reader turns
// one page, and from which the layout engine and the RTF writer rebuild it.
//
// Units: every position and size is a signed 32-bit integer in page units
// (108 per inch, origin top left, y downwards). Lists never own their
// items; the page owns the fragments, words, blocks, sections and cells it
// makes (CRtfPage::Own), the document owns fonts and colours.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "layout/containers.h"
#include "platform/rect.h"

class CLayoutDocument;
class CRtfPage;
class CRtfXmlText;
class CRtfParagraphs;
class CRtfTextPool;
class CRtfFont;
template <class T = void> class TRtfFontData;
class RtfColorData;

// Page units (108 to the inch) to RTF twips (1440 to the inch), truncated
// toward zero (100 -> 1333, -1 -> -13, 612 -> 8160). The Windows program
// multiplied by 13.6666, which made every page and everything on it 2.5%
// larger than the PDF's (an A4 page 610 x 862 points). Values beyond what a
// control word can hold (from damaged input) give the nearest limit rather
// than an undefined conversion; NaN gives 0.
constexpr double kTwipsPerInch = 1440.0;
constexpr double kUnitsPerInch = 108.0;
inline int32_t ToTwips(double v) {
    // Multiplying first keeps whole twips exact: 612 units are 8160 twips,
    // not 8159.999.
    const double t = v * kTwipsPerInch / kUnitsPerInch;
    if (t != t) return 0;
    if (t >= 2147483647.0) return INT32_MAX;
    if (t <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(t);
}

struct CSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

// The default page box, used until the page XML gives a size.
constexpr int32_t kDefaultPageWidth = 612;
constexpr int32_t kDefaultPageHeight = 792;
// Points of drawn paths a page may hand to the document as vector
// pictures, behind its text and in front of it. A page drawing more on
// either side (a plot of a million points) shows its drawing as a rendered
// picture instead, which stays the same size however much is drawn.
// Rendered thin rules look fainter than the rules themselves at small
// sizes, and 20,000 points come to some 300 kB of metafile, so only very
// dense drawings are rendered.
constexpr size_t kMaxPathPointsPerPage = 20000;
// Page dimensions larger than this are cut to it.
constexpr int32_t kMaxPageExtent = 2375;

class DebugRtfXmlTextList;

// One data child of a text element: a run of characters in one format.
template <class T = void>
class TRtfWord : public CTagged {
    QM_TAGGED_CLASS(TRtfWord, nullptr)
public:
    TRtfWord() { QM_TAG_INIT(); }
    ~TRtfWord() override = default;

    // Extent of `text` in `face` at `size` points with this word's style,
    // in device pixels.
    CSize MeasureWord(const std::string& face, int size, const std::string& text) const;

    int32_t m_nColor = 0;
    float m_fRise = 0;
    float m_fLeading = 0;
    int32_t m_nFont = 0;
    int16_t m_nCharSpace = 0;
    int16_t m_nWordSpace = 0;
    uint8_t m_nHScale = 0;
    // Percent a stand-in face is narrowed by to the PDF font's pitch.
    uint8_t m_nFaceScale = 100;
    uint8_t m_nStyle = 0;  // 0x01 bold, 0x02 italic, 0x04 underline, 0x40 shadow
    uint16_t m_nFontSize = 10;
    std::string m_strText;  // entity-decoded, braces escaped for RTF
    std::string m_strAux;
    TPtr<CRtfXmlText> m_pText;
};

// The words of one fragment.
class CRtfSentence : public TSafeList<TRtfWord<void>> {
    QM_TAGGED_CLASS(CRtfSentence, TSafeList<TRtfWord<void>>::StaticTag())
public:
    CRtfSentence() { QM_TAG_INIT(); }
    // ORs `style` into every word; returns whether there was a word.
    bool SetWordStyle(uint8_t style);
};

class DebugRtfXmlTextList : public TSafeList<CRtfXmlText> {
    QM_TAGGED_CLASS(DebugRtfXmlTextList, TSafeList<CRtfXmlText>::StaticTag())
public:
    DebugRtfXmlTextList() { QM_TAG_INIT(); }
};

// Layout flags of a fragment.
enum : int32_t {
    kTextAboveRight = 0x01,   // intake: lies above and right of the previous line
    kTextBelowLeft = 0x02,    // intake: the previous fragment of such a pair
    kTextSorted = 0x04,       // taken by the sort of the flowing build
    kTextReadOrder = 0x08,    // taken into reading order by the line writer
    kTextInRow = 0x40,        // gathered into a row
    kTextRaised = 0x80,       // written as superscript or subscript
    kTextTableRow = 0x100,    // written as a one-row table
    kTextSpacesTurned = 0x200,  // its edge spaces put in reading order of a right-to-left line
};

// One text element of the page XML: a positioned fragment of text.
class CRtfXmlText : public CTagged {
    QM_TAGGED_CLASS(CRtfXmlText, nullptr)
public:
    CRtfXmlText() { QM_TAG_INIT(); }
    ~CRtfXmlText() override;

    // Words are owned by their fragment; m_words lists them in order.
    TRtfWord<void>* NewWord();

    // Line building (words and fragments).
    CSize MeasureText() const;
    int FitToText(CRtfSentence& words, CLayoutDocument* doc);
    void ShrinkToText(CRtfSentence& words, CLayoutDocument* doc);
    int FitFontSize(CRtfSentence& words, CLayoutDocument* doc);
    // Lowers the size of the fragment and its joined pieces; whether it has words.
    bool ReduceFontSize(int points);
    // Joins `text` to this line head when it continues the line; returns the
    // position in m_pJoined (null when rejected) and may set *place to 1
    // (above the line) or 2 (below it / too far left).
    TSafeList<CRtfXmlText>::POSITION TryJoin(CRtfXmlText* text, int* place);
    // Underlines the words under `rule`; whether the rule was taken.
    bool MarkUnderline(const CRect& rule);

    CRect m_rect;
    TPtr<CRtfPage> m_pPage;
    int32_t m_nRotation = 0;  // 0, 90, 180, 270
    uint8_t m_bToc = 0;
    CRtfSentence m_words;
    int32_t m_nFont = 0;
    int32_t m_nColor = 0;
    uint16_t m_nFontSize = 10;
    uint8_t m_nFontStyle = 0;
    CRect m_rcLine;
    TPtr<DebugRtfXmlTextList> m_pJoined;
    int32_t m_nFlags = 0;
    int32_t m_nWrittenTop = 0;
    // Where the fragment's text stands on the page, as read (turned with the
    // page at intake). Measuring narrows m_rect to the screen font's width,
    // so the line writers read the gaps between fragments from this box;
    // all zero until the intake records it.
    CRect m_rcPrint;
    int32_t m_nAngle = 0;
    TPtr<TSafeList<RtfColorData>> m_pColors;
    TPtr<TSafeList<TRtfFontData<void>>> m_pFonts;
    // The column a fragment was assigned to while the section builder
    // merges its row; meaningless outside that one merge.
    TPtr<CRtfParagraphs> m_pColumn;

private:
    std::vector<std::unique_ptr<TRtfWord<void>>> m_wordStore;
};

// A block of fragments: one column of a section, or a table cell's content.
class CRtfParagraphs : public CTagged {
    QM_TAGGED_CLASS(CRtfParagraphs, nullptr)
public:
    CRtfParagraphs() { QM_TAG_INIT(); }
    explicit CRtfParagraphs(CRtfXmlText* first) {
        QM_TAG_INIT();
        if (first != nullptr) {
            m_texts.AddTail(first);
            m_rect = first->m_rcLine;
        }
    }
    ~CRtfParagraphs() override = default;

    // Acceptance test used by table cells.
    bool TryAppend(CRtfXmlText* text);
    // Unconditional append, growing the box by the fragment's line box.
    void AppendText(CRtfXmlText* text);

    DebugRtfXmlTextList m_texts;
    CRect m_rect;
};

// A horizontal band of the page laid out in one or more columns.
class CRtfSection : public CTagged {
    QM_TAGGED_CLASS(CRtfSection, nullptr)
public:
    explicit CRtfSection(int columns = 1);
    // One column per fragment of the row, in row order; bounds are the
    // union of the fragments' line boxes. A missing row gives no columns.
    explicit CRtfSection(DebugRtfXmlTextList* row);
    ~CRtfSection() override = default;

    using ColumnPos = TSafeList<CRtfParagraphs>::POSITION;

    // Makes a block owned by this section (not yet in m_columns).
    CRtfParagraphs* NewBlock(CRtfXmlText* first = nullptr);

    // The column a fragment with box `rect` belongs to, or null when it
    // fits none. The caller clears the outputs first: newColumn asks for a
    // new column before (placement 0) or after (1) the returned one; side
    // -1/+1 says the fragment lies on the line of the column's last
    // fragment, to its left or right.
    ColumnPos FindColumn(CRtfXmlText* text, const CRect& rect, bool& newColumn, int& placement, int& side);
    // Merges a row into this section; when it does not fit, the section is
    // as it was (side joins apart).
    enum class MergeResult { kMerged = 0, kNoFit = 1, kEmptyRow = 5 };
    MergeResult MergeRow(DebugRtfXmlTextList* row, DebugRtfXmlTextList* remaining, CRtfPage* page);
    // Makes the columns tile the section's bounds.
    void ArrangeColumns();

    CRect m_rect;
    TSafeList<CRtfParagraphs> m_columns;

private:
    std::vector<std::unique_ptr<CRtfParagraphs>> m_blockStore;
};

// One cell of a reconstructed one-row table.
class CRtfCell : public CTagged {
    QM_TAGGED_CLASS(CRtfCell, nullptr)
public:
    CRtfCell() { QM_TAG_INIT(); }
    // Builds the cell model of a line head and its joined pieces.
    explicit CRtfCell(CRtfXmlText* text);
    ~CRtfCell() override = default;

    int GetBlockCount() const { return m_blocks.GetCount(); }

    int32_t m_nValue = 0;
    DebugRtfXmlTextList m_texts;
    TPtr<CRtfXmlText> m_pLink;
    TSafeList<CRtfParagraphs> m_blocks;
    CRect m_rect;
    int32_t m_nTop = 0;  // where the line head was placed (its m_nWrittenTop)

private:
    CRtfParagraphs* NewBlock(CRtfXmlText* first);
    std::vector<std::unique_ptr<CRtfParagraphs>> m_blockStore;
};

// The flowing text of a page: its sections, top to bottom.
template <class T = void>
class TRtfFlowingText : public CTagged {
    QM_TAGGED_CLASS(TRtfFlowingText, nullptr)
public:
    TRtfFlowingText() { QM_TAG_INIT(); }
    ~TRtfFlowingText() override = default;
    // Places a row of side-by-side fragments into the sections; true when a
    // new section was appended.
    bool AddRow(DebugRtfXmlTextList* row, DebugRtfXmlTextList* remaining, CRtfPage* page);
    bool FirstHasColumns() const { return m_sections.GetCount() > 0 && m_sections.GetHead()->m_columns.GetCount() > 1; }
    bool LastHasColumns() const { return m_sections.GetCount() > 0 && m_sections.GetTail()->m_columns.GetCount() > 1; }

    TSafeList<CRtfSection> m_sections;
};

// A floating drawing object of a page: a picture or a drawn path.
class CRtfShpObject : public CTagged {
    QM_TAGGED_CLASS(CRtfShpObject, nullptr)
public:
    enum Kind : int32_t { kImage = 1, kLine = 2 };
    explicit CRtfShpObject(int32_t kind) : m_nKind(kind) { QM_TAG_INIT(); }
    ~CRtfShpObject() override = default;

    int32_t m_nKind;
    int32_t m_nZOrder = 0;
    int32_t m_nNumber = 0;
};

// One sub-path of a drawn path, in page units.
struct CPathPoint {
    double x = 0;
    double y = 0;
};
struct CPathPiece {
    std::vector<CPathPoint> m_points;
    bool m_bClosed = false;
    bool m_bLine = false;  // a thin rectangle drawn as a line in its fill colour
    double m_fThickness = 0;  // that rectangle's thickness, page units
};
// How a drawn path is painted; paths that share it can share one shape.
struct CPathStyle {
    bool m_bFilled = false;
    bool m_bStroked = false;
    int32_t m_nFill = 0;      // RTF colour number (red + 256 green + 65536 blue)
    int32_t m_nStroke = 0;
    int32_t m_nWidthEmu = 0;  // line width in EMU
    int32_t m_nDashing = 0;
    bool operator==(const CPathStyle&) const = default;
};

// A stroked or filled path.
class CRtfLine : public CRtfShpObject {
    QM_TAGGED_CLASS(CRtfLine, CRtfShpObject::StaticTag())
public:
    CRtfLine() : CRtfShpObject(kLine) { QM_TAG_INIT(); }

    // Reads the path into m_pieces and m_style without writing any shape;
    // whether it paints anything.
    bool ParsePath(CRtfPage* page);

    CRect m_rect;            // box of the last sub-path written
    int32_t m_nLineWidth = 0;  // points, truncated
    std::string m_strPath;   // the path as PostScript text
    std::string m_strShape;  // the page's picture of paths behind the text, on its first such path
    double m_d1 = 0.0;
    double m_d2 = 0.0;
    double m_fWidth = 612.0;
    double m_fHeight = 792.0;
    std::string m_strExtra;
    uint8_t m_bFlag = 0;
    int32_t m_nPageWidth = 612;
    int32_t m_nPageHeight = 792;
    // The sub-paths and paint read by ParsePath.
    std::vector<CPathPiece> m_pieces;
    CPathStyle m_style;
    // Drawn where text or a picture was drawn before it: the PDF paints it
    // over them, so it goes in front of the text rather than behind.
    bool m_bFront = false;
    // The page's picture of paths in front of the text, on the first path
    // it draws (m_strShape holds the one behind it).
    std::string m_strFront;
};

// The document's next \shplid number for a shape of `page`; a page outside
// any document (made on its own) numbers nothing.
int32_t NextPageShapeId(CRtfPage* page);
// `bytes` as the hexadecimal digits of an RTF picture.
void AppendHex(std::string& out, const unsigned char* bytes, size_t n);

// A sub-path and how it is painted, for a picture of many.
struct CPaintedPiece {
    const CPathPiece* piece = nullptr;
    const CPathStyle* style = nullptr;
};
// The pieces as one vector picture (an enhanced metafile), painted in the
// order given: the RTF picture shape, in front of the text or behind it,
// on a page of the given size (page units). Empty when no piece has two
// points.
std::string PathPictureText(const std::vector<CPaintedPiece>& pieces, int32_t shapeId, int32_t zOrder, bool front,
                            int32_t pageWidth, int32_t pageHeight);
// The page's drawn paths as at most two pictures, one behind the text and
// one in front, each stored in the first path it draws. Returns the
// number of pictures.
size_t DrawPathsAsPictures(CRtfPage* page);

// A part of a page whose drawing is shown as one picture: points of the
// page as shown, origin at its bottom left corner.
struct CDenseRegion {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
    bool operator==(const CDenseRegion&) const = default;
};
// When the page's drawn paths behind the text have more than `maxPoints`
// points, takes them out of the page, with those in front of it when these
// have more than `maxPoints` points, and records the box they cover in the
// page's m_denseRegions, for the box to be rendered as a picture; not when
// a picture of the page lies in that box. Whether it did.
bool TakeDenseDrawing(CRtfPage* page, size_t maxPoints);

// A picture rendered from the page PostScript.
class CRtfImage : public CRtfShpObject {
    QM_TAGGED_CLASS(CRtfImage, CRtfShpObject::StaticTag())
public:
    CRtfImage() : CRtfShpObject(kImage) { QM_TAG_INIT(); }

    bool SetImageFile(const std::string& path, bool keepGoing);
    void SetPlace(double a, double b, double c, double d);
    // The translation of the placement (its last two numbers), which the
    // picture shape needs to land where the picture is on the page.
    void SetPlaceOrigin(double e, double f);
    // The RTF picture shape for the page.
    std::string WriteRtf(CRtfPage* page);

    double m_d1 = 0.0;  // position recorded for the image-extraction run
    double m_d2 = 0.0;
    int32_t m_n1 = 0;  // page number
    int32_t m_n2 = 0;  // orientation code of the placement
    int32_t m_n3 = 0;  // page rotation
    std::string m_strImageMatrix;  // placement numbers handed over by the PostScript side
    std::string m_strCmLine;       // set-up code of the picture (colour and state)
    std::string m_strTemplate;     // clip code of the picture
    std::string m_strImagePath;  // the rendered picture file
    // The rendered picture's bytes as hexadecimal text, as the RTF holds
    // them; read once the picture is rendered.
    std::string m_strHex;
    bool m_bHasPicture = false;
    // The six placement numbers: user space of the unrotated page, points,
    // origin at the bottom left corner of the page box.
    double m_place[6] = {0, 0, 0, 0, 0, 0};
    // Byte range of the picture's code in the page PostScript, -1 unknown.
    int64_t m_nPsStart = -1;
    int64_t m_nPsEnd = -1;
    // The coverage of a picture with a mask, one byte a pixel at the
    // picture's own size, rows top first (0 transparent, 255 opaque); the
    // picture's code then carries its colours over white. Kept only where
    // an extracted picture file can hold it.
    std::vector<unsigned char> m_alpha;
    // A page's drawing rendered as one picture: it goes behind the text with
    // the drawn shapes, and is kept in documents without pictures, as the
    // drawn paths are. Its bytes are PNG rather than JPEG.
    bool m_bDrawing = false;
};

// Whether a line head and its joined pieces read as a one-row table.
bool IsTableRow(CRtfXmlText* text);
// Lowers the size of a row's tall piece until its words fit the width the
// PDF gave them, so that its cell does not push the stack off the line.
void FitTallPiece(CRtfXmlText* tall);

// One colour of the RTF colour table.
class RtfColorData : public CTagged {
    QM_TAGGED_CLASS(RtfColorData, nullptr)
public:
    RtfColorData() { QM_TAG_INIT(); }
    RtfColorData(uint8_t r, uint8_t g, uint8_t b, int32_t index) : m_red(r), m_green(g), m_blue(b), m_nIndex(index) {
        QM_TAG_INIT();
    }
    ~RtfColorData() override = default;
    uint32_t Rgb() const { return m_red + 256u * m_green + 65536u * m_blue; }

    uint8_t m_red = 0;
    uint8_t m_green = 0;
    uint8_t m_blue = 0;
    uint8_t m_spare = 0;
    int32_t m_nIndex = 0;
};

// Face name and one value shared by output fonts and font specifications.
template <class T = void>
class TRtfFontBase : public CTagged {
    QM_TAGGED_CLASS(TRtfFontBase, nullptr)
public:
    TRtfFontBase() { QM_TAG_INIT(); }
    ~TRtfFontBase() override = default;
    std::string m_strName;
    int32_t m_nValue = 0;
};

// One output font of the RTF font table: number and face name.
template <class T>
class TRtfFontData : public TRtfFontBase<void> {
    QM_TAGGED_CLASS(TRtfFontData, TRtfFontBase<void>::StaticTag())
public:
    TRtfFontData() { QM_TAG_INIT(); }
    // Takes `name` as this font's face when it is installed, or the
    // substitute the map file in `mapFolder` gives for it when that is
    // installed (then *substituted is 1); false, and the face unchanged,
    // otherwise.
    bool Resolve(const std::string& name, const std::string& mapFolder, uint8_t* substituted = nullptr);
    int32_t m_nIndex = 0;  // the \f number
};
template <>
bool TRtfFontData<void>::Resolve(const std::string& name, const std::string& mapFolder, uint8_t* substituted);

// One fontspec of the page XML.
class CRtfFont : public TRtfFontBase<void> {
    QM_TAGGED_CLASS(CRtfFont, TRtfFontBase<void>::StaticTag())
public:
    CRtfFont() { QM_TAG_INIT(); }

    // Stores the face name without a subset prefix (up to the first '+'
    // after position 0) and with each ',' made '-'.
    // Returns whether the stored name is not empty.
    bool SetName(const std::string& name);
    void SetSize(int32_t size);
    void SetAlternate(const std::string& name);

    int32_t m_nId = 0;
    TPtr<TRtfFontData<void>> m_pFontData;
    TPtr<RtfColorData> m_pColor;
    uint16_t m_nSize = 10;
    std::string m_strAlternate;
    uint8_t m_bNoSize = 0;
    uint8_t m_nStyle = 0;
    // The PDF font's advance (thousandths of an em) when it is of fixed
    // pitch, and whether the face of its class stands in for it.
    uint16_t m_nPitch = 0;
    bool m_bClassFace = false;
};

// The fragments read for one page: those to lay out and those written
// after the page body.
class CRtfTextPool : public CTagged {
    QM_TAGGED_CLASS(CRtfTextPool, nullptr)
public:
    CRtfTextPool() { QM_TAG_INIT(); }
    ~CRtfTextPool() override = default;

    static bool AddText(CLayoutDocument* doc, CRtfXmlText* text);
    bool AddToMain(CLayoutDocument* doc, CRtfXmlText* text);
    bool AddToLeftover(CLayoutDocument* doc, CRtfXmlText* text);

    DebugRtfXmlTextList m_main;
    DebugRtfXmlTextList m_leftover;
};

// The per-page object. It owns everything made for the page (fragments,
// words through their fragments, joined lists, blocks, sections, cells and
// the floating objects handed over by the picture step) until the page has
// been written.
class CRtfPage : public CTagged {
    QM_TAGGED_CLASS(CRtfPage, nullptr)

    // A whole page unit is 13.3 twips: the exact size may lie up to one
    // unit above the truncated box.
    static int32_t PaperTwips(int32_t units, int32_t exact) {
        const int32_t fromBox = ToTwips(units);
        const int64_t unitTwips = ToTwips(1) + 1;
        // Wide arithmetic: both come from outside bytes and may lie at the
        // ends of the range.
        const int64_t above = static_cast<int64_t>(exact) - fromBox;
        return above >= 0 && above <= unitTwips ? exact : fromBox;
    }

public:
    CRtfPage(CLayoutDocument* doc, int32_t page);
    ~CRtfPage() override;

    // Page geometry setters with the reader's limits.
    void SetTop(int32_t v) { m_rect.top = v; }
    void SetLeft(int32_t v) { m_rect.left = v; }
    // Summed in 64 bits: a page XML may give any top, left, height and width.
    void SetHeight(int32_t h) {
        m_rect.bottom = static_cast<int32_t>(std::clamp<int64_t>(int64_t{m_rect.top} + h, INT32_MIN, kMaxPageExtent));
    }
    void SetWidth(int32_t w) {
        m_rect.right = static_cast<int32_t>(std::clamp<int64_t>(int64_t{m_rect.left} + w, INT32_MIN, kMaxPageExtent));
    }
    static int32_t ClampMargin(int32_t v) { return (v >= 0 && v <= 50) ? v : 50; }
    void SetMarginLeft(int32_t v) { m_nMarginLeft = ClampMargin(v); }
    void SetMarginTop(int32_t v) { m_nMarginTop = ClampMargin(v); }
    void SetMarginRight(int32_t v) { m_nMarginRight = ClampMargin(v); }
    void SetMarginBottom(int32_t v) { m_nMarginBottom = ClampMargin(v); }
    void SetRotation(int32_t r) { m_nRotation = (r == 90 || r == 180 || r == 270) ? r : 0; }

    // Takes ownership of an object made for this page and returns it.
    template <class T>
    T* Own(std::unique_ptr<T> obj) {
        T* p = obj.get();
        m_owned.push_back(std::move(obj));
        return p;
    }
    template <class T, class... Args>
    T* Make(Args&&... args) {
        return Own(std::make_unique<T>(std::forward<Args>(args)...));
    }

    // Intake, flowing build and drawn objects.
    bool FilterOverprint(CRtfXmlText* text, bool& absorbed);
    bool BuildFlow();
    DebugRtfXmlTextList* SortTexts();
    // Takes the next row of side-by-side fragments from `remaining`,
    // starting at `position`, which it moves past what it took.
    void GatherRow(TSafeList<CRtfXmlText>::POSITION& position, DebugRtfXmlTextList* remaining,
                   DebugRtfXmlTextList* row);
    int AddObjects(std::vector<std::unique_ptr<CRtfShpObject>>& objects);
    bool AbsorbUnderline(CRtfLine* line);

    // The paper's width and height in twips: the PDF's own size where the
    // page XML gives it and it agrees with the page box (which whole units
    // and the size limit make coarser), else the page box's.
    int32_t PaperWidthTwips() const { return PaperTwips(m_rect.Width(), m_nPaperWidth); }
    int32_t PaperHeightTwips() const { return PaperTwips(m_rect.Height(), m_nPaperHeight); }

    // Section flags kept by the document: bit 0 more than one section,
    // bit 1 first section has columns, bit 2 last section has columns.
    uint8_t SectionFlags() const;

    int32_t m_nPage = 0;
    CRect m_rect{0, 0, kDefaultPageWidth, kDefaultPageHeight};
    int32_t m_nMarginLeft = 0;
    int32_t m_nMarginTop = 0;
    int32_t m_nMarginRight = 0;
    int32_t m_nMarginBottom = 0;
    int32_t m_nRotation = 0;
    // The paper size in twips from the page XML; 0 when it gives none.
    int32_t m_nPaperWidth = 0;
    int32_t m_nPaperHeight = 0;
    TPtr<CLayoutDocument> m_pDoc;
    TPtr<CRtfTextPool> m_pPool;
    uint8_t m_bFlags = 0;
    uint8_t m_bFirstWrittenPage = 0;
    TRtfFlowingText<void> m_flow;
    std::vector<std::unique_ptr<CRtfShpObject>> m_pObjects;
    // Where the page's drawing is to be a picture (TakeDenseDrawing).
    std::vector<CDenseRegion> m_denseRegions;
    TPtr<DebugRtfXmlTextList> m_pSorted;

private:
    std::vector<std::unique_ptr<CTagged>> m_owned;
};
