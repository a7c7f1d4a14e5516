// One file's conversion: the private workspace, the text extraction into the
// page XML document, and the page loops that drive the document pipeline or
// the picture extraction. Also answers how many pages a PDF has.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control/convert_para.h"
#include "images/picture_step.h"
#include "layout/context.h"

class PDFDoc;

class CConvertDoc : private IPictureLog {
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
    // rendering; the page's pictures and drawn paths come back (image files
    // stay in an extraction run).
    CPagePictures ImagesForPage(int page, int zero, const std::string& device);
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
    // Where the picture step reports: the job's callbacks and cancel flag.
    void ShowMessage(const char* text) override;
    void ShowWarning(const char* text) override;
    bool Cancelled() const override;
    bool m_bOwnsWorkspace = false;
    bool m_bCopied = false;
    bool m_bOutDirOk = false;
    bool m_bRebuiltReported = false;
    // What this conversion tells its layout and counts for it.
    CLayoutContext m_layout;
    // The picture step with its Ghostscript process, made with the first
    // page that needs it.
    std::unique_ptr<CPictureStep> m_pPictures;
};
