// The picture step of a conversion: for each page, the page is written as
// PostScript by Poppler's PostScript device, which records its pictures and,
// in document runs, its drawn paths; the pictures are split into files of
// their own and rendered by Ghostscript. Document runs hand the pictures
// and paths back to be placed on the page; the image-extraction run keeps
// the files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "images/image_extractor.h"
#include "layout/model.h"

class PDFDoc;
class CGhostscriptSession;

// Where the picture step reports, supplied by the conversion.
class IPictureLog {
public:
    virtual ~IPictureLog() = default;
    virtual void ShowMessage(const char* text) = 0;
    // Something the user must hear of: pictures were left out.
    virtual void ShowWarning(const char* text) = 0;
    // The user asked to stop; the pictures not yet rendered are left.
    virtual bool Cancelled() const = 0;
    // The user asked to stop at once: a render under way is killed too.
    // Asked from the waits for Ghostscript, often.
    virtual bool StoppedNow() const { return false; }
};

// What the conversion asks of the picture step.
struct CPictureRequest {
    std::string m_strWorkspace;  // the conversion's private folder
    std::string m_strBaseName;   // the PDF's name without folder and extension
    std::string m_strOutDir;     // where extracted pictures go, one folder per page
    bool m_bExtraction = false;  // extract pictures rather than make a document
    bool m_bRemoveImages = false;  // a document without pictures (drawn paths stay)
};

// The pictures and drawn paths of one page and how their making went.
struct CPagePictures {
    PictureResult m_result = PictureResult::kOk;
    int32_t m_nRotation = 0;  // the page's turn: 0, 90, 180 or 270
    std::vector<std::unique_ptr<CRtfShpObject>> m_objects;
};

// One per conversion: it keeps the conversion's Ghostscript process and says
// each kind of renderer trouble once.
class CPictureStep {
public:
    CPictureStep(CPictureRequest request, IPictureLog* log);
    ~CPictureStep();
    CPictureStep(const CPictureStep&) = delete;
    CPictureStep& operator=(const CPictureStep&) = delete;

    // The picture step of page `page` of `pdf`; `device` is Ghostscript's
    // device for extracted pictures (documents always embed JPEG).
    CPagePictures ImagesForPage(PDFDoc* pdf, int page, int zero, const std::string& device);

    // The drawing of `region` of page `page` of `pdf`, without text and
    // pictures, as a picture placed there behind the text; null when it
    // could not be rendered (said once per conversion).
    std::unique_ptr<CRtfImage> DrawingPicture(PDFDoc* pdf, int page, const CDenseRegion& region);

private:
    CPictureRequest m_request;
    IPictureLog* m_pLog;
    // The Ghostscript process that renders this conversion's pictures,
    // started with the first picture.
    std::unique_ptr<CGhostscriptSession> m_pRenderer;
    // Renderer trouble is reported once per conversion, and a conversion
    // without a renderer stops trying.
    bool m_bNoRenderer = false;
    bool m_bTimeoutReported = false;
    bool m_bRenderFailedReported = false;
    bool m_bDrawingFailedReported = false;
    // Picture files kept for inspection so far (QUILLMARK_KEEP_PICTURE_PS).
    int32_t m_nKeptFiles = 0;
};
