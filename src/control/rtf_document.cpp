#include "control/rtf_document.h"

#include <new>

#include "layout/xml_parse.h"

std::unique_ptr<CRtfDocument> CRtfDocument::CreateDocument(const std::string& xmlPath, const std::string& rtfPath,
                                                           CLayoutContext* context) {
    if (xmlPath.empty()) return nullptr;
    auto reader = std::make_unique<CRtfXmlParse>(xmlPath);
    auto doc = std::make_unique<CRtfDocument>(std::move(reader), context);
    doc->m_strRtfPath = rtfPath;
    if (!doc->m_pReader->ReadFonts(doc.get())) return nullptr;
    // The header's document information is read but not kept.
    CRtfXmlParse::DocInfo info;
    doc->m_pReader->GetDocInfo(&info);
    return doc;
}

CRtfDocument::CRtfDocument(std::unique_ptr<CRtfXmlParse> reader, CLayoutContext* context)
    : CLayoutDocument(context), m_pReader(std::move(reader)) {
    QM_TAG_INIT();
}

CRtfDocument::~CRtfDocument() {
    // The writer closes the document group; then the reader and the page go.
    m_pFile.reset();
    m_pReader.reset();
    m_pPage.reset();
}

bool CRtfDocument::OpenOutput() {
    if (!m_pFile) {
        try {
            m_pFile = std::make_unique<CRtfFile>(
                this, RtfDocInfo{m_strAuthor, m_strOperator, m_strThird, m_strSubject}, m_strRtfPath);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    if (m_pFile->IsOk()) return true;
    m_pFile.reset();
    return false;
}

void CRtfDocument::SetLayout(int layout) {
    m_nLayout = (layout == kLayoutExact || layout == kLayoutNoImages || layout == kLayoutPlainText) ? layout
                                                                                                    : kLayoutFlowing;
}

bool CRtfDocument::BeginPage(int page) {
    if (!m_pReader) return true;
    if (!m_pPage) {
        try {
            m_pPage = std::make_unique<CRtfPage>(this, page);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    m_pReader->ParsePage(this, page);
    m_nPage = page;
    if (m_pPage && m_nLayout == kLayoutFlowing) m_pPage->BuildFlow();
    return true;
}

int CRtfDocument::AddImages(std::vector<std::unique_ptr<CRtfShpObject>>& objects) {
    if (!m_pPage) return 0;
    return m_pPage->AddObjects(objects);
}

std::vector<CDenseRegion> CRtfDocument::DenseRegions() const {
    return m_pPage ? m_pPage->m_denseRegions : std::vector<CDenseRegion>{};
}

void CRtfDocument::AddDrawing(std::unique_ptr<CRtfImage> picture) {
    if (m_pPage && picture) m_pPage->m_pObjects.push_back(std::move(picture));
}

bool CRtfDocument::AddElement(CRtfXmlText* text) {
    if (!m_pPage) return false;
    return CRtfTextPool::AddText(this, text);
}

void CRtfDocument::EndPage(int flags) {
    // An empty page after the first writes nothing; that is no failure, so
    // the writer's answer is not a page result.
    if (m_pFile && m_pPage) m_pFile->WritePage(m_pPage.get(), m_nLayout, flags);
    if (m_pPage) {
        m_rcPrevPage = m_pPage->m_rect;
        m_bPrevPageFlags = m_pPage->SectionFlags();
        m_pPage.reset();
    }
}

bool CRtfDocument::Close() { return m_pFile != nullptr && m_pFile->Close(); }

void CRtfDocument::SetInfo(const std::string& author, const std::string& op, const std::string& third,
                           const std::string& subject) {
    m_strAuthor = author;
    m_strOperator = op;
    m_strThird = third;
    m_strSubject = subject;
}

std::string CRtfDocument::GetSourceName() const { return m_pReader ? m_pReader->GetFileName() : std::string(); }
