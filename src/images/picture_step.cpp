#include "images/picture_step.h"

#include <PDFDoc.h>
#include <goo/GooString.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <system_error>

#include "images/ghostscript.h"
#include "images/ghostscript_session.h"
#include "images/image_extractor.h"
#include "images/page_ps_device.h"

namespace {
// Dots per inch of a page's drawing rendered as a picture: rules and
// lettering of drawings stay sharp in print previews and on screen, and a
// whole page of line art stays some hundred kilobytes as PNG.
constexpr int kDrawingDpi = 150;
}  // namespace

CPictureStep::CPictureStep(CPictureRequest request, IPictureLog* log) : m_request(std::move(request)), m_pLog(log) {}

// Ghostscript ends before the conversion removes its folder.
CPictureStep::~CPictureStep() = default;

CPagePictures CPictureStep::ImagesForPage(PDFDoc* pdf, int page, int zero, const std::string& device) {
    CPagePictures out;
    if (pdf == nullptr || page < 1 || page > pdf->getNumPages()) return out;
    const bool extraction = m_request.m_bExtraction;
    const std::string& workspace = m_request.m_strWorkspace;
    int rotation = pdf->getPageRotate(page) % 360;
    if (rotation < 0) rotation += 360;
    out.m_nRotation = (rotation == 90 || rotation == 180 || rotation == 270) ? rotation : 0;

    // Writing a page's PostScript costs far more than a look at what the
    // page draws; pages without pictures (or, in documents, without paths)
    // are left alone.
    if (!PageHasGraphics(pdf, page, !extraction)) return out;

    auto& objects = out.m_objects;
    const std::string psPath = workspace + "/" + m_request.m_strBaseName + ".ps";
    const bool renderer = !m_bNoRenderer;
    // Documents without pictures keep their drawn paths and skip the rest.
    const bool wanted = extraction || !m_request.m_bRemoveImages;
    // Converting and embedding the page's fonts is most of the cost of its
    // PostScript, and none of it is ever read: text is not written, and
    // each picture is cut out from where the device recorded its code.
    // Type 3 fonts are the exception, as the device draws their glyphs
    // while it sets them up, which records paths and must not change.
    const bool fonts = PageHasType3Fonts(pdf, page);
    // The file is only read to cut out pictures.
    // Extracted PNG and TIFF files keep the coverage of pictures with a mask.
    const bool alpha = extraction && DeviceKeepsAlpha(device);
    int pictures = WritePagePostScript(pdf, page, psPath, &objects, !extraction, wanted && renderer, fonts, alpha);
    PictureResult result = PictureResult::kOk;
    if (pictures > 0 && wanted && renderer) {
        // Pictures embedded in a document are always JPEG (they are written
        // under \jpegblip), whatever device an extraction asked for.
        CImageExtractor extractor(psPath, page, extraction ? device : std::string("jpeg"), &objects);
        extractor.m_pLog = m_pLog;
        extractor.m_bExtraction = extraction;
        extractor.m_bRemoveImages = m_request.m_bRemoveImages;
        extractor.m_strExtractPrefix = m_request.m_strOutDir + "/" + m_request.m_strBaseName;
        extractor.m_nKeptFiles = m_nKeptFiles;
        if (!workspace.empty() && (!m_pRenderer || m_pRenderer->Device() != extractor.m_strDevice)) {
            // Picture files lie in page folders below the workspace (documents)
            // or the output folder (extraction).
            std::error_code ec;
            std::vector<std::string> readable = {std::filesystem::absolute(workspace, ec).string(),
                                                 std::filesystem::absolute(m_request.m_strOutDir, ec).string()};
            std::function<bool()> stop;
            if (m_pLog != nullptr) stop = [log = m_pLog] { return log->StoppedNow(); };
            m_pRenderer = std::make_unique<CGhostscriptSession>(extractor.m_strDevice, workspace + "/render",
                                                                std::move(readable), std::move(stop));
        }
        extractor.m_pSession = m_pRenderer.get();
        extractor.m_nRotation = out.m_nRotation;
        result = extractor.ExtractPagePictures(zero != 0);
        extractor.Close();
        m_nKeptFiles = extractor.m_nKeptFiles;
        if (extractor.m_bNoRenderer) {
            m_bNoRenderer = true;
            std::string text = "Ghostscript (" + GhostscriptProgram() +
                               ") could not be started: pictures are left out. Install Ghostscript or set "
                               "QUILLMARK_GS to its program.";
            if (m_pLog != nullptr) m_pLog->ShowWarning(text.c_str());
        }
        if (extractor.m_bRendererTimedOut && !m_bTimeoutReported) {
            m_bTimeoutReported = true;
            if (m_pLog != nullptr)
                m_pLog->ShowWarning(
                    "Ghostscript did not finish a picture in time and was stopped; the picture is left out.");
        }
        if (extractor.m_bRenderFailed && !m_bRenderFailedReported) {
            m_bRenderFailedReported = true;
            std::string text = "Ghostscript (" + GhostscriptProgram() + ") failed on a picture; the picture is left out.";
            if (m_pLog != nullptr) m_pLog->ShowWarning(text.c_str());
        }
        // An extraction run has nothing to show for a picture that no
        // renderer wrote: that is a failure, not an empty success.
        if (extraction && result == PictureResult::kOk &&
            (extractor.m_bNoRenderer || extractor.m_bRendererTimedOut || extractor.m_bRenderFailed))
            result = PictureResult::kNoRenderer;
    }
    if (extraction && pictures > 0 && !renderer) result = PictureResult::kNoRenderer;
    std::error_code ec;
    std::filesystem::remove(psPath, ec);
    out.m_result = pictures < 0 ? PictureResult::kOk : result;
    return out;
}

std::unique_ptr<CRtfImage> CPictureStep::DrawingPicture(PDFDoc* pdf, int page, const CDenseRegion& region) {
    if (pdf == nullptr || pdf->getFileName() == nullptr || page < 1 || page > pdf->getNumPages()) return nullptr;
    if (m_bNoRenderer || (m_pLog != nullptr && m_pLog->Cancelled())) return nullptr;
    const std::string output = m_request.m_strWorkspace + "/drawing" + std::to_string(page) + ".png";
    const double box[4] = {region.x0, region.y0, region.x1, region.y1};
    std::function<bool()> stop;
    if (m_pLog != nullptr) stop = [log = m_pLog] { return log->StoppedNow(); };
    int exitCode = -1;
    const RenderStatus status =
        RunAndWaitFor(GhostscriptDrawingArguments(pdf->getFileName()->toStr(), page, box, kDrawingDpi, output),
                      GhostscriptTimeout(), &exitCode, stop);
    auto picture = std::make_unique<CRtfImage>();
    picture->m_bDrawing = true;
    picture->m_n1 = page;
    // The region is already the page as shown: no rotation is applied.
    const double place[6] = {region.x1 - region.x0, 0, 0, region.y1 - region.y0, region.x0, region.y0};
    std::copy(place, place + 6, picture->m_place);
    const bool ok = status == RenderStatus::kOk && exitCode == 0 && picture->SetImageFile(output, false);
    std::error_code ec;
    std::filesystem::remove(output, ec);
    if (ok) return picture;
    if (status == RenderStatus::kNoProgram) m_bNoRenderer = true;
    if (!m_bDrawingFailedReported && status != RenderStatus::kStopped && m_pLog != nullptr) {
        m_bDrawingFailedReported = true;
        std::string text =
            "Ghostscript (" + GhostscriptProgram() + ") could not render a page's drawing; the drawing is left out.";
        m_pLog->ShowWarning(text.c_str());
    }
    return nullptr;
}
