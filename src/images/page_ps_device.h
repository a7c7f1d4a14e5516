// The page PostScript of the picture step: Poppler's PostScript output
// device, with two additions, and without what is never read back.
//  - Before each picture it writes, it makes a picture record (CRtfImage):
//    the placement string, the set-up code and the clip code, the device's
//    running shape and z-order numbers, and the byte range of the picture's
//    code in the page PostScript. A placement line with the full matrix is
//    written right before the picture's code, so that the splitter finds
//    the picture's own placement, and a record is made only for pictures
//    whose data the device really writes into the page file (not for the
//    bitmaps of Type 3 glyphs or pattern cells, which stay inside procedures).
//  - Each stroke, fill and even-odd fill is captured as a drawn path
//    (CRtfLine) in the text form that CRtfLine::ParsePath reads. Paths
//    and clips are not written into the file, which is only read for the
//    pictures' code. A path that covers text or a picture drawn before it
//    is marked as drawn in front of them.
// The records go to the shared floating-object list of the page.
#pragma once

#include <PSOutputDev.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "layout/model.h"

class PDFDoc;

// Where the page PostScript goes: a file, with the byte count and the
// watch over what the device writes while it draws one picture.
struct CPsSink {
    std::FILE* m_pFile = nullptr;
    // With no file, a discarding sink still counts and watches what the
    // device writes (the picture records depend on it) but keeps nothing.
    bool m_bDiscard = false;
    int64_t m_nWritten = 0;
    bool m_bFailed = false;
    // The device writes much of the page (embedded fonts, picture data) a
    // character at a time; bytes are gathered here and written in blocks.
    std::string m_strBuffer;
    // Set while a picture is drawn.
    bool m_bArmed = false;
    std::string m_strPending;  // written before the device's first byte for the picture
    bool m_bSawEndOfData = false;
    std::string m_strTail;  // last bytes written, to find the end-of-data line across writes
    // The first bytes of the picture's code, where the device defines the
    // colour spaces it names.
    std::string m_strHead;

    static void Write(void* stream, const char* data, size_t len);
    // Writes out the gathered bytes; false (and m_bFailed) on a write error.
    bool Flush();
};

// Where a page has drawn text or pictures so far, in cells of a few
// points of the device space.
class CPaintedArea {
public:
    enum : uint8_t { kText = 1, kPicture = 2 };
    void Reset(double x0, double y0, double x1, double y1);
    void Mark(double x0, double y0, double x1, double y1, uint8_t what);
    bool Any(double x0, double y0, double x1, double y1, uint8_t what) const;

private:
    bool Cells(double x0, double y0, double x1, double y1, int* c0, int* r0, int* c1, int* r1) const;
    double m_x0 = 0, m_y0 = 0, m_cell = 4;
    int m_nCols = 0, m_nRows = 0;
    std::vector<uint8_t> m_cells;
};

class CPagePsDevice : public PSOutputDev {
public:
    // The sink must outlive the device: the device writes its trailer when
    // it is destroyed.
    // Without `setUpFonts` the device sets up no font of the page (see
    // WritePagePostScript).
    CPagePsDevice(CPsSink* sink, PDFDoc* doc, int page, std::vector<std::unique_ptr<CRtfShpObject>>* objects,
                  bool capturePaths, bool setUpFonts = true);
    ~CPagePsDevice() override = default;

    void startPage(int pageNum, GfxState* state, XRef* xref) override;
    void saveState(GfxState* state) override;
    void restoreState(GfxState* state) override;
    void clip(GfxState* state) override;
    void eoClip(GfxState* state) override;
    void stroke(GfxState* state) override;
    void fill(GfxState* state) override;
    void eoFill(GfxState* state) override;
    void drawImageMask(GfxState* state, Object* ref, Stream* str, int width, int height, bool invert,
                       bool interpolate, bool inlineImg) override;
    void drawImage(GfxState* state, Object* ref, Stream* str, int width, int height, GfxImageColorMap* colorMap,
                   bool interpolate, const int* maskColors, bool inlineImg) override;
    void drawMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                         GfxImageColorMap* colorMap, bool interpolate, Stream* maskStr, int maskWidth,
                         int maskHeight, bool maskInvert, bool maskInterpolate) override;
    void drawSoftMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                             GfxImageColorMap* colorMap, bool interpolate, Stream* maskStr, int maskWidth,
                             int maskHeight, GfxImageColorMap* maskColorMap, bool maskInterpolate) override;

    // Keep the coverage of masked pictures in their records, for picture
    // files that can hold it.
    void KeepAlpha(bool keep) { m_bKeepAlpha = keep; }

    void drawString(GfxState* state, const GooString* s) override;

    int SmallImageCount() const { return m_nSmallImages; }
    int PictureCount() const { return m_nPictures; }
    int PathCount() const { return m_nPaths; }

private:
    struct ClipState {
        std::string clip;    // last clip path, "W" form
        std::string eoClip;  // last even-odd clip path, "W*" form
    };
    void BeginPicture(GfxState* state, int width, int height, std::string setup);
    void EndPicture(GfxState* state);
    bool CoversPainted(GfxState* state, uint8_t what) const;
    void CapturePath(GfxState* state, const char* paint);
    // Draws a picture whose coverage is not whole: its colours over white
    // as a plain RGB picture, the coverage kept with the record. False when
    // the picture cannot be decoded (it is then drawn as it comes).
    bool DrawOverWhite(GfxState* state, Stream* str, int width, int height, GfxImageColorMap* colorMap,
                       bool interpolate, const int* maskColors, std::vector<unsigned char> coverage);

    void MarkPainted(GfxState* state, const double (*corners)[2], int n, uint8_t what);

    CPsSink* m_pSink;
    CPaintedArea m_painted;
    std::vector<std::unique_ptr<CRtfShpObject>>* m_pObjects;
    bool m_bCapturePaths;
    bool m_bKeepAlpha = false;
    XRef* m_pXRef = nullptr;
    int32_t m_nShapeId = 0;
    int32_t m_nZOrder = 0;
    int m_nSmallImages = 0;
    int m_nPictures = 0;
    int m_nPaths = 0;
    double m_toUnrotated[6] = {1, 0, 0, 1, 0, 0};
    std::vector<ClipState> m_clips{ClipState{}};
    // Colour spaces the device defined once, in the code of an earlier
    // picture, and names in the code of later ones: each picture file gets
    // the definitions its code names.
    std::vector<std::pair<std::string, std::string>> m_colourSpaces;
    std::unique_ptr<CRtfImage> m_pPending;
    int64_t m_nPendingStart = -1;
};

// The path of `state` in the text form of a captured path: coordinates in
// points of the displayed page (origin bottom left), axis-parallel closed
// four-corner sub-paths written as rectangles.
std::string PathText(GfxState* state);

// Whether the page draws any picture (or, with `paths`, any stroke or
// fill); an early look that spares writing the page PostScript of pages
// without graphics.
bool PageHasGraphics(PDFDoc* doc, int page, bool paths);

// Whether a resource dictionary of the page (its own, those of its forms,
// patterns and annotation appearances, as the PostScript device walks
// them when it sets up fonts) holds a Type 3 font. The device draws the
// glyphs of such fonts while it sets them up, which makes drawn paths.
bool PageHasType3Fonts(PDFDoc* doc, int page);

// The coverage of a `width` x `height` picture from its mask of `maskWidth`
// x `maskHeight` samples (nearest sample), one byte a pixel, rows top
// first; `value` gives a sample's coverage (0 to 255) from its components.
// Empty when the mask cannot be read whole.
std::vector<unsigned char> MaskCoverage(Stream* maskStr, int maskWidth, int maskHeight, int comps, int bits,
                                        const std::function<unsigned char(const unsigned char*)>& value, int width,
                                        int height);

// Colour `c` (0 to 255) under coverage `a` over white; with a matte colour
// `m` (when `matte`) the colour is first taken back from its blend with it.
unsigned char OverWhite(int c, int a, bool matte = false, int m = 0);

// Notes the colour space that the code of a picture (its first bytes)
// defines, or gives `picture` the definition, from `known`, of the one its
// code sets by name.
void NoteColourSpace(CRtfImage& picture, const std::string& code,
                     std::vector<std::pair<std::string, std::string>>& known);

// Writes page `page` of `doc` as PostScript to `path`, appending the
// records of its pictures (and, with `capturePaths`, its drawn paths) to
// `objects`. Returns the number of pictures recorded, -1 when the file
// could not be written. Without `keepFile` nothing is written (the records
// are made all the same), for runs that will not cut out the pictures.
// Without `setUpFonts` the fonts of the page are not set up (the file
// then has no header and no document set-up either). Text is never
// written, so what is left out is never read: the pictures' code and the
// records stay the same as long as the page has no Type 3 fonts
// (PageHasType3Fonts).
int WritePagePostScript(PDFDoc* doc, int page, const std::string& path,
                        std::vector<std::unique_ptr<CRtfShpObject>>* objects, bool capturePaths,
                        bool keepFile = true, bool setUpFonts = true, bool keepAlpha = false);
