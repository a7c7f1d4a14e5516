// One file's conversion: the private workspace, the text extraction into the
// page XML document, and the page loops that drive the document pipeline or
// the picture extraction. Also answers how many pages a PDF has.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control/convert_para.h"
#include "layout/model.h"

class PDFDoc;
class CGhostscriptSession;

class CConvertDoc {
public:
    // Conversion of the job's current source file: makes the workspace and
    // copies the PDF into it.
    explicit CConvertDoc(CConvertPara* job);
    // Page-count query on `pdfPath`; owns no workspace.
    explicit CConvertDoc(const std::string& pdfPath);
    virtual ~CConvertDoc();
    CConvertDoc(const CConvertDoc&) = delete;
    CConvertDoc& operator=(const CConvertDoc&) = delete;

    // Converts the job's current source file; returns the result code of
    // its page loop (0 also when the run was cancelled).
    static int Convert(CConvertPara* job);
    // Page count of a PDF, 0 when it does not open.
    static int PageCount(const std::string& pdfPath);

    PDFDoc* OpenPdf(const char* ownerPassword);
    void ClosePdf();
    int ExtractText(int firstPage, int lastPage, const std::string& device);
    int ConvertPages(bool withImages);
    int ExtractImages();
    // The picture step of one page: PostScript production, splitting and
    // rendering into the shared image list (and image files); 0 on success.
    int ImagesForPage(int page, int zero, const std::string& device);
    void ClearWorkspace();

    CConvertPara* m_pJob = nullptr;
    double m_fZoom = 1.5;
    std::unique_ptr<PDFDoc> m_pPdf;
    std::string m_strWorkspace;
    std::string m_strBaseName;
    int32_t m_nRotation = 0;

private:
    int ProgressFor(int page) const;
    void WarnIfPageTooLarge(int page);
    bool m_bOwnsWorkspace = false;
    bool m_bCopied = false;
    bool m_bOutDirOk = false;
    bool m_bRebuiltReported = false;
    // The Ghostscript process that renders this conversion's pictures,
    // started with the first picture.
    std::unique_ptr<CGhostscriptSession> m_pRenderer;
};

// Process-wide state of the conversion, one run at a time.
CConvertDoc* CurrentConvertDoc();
// Pictures and drawn paths made by the picture step for the current page.
std::vector<std::unique_ptr<CRtfShpObject>>& SharedImageList();
void ClearSharedImageList();
// Registry key under which the font map folder is looked up.
std::string& FontMapKey();
