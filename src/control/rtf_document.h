// The pipeline object of one document conversion: it binds the page XML
// reader, the document's font and colour tables, the page being laid out and
// the RTF writer, and is driven page by page by the conversion loop. The
// reader and the layout engine see it only as the document of their own
// stage (CLayoutDocument), the writer only through what it is handed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "layout/layout_document.h"
#include "rtf/rtf_file.h"

class CRtfXmlParse;

class CRtfDocument : public CLayoutDocument {
    QM_TAGGED_CLASS(CRtfDocument, CLayoutDocument::StaticTag())
public:
    // Makes a document from a page XML file; null when the path is empty, the
    // reader cannot be made or the font specifications cannot be read.
    // `rtfPath` is where OpenOutput writes. `context` is the conversion's
    // (see CLayoutDocument).
    static std::unique_ptr<CRtfDocument> CreateDocument(const std::string& xmlPath, const std::string& rtfPath,
                                                        CLayoutContext* context = nullptr);

    CRtfDocument(std::unique_ptr<CRtfXmlParse> reader, CLayoutContext* context = nullptr);
    ~CRtfDocument() override;

    // Whether the RTF file is open and its header written.
    bool OpenOutput();
    void SetLayout(int layout);
    // False when no page object can be made.
    bool BeginPage(int page);
    // Hands the pictures and drawn paths of the current page to it; the
    // number the page took (0 without a current page).
    int AddImages(std::vector<std::unique_ptr<CRtfShpObject>>& objects);
    // Where the current page's drawing is to be a picture, once its paths
    // are handed over; and the hand-over of such a picture.
    std::vector<CDenseRegion> DenseRegions() const;
    void AddDrawing(std::unique_ptr<CRtfImage> picture);
    bool AddElement(CRtfXmlText* text) override;
    // Writes the current page and drops it. A failed write shows when the
    // document is closed.
    void EndPage(int flags);
    // Writes the closing brace and closes the file; false when any write
    // of the document failed.
    bool Close();

    void SetInfo(const std::string& author, const std::string& op, const std::string& third,
                 const std::string& subject);
    std::string GetSourceName() const override;

    CRtfPage* GetPage() const override { return m_pPage.get(); }
    CRtfXmlParse* GetReader() const { return m_pReader.get(); }
    CRtfFile* GetWriter() const { return m_pFile.get(); }
    int GetLayout() const { return m_nLayout; }

    std::unique_ptr<CRtfPage> m_pPage;
    std::unique_ptr<CRtfXmlParse> m_pReader;
    std::unique_ptr<CRtfFile> m_pFile;
    std::string m_strAuthor;
    std::string m_strOperator;
    std::string m_strThird;
    std::string m_strSubject;
    int32_t m_nPage = 0;
    std::string m_strRtfPath = "local.rtf";
    CRect m_rcPrevPage;
    uint8_t m_bPrevPageFlags = 0;
    int32_t m_nLayout = kLayoutFlowing;
};
