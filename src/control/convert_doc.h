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
    // Conversion of `source` for `job`: makes the workspace and copies the
    // PDF into it.
    CConvertDoc(CConvertPara* job, const std::string& source);
    // Page-count query on `pdfPath`; owns no workspace.
    explicit CConvertDoc(const std::string& pdfPath);
    virtual ~CConvertDoc();
    CConvertDoc(const CConvertDoc&) = delete;
    CConvertDoc& operator=(const CConvertDoc&) = delete;

    // Converts `source` as `job` asks; the outcome's result is that of its
    // page loop (ok also when the run was cancelled).
    static CFileOutcome Convert(CConvertPara* job, const std::string& source);
    // Writes only the page XML document of `source` to `xmlPath`.
    static CFileOutcome WritePageXml(CConvertPara* job, const std::string& source, const std::string& xmlPath);
    // Page count of a PDF, 0 when it does not open. `locked` (if given) is
    // set when it did not open for want of the right password.
    static int PageCount(const std::string& pdfPath, const std::string& password = {}, bool* locked = nullptr);
    // The outcome's target that Convert would give `source`: the RTF
    // document, or for a picture run the folder and base name the page
    // folders start with.
    static std::string TargetFor(const CConvertPara* job, const std::string& source);
    // The folder the job's documents go to, as the conversion names it.
    static std::string OutputFolderOf(const CConvertPara* job);
    // The folder `source`'s output goes to: the job's output folder, or
    // with a mirror root the folder of the source relative to the root
    // under it.
    static std::string OutputFolderFor(const CConvertPara* job, const std::string& source);
    // The file a finished conversion of `source` leaves: TargetFor's
    // document, under its ".doc" name when the job makes Word documents.
    // Empty for a picture run, which has no single final file.
    static std::string FinalOutputFor(const CConvertPara* job, const std::string& source);
    // The folder of `source` relative to `root` ("" for the root itself),
    // or false when `source` is not below `root`. Both are taken as
    // written, made absolute and normalised, without following symbolic
    // links: the tree is mirrored as its names show it.
    static bool RelativeFolderUnder(const std::string& root, const std::string& source, std::string& folder);

    PDFDoc* OpenPdf(const char* ownerPassword);
    void ClosePdf();
    ConvertResult ExtractText(int firstPage, int lastPage, const std::string& device);
    ConvertResult ConvertPages(bool withImages);
    ConvertResult ExtractImages();
    // The picture step of one page: PostScript production, splitting and
    // rendering; the page's pictures and drawn paths come back (image files
    // stay in an extraction run).
    CPagePictures ImagesForPage(int page, int zero, const std::string& device);
    void ClearWorkspace();

    CConvertPara* m_pJob = nullptr;
    double m_fZoom = 1.5;
    std::unique_ptr<PDFDoc> m_pPdf;
    // The file's own paths: the source, its copy's folder and base name,
    // the page XML document, the output folder and the RTF document.
    std::string m_strSource;
    std::string m_strWorkspace;
    std::string m_strBaseName;
    std::string m_strXmlPath;
    std::string m_strOutDir;
    std::string m_strRtfPath;
    // The page loop: the page under way and the range (the last page is
    // the PDF's page count once the text is read).
    int32_t m_nCurPage = 0;
    int32_t m_nFirstPage = 1;
    int32_t m_nLastPage = -1;
    int32_t m_nRotation = 0;
    // The PDF core's error code when the PDF did not open.
    int32_t m_nPdfError = 0;
    // Pages done by the page loop.
    int32_t m_nPagesDone = 0;
    // Pages whose only text is an invisible text layer (scans with their
    // recognised text), ascending, as the text device found them.
    std::vector<int> m_hiddenTextPages;

private:
    // The run of Convert once the workspace is made.
    ConvertResult Run();
    int ProgressFor(int page) const;
    // Leaves out the scan pictures of a page whose invisible text layer
    // became its text: the pictures that cover at least half the page.
    void DropScanPictures(int page, CPagePictures& pictures) const;
    void WarnIfPageTooLarge(int page);
    // Where the picture step reports: the job's callbacks and cancel flag.
    void ShowMessage(const char* text) override;
    void ShowWarning(const char* text) override;
    bool Cancelled() const override;
    bool StoppedNow() const override;
    bool m_bOwnsWorkspace = false;
    bool m_bCopied = false;
    bool m_bOutDirOk = false;
    bool m_bRebuiltReported = false;
    // The password of a page-count query, which has no job.
    std::string m_strQueryPassword;
    // The document (or every selected page's pictures) is in place.
    bool m_bFinished = false;
    // The page loop stopped at a cancel with selected pages still to do.
    bool m_bPagesLeft = false;
    // Whether a selected page lies from the page under way to the last.
    bool SelectedPagesLeft() const;
    // What this conversion tells its layout and counts for it.
    CLayoutContext m_layout;
    // The picture step with its Ghostscript process, made with the first
    // page that needs it.
    std::unique_ptr<CPictureStep> m_pPictures;
};
