// The text output device: the PDF core renders every page of a PDF into it,
// it collects the characters into positioned text runs with their fonts and
// links, and writes each page into the page XML document that the layout
// stage reads back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <OutputDev.h>

#include "extract/html_fonts.h"
#include "extract/html_links.h"

class AnnotLink;
class Catalog;
class GfxState;
class Page;
class XRef;

// One run of characters drawn in one go with one font and direction.
class HtmlRun {
public:
    HtmlRun() = default;
    virtual ~HtmlRun() = default;
    // The virtual destructor would leave a run copyable only, and every
    // copy reallocates its characters: moves are declared.
    HtmlRun(HtmlRun&&) noexcept = default;
    HtmlRun& operator=(HtmlRun&&) noexcept = default;
    HtmlRun(const HtmlRun&) = default;
    HtmlRun& operator=(const HtmlRun&) = default;

    // Empties the run for reuse, keeping its arrays' storage.
    void Reset();
    void AddChar(Unicode u, int dir, double x, double w);
    // A character drawn left of the run (right-to-left script drawn in
    // reading order); `x` and `w` are its glyph's, given with the glyph's
    // first character.
    void AddCharLeftOf(Unicode u, double x, double w, bool firstOfGlyph);
    // A combining mark drawn over the run's letters.
    void AddMark(Unicode u);
    // Puts a run with right-to-left letters into reading order.
    void ToReadingOrder();
    // A character of text that is not upright: (x, y) is its origin and
    // (w, h) its advance on the device.
    void AddTurnedChar(Unicode u, int dir, double x, double y, double w, double h);
    // Takes the characters and box of the turned run `next`, which carries
    // on this one's baseline, after a space when `space`.
    void AppendTurnedRun(const HtmlRun& next, bool space);

    int m_nLink = -1;  // index into the page's links, or -1
    double m_dXMin = 0;
    double m_dXMax = 0;
    double m_dYMin = 0;
    double m_dYMax = 0;
    std::vector<Unicode> m_text;
    // Only the right edge of the last character is ever consulted (the
    // split test of the next character), so only that one is kept.
    double m_dLastEdge = 0;
    int m_nFont = 0;
    int m_nDir = 0;  // 0 until the first character; 1 ltr, 2 rtl or upside down, 3 and 4 turned
    double m_dCharSpace = 0;
    double m_dWordSpace = 0;
    double m_dHorizScaling = 0;
    double m_dRise = 0;
    double m_dLeading = 0;
    // The baseline's angle on the page as shown, counter-clockwise degrees
    // (0 to 359). A turned run's box is the bounding box of its glyphs.
    int m_nAngle = 0;
    // The glyphs' extent above and below the baseline (device units,
    // descent negative), and where the last glyph of a turned run ends.
    double m_dAscent = 0;
    double m_dDescent = 0;
    double m_dEndX = 0;
    double m_dEndY = 0;
    // Where the first glyph of a turned run starts, and the em of the run's
    // font (device units).
    double m_dStartX = 0;
    double m_dStartY = 0;
    double m_dEm = 0;
    // The text position (user space) the run was begun at.
    double m_dBeginX = 0;
    double m_dBeginY = 0;
    // Drawn in an invisible rendering mode (the text layer of a scan).
    bool m_bHidden = false;
    // Grown leftwards: right-to-left script drawn in reading order.
    bool m_bLeftward = false;
    // Holds right-to-left letters (and is in reading order once ended).
    bool m_bRightToLeft = false;
    // Glyphs that advanced the run (its combining marks not counted).
    int m_nBases = 0;
};

// The runs, fonts and links of the page being rendered.
class HtmlPageText {
public:
    HtmlPageText(bool rawOrder, const std::string& fileName);
    virtual ~HtmlPageText() = default;

    void StartPage(int width, int height, int rotation);
    void UpdateFont(GfxState* state);
    void BeginString(GfxState* state);
    void EndString();
    void AddChar(GfxState* state, double x, double y, double dx, double dy, const Unicode* u, int uLen);

    // Writes the page's font lines, margin line and text elements to `out`.
    void Dump(std::string& out, const HtmlTextFilter& filter);

    HtmlFontList& Fonts() { return m_fonts; }
    HtmlLinkList& Links() { return m_links; }
    // The document's object table while a page is drawn, where the font
    // descriptors of new fonts are read.
    void SetXRef(XRef* xref) { m_pXRef = xref; }

    // Whether some run of the page lies in the link.
    bool HasRunIn(const HtmlLink& link) const;
    // Puts the combining marks of right-to-left script that were drawn as
    // runs of their own into the letters' runs they sit over.
    void AttachCombiningMarks();
    // Joins turned runs that carry on one another's baseline, such as the
    // words of a turned label drawn one by one, into one run with spaces.
    void JoinTurnedWords();
    // Decides the fate of the page's invisible text before the page is
    // written: kept as the page's text when no visible text is drawn (a
    // scanned page with its recognised text layer), else dropped. Whether
    // the page's text is such a hidden layer.
    bool SettleHiddenText();

private:
    // Keeps the page's runs for which `keep` holds, in their order. Runs are
    // reused objects: the dropped ones move behind the page's runs.
    template <typename Keep>
    void KeepRunsWhere(Keep keep) {
        auto end = std::stable_partition(m_runs.begin(), m_runs.begin() + m_nRuns, keep);
        m_nRuns = static_cast<int>(end - m_runs.begin());
    }

    XRef* m_pXRef = nullptr;
    // The values of a data line as bit patterns: -0.0 equals 0.0 but is
    // written "-000.00", so the values must match bit for bit.
    struct DataLineKey {
        uint64_t charSpace;
        uint64_t wordSpace;
        uint64_t horizScaling;
        uint64_t rise;
        uint64_t leading;
        int style;
        bool operator==(const DataLineKey&) const = default;
    };

    static DataLineKey KeyOf(const HtmlRun& r, int style);
    static void FormatDataLine(std::string& out, const HtmlRun& r, int style);

    void WriteMargins(std::string& out) const;
    // The data line of a text element that starts with run `r`.
    const std::string& DataLine(const HtmlRun& r, int style);

    double m_dFontSize = 0;  // transformed size of the current font
    bool m_bRawOrder;
    // Runs of the page in drawing order. Run objects are reused from page
    // to page so that their arrays are not reallocated for every run, and a
    // deque never moves them as it grows; the first m_nRuns are the page's
    // runs, the one after them (when m_bInRun) is the run under
    // construction.
    std::deque<HtmlRun> m_runs;
    int m_nRuns = 0;
    bool m_bInRun = false;
    int m_nFontMarker = 0;
    HtmlFontList m_fonts;
    HtmlLinkList m_links;
    std::string m_strFileName;
    int m_nPageWidth = 0;
    int m_nPageHeight = 0;
    int m_nPageTop = 0;
    int m_nPageLeft = 0;
    int m_nRotation = 0;
    DataLineKey m_dataLineKey{};
    bool m_bDataLineValid = false;
    std::string m_strDataLine;
    // Data lines compared while an element is formed, reused.
    std::string m_strElementData;
    std::string m_strScratch;
};

struct HtmlMetaEntry {
    std::string name;
    std::string value;
};

class HtmlOutputDev : public OutputDev {
public:
    // `fileName` is the document's path without its ".xml" extension. The
    // title, extension, first page and outline flag serve web-page forms of
    // the device that this program never writes.
    HtmlOutputDev(const std::string& fileName, const std::string& title, const std::string& author,
                  const std::string& keywords, const std::string& subject, const std::string& date,
                  const std::string& extension, bool rawOrder, int firstPage, bool outline);
    ~HtmlOutputDev() override;

    bool isOk() const { return m_bOk; }
    // The pages (1-based, ascending) whose only text is invisible text,
    // written as their text: scans with a recognised text layer.
    const std::vector<int>& HiddenTextPages() const { return m_hiddenTextPages; }
    bool isReady() const { return m_bOk; }
    int deviceTag() const { return 1234; }

    bool upsideDown() override { return true; }
    bool useDrawChar() override { return true; }
    bool useTilingPatternFill() override { return false; }
    bool useShadedFills(int) override { return false; }
    bool useDrawForm() override { return false; }
    bool interpretType3Chars() override { return false; }
    bool needNonText() override { return false; }

    // The core names the page it is about to render only here; the device
    // keeps it to take the page's link annotations when the page ends.
    bool checkPageSlice(Page* page, double hDPI, double vDPI, int rotate, bool useMediaBox, bool crop, int sliceX,
                        int sliceY, int sliceW, int sliceH, bool printing, bool (*abortCheckCbk)(void* data) = nullptr,
                        void* abortCheckCbkData = nullptr,
                        bool (*annotDisplayDecideCbk)(Annot* annot, void* user_data) = nullptr,
                        void* annotDisplayDecideCbkData = nullptr) override;
    void startPage(int pageNum, GfxState* state, XRef* xref) override;
    void endPage() override;
    void updateFont(GfxState* state) override;
    void beginString(GfxState* state, const GooString* s) override;
    void endString(GfxState* state) override;
    void drawChar(GfxState* state, double x, double y, double dx, double dy, double originX, double originY,
                  CharCode code, int nBytes, const Unicode* u, int uLen) override;

    // Records a link of the page being rendered (between startPage and
    // endPage; the page's own link annotations are recorded at endPage).
    void recordLink(AnnotLink* link, Catalog* catalog);

private:
    void RecordPageLinks();
    // The link's rectangle on the device, destination still empty.
    HtmlLink DeviceRect(AnnotLink* link);
    std::string DestinationOf(AnnotLink* link, Catalog* catalog);

    std::FILE* m_file = nullptr;
    std::unique_ptr<HtmlPageText> m_pPages;
    bool m_bRawOrder;
    bool m_bOk = false;
    int m_nPageNum = 0;
    std::string m_strFileName;
    std::string m_strDocBaseName;
    std::string m_strDocTitle;
    std::vector<HtmlMetaEntry> m_meta;
    std::unique_ptr<HtmlTextFilter> m_pFilter;
    // The page the core is about to render, for its links.
    Page* m_pLinkPage = nullptr;
    std::unique_ptr<LinkDestinations> m_pDests;
    std::string m_buffer;  // one page of output, reused
    std::vector<int> m_hiddenTextPages;
};
