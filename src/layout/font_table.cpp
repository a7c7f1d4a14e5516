// Placeholder font and colour tables: every specification maps to the
// default font. Name mapping and resolution replace it.
#include "control/rtf_document.h"
#include "layout/model.h"

void CRtfFont::SetName(const std::string& name) { m_strName = name; }
void CRtfFont::SetSize(int32_t size) {
    m_bNoSize = size == 0;
    m_nSize = static_cast<uint16_t>(size == 0 ? 10 : size);
}
void CRtfFont::SetAlternate(const std::string& name) { m_strAlternate = name; }

TRtfFontData<void>* CRtfDocument::DefaultFont() {
    if (m_fonts.GetCount() == 0) {
        auto f = std::make_unique<TRtfFontData<void>>();
        f->m_strName = "Times New Roman";
        f->m_nIndex = 0;
        m_fonts.AddTail(f.get());
        m_fontStore.push_back(std::move(f));
    }
    return m_fonts.GetHead();
}

bool CRtfDocument::AddFont(std::unique_ptr<CRtfFont> spec) {
    spec->m_pFontData = ResolveSpec(spec.get());
    m_specs.AddTail(spec.get());
    m_specStore.push_back(std::move(spec));
    return true;
}

TRtfFontData<void>* CRtfDocument::ResolveSpec(CRtfFont*) { return DefaultFont(); }
CRtfFont* CRtfDocument::FindSpecByName(const std::string&) const { return nullptr; }
TRtfFontData<void>* CRtfDocument::FindFontByName(const std::string&) const { return nullptr; }
TRtfFontData<void>* CRtfDocument::FindFontByNumber(int32_t number) const {
    for (TRtfFontData<void>* f : m_fonts)
        if (f->m_nIndex == number) return f;
    return nullptr;
}
RtfColorData* CRtfDocument::AddColor(const std::string&) { return nullptr; }
RtfColorData* CRtfDocument::AddColorHex(uint8_t r, uint8_t g, uint8_t b) {
    auto c = std::make_unique<RtfColorData>(r, g, b, m_colors.GetCount());
    m_colors.AddTail(c.get());
    m_colorStore.push_back(std::move(c));
    return m_colors.GetTail();
}
