// The pipeline object of one document conversion: it binds the page XML
// reader, the document's font and colour tables, the page being laid out and
// the RTF writer, and is driven page by page by the conversion loop.
#pragma once

#include <memory>
#include <string>

#include "layout/model.h"

class CRtfXmlParse;
class CRtfFile;

enum RtfLayout : int32_t { kLayoutFlowing = 0, kLayoutExact = 1, kLayoutNoImages = 2, kLayoutPlainText = 3 };

class CRtfDocument : public CTagged {
    QM_TAGGED_CLASS(CRtfDocument, nullptr)
public:
    // Makes a document from a page XML file; null when the path is empty, the
    // reader cannot be made or the font specifications cannot be read.
    // `rtfPath` is where OpenOutput writes.
    static std::unique_ptr<CRtfDocument> CreateDocument(const std::string& xmlPath, const std::string& rtfPath);

    explicit CRtfDocument(std::unique_ptr<CRtfXmlParse> reader);
    ~CRtfDocument() override;

    int OpenOutput();
    void SetLayout(int layout);
    int BeginPage(int page);
    int AddImages(std::vector<std::unique_ptr<CRtfShpObject>>& objects);
    int AddElement(CRtfXmlText* text);
    int EndPage(int flags);
    int Save(const std::string& path);

    // Font and colour tables, filled by the reader. InitTables makes font 0
    // (Times New Roman) and colour 0 (black); the constructor calls it.
    void InitTables();
    // Resolves output font 0 to `name` (making it when the table is empty).
    bool AddFont(const std::string& name);
    bool AddFont(std::unique_ptr<CRtfFont> spec);
    RtfColorData* AddColor(const std::string& text);
    RtfColorData* AddColorHex(uint8_t r, uint8_t g, uint8_t b);
    TRtfFontData<void>* ResolveSpec(CRtfFont* spec);
    CRtfFont* FindSpecByName(const std::string& face) const;
    TRtfFontData<void>* FindFontByName(const std::string& face) const;
    TRtfFontData<void>* FindFontByNumber(int32_t number) const;
    TRtfFontData<void>* DefaultFont();
    // First font specification with the given id, or null.
    CRtfFont* FindSpecById(int32_t id) const;

    void SetInfo(const std::string& author, const std::string& op, const std::string& third,
                 const std::string& subject);
    std::string GetSourceName() const;

    CRtfPage* GetPage() const { return m_pPage.get(); }
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
    TSafeList<RtfColorData> m_colors;
    TSafeList<TRtfFontData<void>> m_fonts;
    TSafeList<CRtfFont> m_specs;
    int32_t m_nPage = 0;
    std::string m_strRtfPath = "local.rtf";
    CRect m_rcPrevPage;
    uint8_t m_bPrevPageFlags = 0;
    int32_t m_nLayout = kLayoutFlowing;

    // Owners of the table entries; the lists above only refer to them.
    std::vector<std::unique_ptr<RtfColorData>> m_colorStore;
    std::vector<std::unique_ptr<TRtfFontData<void>>> m_fontStore;
    std::vector<std::unique_ptr<CRtfFont>> m_specStore;
};
