// The document as the reader and the layout engine see it: the font and
// colour tables every page of it shares, the page being read, and what the
// conversion tells the layout. The pipeline object of the conversion (above
// this stage) is the one implementation; the layout never sees more of it,
// so the stages below the conversion call it only through this class.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "layout/context.h"
#include "layout/model.h"

class CLayoutDocument : public CTagged {
    QM_TAGGED_CLASS(CLayoutDocument, nullptr)
public:
    // `context` is the conversion's; without one the document keeps its own
    // (documents made outside a conversion, as in tests). Makes font 0
    // (Times New Roman) and colour 0 (black).
    explicit CLayoutDocument(CLayoutContext* context);
    ~CLayoutDocument() override;
    CLayoutDocument(const CLayoutDocument&) = delete;
    CLayoutDocument& operator=(const CLayoutDocument&) = delete;

    // The page being read, between the start and the end of a page.
    virtual CRtfPage* GetPage() const = 0;
    // Hands one fragment read for the current page to the page's intake;
    // whether the page took it.
    virtual bool AddElement(CRtfXmlText* text) = 0;
    // The page XML file's name without folder; links into the document
    // start with it.
    virtual std::string GetSourceName() const = 0;

    CLayoutContext& Context() { return *m_pContext; }

    // Font and colour tables, filled by the reader.
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

    // Pages that links of the document lead to (1-based, as the page XML
    // numbers them); each gets a bookmark at its top for the links.
    std::set<int32_t> m_linkedPages;

    TSafeList<RtfColorData> m_colors;
    TSafeList<TRtfFontData<void>> m_fonts;
    TSafeList<CRtfFont> m_specs;

    // Owners of the table entries; the lists above only refer to them.
    std::vector<std::unique_ptr<RtfColorData>> m_colorStore;
    std::vector<std::unique_ptr<TRtfFontData<void>>> m_fontStore;
    std::vector<std::unique_ptr<CRtfFont>> m_specStore;

private:
    CLayoutContext m_ownContext;
    CLayoutContext* m_pContext;
};
