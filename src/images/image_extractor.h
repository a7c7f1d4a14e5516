// Splitting the page PostScript into one PostScript file per picture and
// rendering each through Ghostscript.
//
// The page PostScript was written by Poppler's PostScript device, which
// made a picture record (CRtfImage) for each picture it wrote. The
// extractor walks the records and the file together: for each record it
// finds the picture's placement line and code, wraps the code into a
// one-page document of exactly the picture's pixel size (the template
// starttext.ps, a page prologue, the placement for the rendered picture,
// the code, a page trailer), and has Ghostscript render it into
// imagefile<n>.<ext> in the page's output folder. The file name goes back
// to the record, which the RTF writer embeds, or, in an image-extraction
// run, stays as the extracted picture.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "images/ghostscript.h"
#include "layout/model.h"

class CGhostscriptSession;
class IPictureLog;

// The words that mark the start of a picture's code.
extern const char* const g_strImageKeys;
// The page set-up written after the template, before the picture's code.
extern const char* const g_strPagePrologue;
// The line that the PostScript device writes after inline image data.
extern const char* const g_strEndOfData;
// The end of a picture file.
extern const char* const g_strPageTrailer;

// How a page's pictures went; the numbers are the codes the conversion
// passes on.
enum class PictureResult : int32_t {
    kOk = 0,
    kNoRenderer = 54,              // no renderer wrote the pictures (extraction)
    kPlacementNotSupported = 81,   // a picture with a placement that cannot be rendered was left out
};

class CImageExtractor {
public:
    CImageExtractor(std::string psPath, int page, std::string device,
                    std::vector<std::unique_ptr<CRtfShpObject>>* objects);
    virtual ~CImageExtractor();
    CImageExtractor(const CImageExtractor&) = delete;
    CImageExtractor& operator=(const CImageExtractor&) = delete;

    // The picture loop of one page; a picture with a placement that cannot
    // be rendered is left out, the others are not.
    PictureResult ExtractPagePictures(bool keepGoing);

    bool OpenPagePs();
    bool PrepareOutput();
    CRtfImage* NextPicture(size_t& position);
    bool FindNextImage(std::string& firstLine, std::string& keyword);
    bool ParsePlacement(const std::string& text);
    bool WritePictureFile(CRtfImage* picture, const std::string& firstLine, const std::string& keyword);
    void ComputeOutputMatrix();
    bool WriteFinalFile(std::FILE* workFile, std::string& finalPath);
    void Reset();
    // Renders one file; the raster file appears whole or not at all.
    bool RenderWithGhostscript(const std::string& outputPath, const std::string& inputPath);
    // Orientation code of the placement (the cases of WriteFinalFile).
    int OrientationCode() const;
    void Close();

    int64_t m_nLength = 0;
    int64_t m_nLinePos = 0;
    std::string m_strPsPath;
    int32_t m_nPage = 0;
    int32_t m_bSkewed = 0;
    float m_fWidth = 0;
    float m_fHeight = 0;
    float m_place[6] = {};
    float m_cm[6] = {};
    float m_mat[6] = {};
    std::string m_strImageMatrix;
    std::string m_strCmLine;
    std::string m_strTemplate;
    std::string m_strDevice;
    std::vector<std::unique_ptr<CRtfShpObject>>* m_pObjects = nullptr;
    std::string m_strOutDir;
    std::string m_strImagePath;
    int32_t m_nImage = 0;

    // Supplied by the conversion: where messages go and whether the run was
    // stopped (may be null), the kind of run, and the rotation of the page.
    IPictureLog* m_pLog = nullptr;
    bool m_bExtraction = false;
    bool m_bRemoveImages = false;
    int32_t m_nRotation = 0;
    // Extraction: the output folder and the PDF's base name, to which "-<page>"
    // is added for the page's folder.
    std::string m_strExtractPrefix;
    // Picture files kept for inspection so far (QUILLMARK_KEEP_PICTURE_PS),
    // counted across the conversion's pages.
    int32_t m_nKeptFiles = 0;
    // The conversion's Ghostscript process, used when its device is this
    // extractor's; null renders each page's pictures in a run of their own.
    CGhostscriptSession* m_pSession = nullptr;
    // What went wrong with the renderer, for the conversion to report once.
    bool m_bNoRenderer = false;
    bool m_bRendererTimedOut = false;
    bool m_bRenderFailed = false;  // the renderer ran but wrote no picture
    // The conversion was stopped at once during a render: the pictures
    // after it are not rendered, and nothing of it is reported.
    bool m_bRenderStopped = false;

    // A picture whose final file is written, waiting for the page's render.
    struct Finished {
        CRtfImage* picture = nullptr;
        float place[6] = {};
        float cm[6] = {};
        int orientation = 0;
        std::string finalPath;
        std::string raster;
        bool render = false;  // false: kept its raster name unrendered
        bool ok = false;
    };
    // Renders the final files of `pictures` (one Ghostscript run for the
    // page, each file on its own when that run fails) and deletes them.
    void RenderFinished(std::vector<Finished>& pictures);
    // Renders a picture that keeps its coverage: its colours (the final file
    // `finalPath`) and its coverage `alpha` (a copy of that file with the
    // coverage as the picture's samples) each through Ghostscript, put
    // together into `raster` as a PNG or TIFF file with an alpha channel.
    bool RenderWithAlpha(const std::string& finalPath, const std::vector<unsigned char>& alpha, int width,
                         int height, const std::string& raster);

private:
    bool ReadLine(std::string& line);
    void Seek(int64_t pos);
    void Log(const char* text) const;
    bool Stopped() const;
    // The stop request handed to Ghostscript's waits: a stop at once.
    std::function<bool()> StopNow() const;
    bool IsExtractionRun() const;

    std::FILE* m_pFile = nullptr;
    std::string m_strTemplateText;
    char* m_pLineBuf = nullptr;
    size_t m_nLineBufSize = 0;
    // The final file of the picture being written, for the page's render.
    std::string m_strFinalPath;
};
