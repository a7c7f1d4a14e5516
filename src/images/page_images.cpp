// The picture step of one page: the page is written as PostScript by
// Poppler's PostScript device (which records its pictures and, in document
// runs, its drawn paths into the shared image list), then split into one
// file per picture and rendered by Ghostscript. Document runs embed the
// pictures and draw the paths; the image-extraction run keeps the files.
#include <PDFDoc.h>

#include <filesystem>
#include <system_error>

#include "control/convert_doc.h"
#include "images/ghostscript.h"
#include "images/ghostscript_session.h"
#include "images/image_extractor.h"
#include "images/page_ps_device.h"

namespace {

// Renderer trouble is reported once per conversion (keyed by its private
// workspace), and a conversion without a renderer stops trying.
std::string g_strNoRendererFor;
std::string g_strTimeoutReportedFor;
std::string g_strRenderFailedFor;

}  // namespace

int CConvertDoc::ImagesForPage(int page, int zero, const std::string& device) {
    if (!m_pPdf || m_pJob == nullptr || page < 1 || page > m_pPdf->getNumPages()) return 0;
    CConvertPara* job = m_pJob;
    const bool extraction = job->m_nKind == kRunExtractImages;
    int rotation = m_pPdf->getPageRotate(page) % 360;
    if (rotation < 0) rotation += 360;
    m_nRotation = (rotation == 90 || rotation == 180 || rotation == 270) ? rotation : 0;

    // Writing a page's PostScript costs far more than a look at what the
    // page draws; pages without pictures (or, in documents, without paths)
    // are left alone.
    if (!PageHasGraphics(m_pPdf.get(), page, !extraction)) return 0;

    auto& objects = SharedImageList();
    const std::string psPath = m_strWorkspace + "/" + m_strBaseName + ".ps";
    const bool renderer = g_strNoRendererFor != m_strWorkspace;
    // Documents without pictures keep their drawn paths and skip the rest.
    const bool wanted = extraction || job->m_nRemoveImages == 0;
    // Converting and embedding the page's fonts is most of the cost of its
    // PostScript, and none of it is ever read: text is not written, and
    // each picture is cut out from where the device recorded its code.
    // Type 3 fonts are the exception, as the device draws their glyphs
    // while it sets them up, which records paths and must not change.
    const bool fonts = PageHasType3Fonts(m_pPdf.get(), page);
    // The file is only read to cut out pictures.
    int pictures = WritePagePostScript(m_pPdf.get(), page, psPath, &objects, !extraction, wanted && renderer, fonts);
    int result = 0;
    if (pictures > 0 && wanted && renderer) {
        // Pictures embedded in a document are always JPEG (they are written
        // under \jpegblip), whatever device an extraction left in the job.
        CImageExtractor extractor(psPath, page, extraction ? device : std::string("jpeg"), &objects);
        extractor.m_pJob = job;
        if (!m_strWorkspace.empty() && (!m_pRenderer || m_pRenderer->Device() != extractor.m_strDevice)) {
            // Picture files lie in page folders below the workspace (documents)
            // or the output folder (extraction).
            std::error_code ec;
            std::vector<std::string> readable = {std::filesystem::absolute(m_strWorkspace, ec).string(),
                                                 std::filesystem::absolute(job->m_strOutDir, ec).string()};
            m_pRenderer = std::make_unique<CGhostscriptSession>(extractor.m_strDevice, m_strWorkspace + "/render",
                                                                std::move(readable));
        }
        extractor.m_pSession = m_pRenderer.get();
        extractor.m_nRotation = m_nRotation;
        result = extractor.ExtractPagePictures(zero != 0);
        extractor.Close();
        if (extractor.m_bNoRenderer) {
            g_strNoRendererFor = m_strWorkspace;
            std::string text = "Ghostscript (" + GhostscriptProgram() +
                               ") could not be started: pictures are left out. Install Ghostscript or set "
                               "QUILLMARK_GS to its program.";
            job->ShowWarning(text.c_str());
        }
        if (extractor.m_bRendererTimedOut && g_strTimeoutReportedFor != m_strWorkspace) {
            g_strTimeoutReportedFor = m_strWorkspace;
            job->ShowWarning("Ghostscript did not finish a picture in time and was stopped; the picture is left out.");
        }
        if (extractor.m_bRenderFailed && g_strRenderFailedFor != m_strWorkspace) {
            g_strRenderFailedFor = m_strWorkspace;
            std::string text = "Ghostscript (" + GhostscriptProgram() + ") failed on a picture; the picture is left out.";
            job->ShowWarning(text.c_str());
        }
        // An extraction run has nothing to show for a picture that no
        // renderer wrote: that is a failure, not an empty success.
        if (extraction && result == 0 &&
            (extractor.m_bNoRenderer || extractor.m_bRendererTimedOut || extractor.m_bRenderFailed))
            result = kResultNoRenderer;
    }
    if (extraction && pictures > 0 && !renderer) result = kResultNoRenderer;
    std::error_code ec;
    std::filesystem::remove(psPath, ec);
    return pictures < 0 ? 0 : result;
}
