// The document's output fonts and colours.
//
// Every fontspec of the page XML becomes a CRtfFont; each is resolved to an
// output font, an installed family found under the PDF's own
// name, through the user's map file, or else the default Times New Roman.
// Output fonts are numbered in order of first need: these are the \f
// numbers of the RTF font table. Colours are collected without duplicates
// into the colour table, whose positions are the \cf numbers. Both tables
// only ever grow, so numbers handed out stay valid for the whole document.
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "layout/font_table.h"
#include "layout/layout_document.h"
#include "layout/model.h"
#include "platform/files.h"
#include "platform/font_installed.h"
#include "platform/strings.h"

namespace {

const FontNamePair kFontNames[] = {
#include "layout/fontnames.inc"
};

constexpr const char* kDefaultFace = "Times New Roman";

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

const FontNamePair* FontNameTable(std::size_t& count) {
    count = sizeof kFontNames / sizeof kFontNames[0];
    return kFontNames;
}

std::string LookupFamily(const std::string& value) {
    bool known = false;
    return LookupFamily(value, known);
}

std::string LookupFamily(const std::string& value, bool& known) {
    known = false;
    if (value.empty()) return value;
    for (std::size_t i = sizeof kFontNames / sizeof kFontNames[0]; i-- > 0;) {
        if (value.find(kFontNames[i].ps) != std::string::npos) {
            known = i > 0;
            return kFontNames[i].family;
        }
    }
    return value;  // not reached: entry 0 matches every value
}

namespace {
bool IsUsableFaceName(const std::string& name) {
    for (unsigned char c : name) {
        if ((c < 0x20 && c != '\t') || c == 0x7f) return false;
        if (c == '{' || c == '}' || c == '\\' || c == ';') return false;
    }
    return true;
}
}  // namespace

std::string ReadMapFile(const std::string& path, const std::string& name) {
    if (path.empty()) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::string key = name + "=";
    std::string result;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string substitute = line.substr(key.size());
        // A substitute becomes a face name in the RTF font table and a
        // fontconfig query: a line with control bytes (a binary file, a NUL
        // that would cut the name short for fontconfig but not for the
        // document) or RTF's own delimiters is no mapping.
        if (!IsUsableFaceName(substitute)) continue;
        result += substitute;
    }
    return result;
}

bool MapFontName(const std::string& folder, const std::string& name, std::string& result) {
    result.clear();
    std::string path;
    if (!folder.empty())
        path = folder + "/" + kFontMapFile;
    else
        // Without a configured folder the map file shipped with the program
        // (beside it, or in the data folder) serves as the default.
        path = qm::FindDataFile(kFontMapFile);
    if (path.empty()) return false;
    result = qm::Trim(ReadMapFile(path, name));
    return !result.empty();
}

template <>
bool TRtfFontData<void>::Resolve(const std::string& name, const std::string& mapFolder, uint8_t* substituted) {
    if (substituted != nullptr) *substituted = 0;
    if (name.empty()) return false;
    if (qm::IsFontInstalled(name)) {
        m_strName = name;
        return true;
    }
    std::string mapped;
    if (MapFontName(mapFolder, name, mapped) && qm::IsFontInstalled(mapped)) {
        m_strName = mapped;
        if (substituted != nullptr) *substituted = 1;
        return true;
    }
    return false;
}

bool CRtfFont::SetName(const std::string& name) {
    std::string face = name;
    // A '+' at position 0 is part of the name, not the end of a subset tag.
    std::size_t plus = face.find('+');
    if (plus != std::string::npos && plus > 0) face.erase(0, plus + 1);
    for (char& c : face)
        if (c == ',') c = '-';
    m_strName = face;
    return !m_strName.empty();
}

void CRtfFont::SetSize(int32_t size) {
    // The size is a 16-bit field; the value the reader hands over is cut to it.
    const auto v = static_cast<uint16_t>(size);
    m_bNoSize = v == 0 ? 1 : 0;
    m_nSize = v == 0 ? 10 : v;
}

void CRtfFont::SetAlternate(const std::string& name) { m_strAlternate = name; }

CLayoutDocument::CLayoutDocument(CLayoutContext* context)
    : m_pContext(context != nullptr ? context : &m_ownContext) {
    QM_TAG_INIT();
    InitTables();
}

CLayoutDocument::~CLayoutDocument() {
    m_specs.RemoveAll();
    m_fonts.RemoveAll();
    m_colors.RemoveAll();
}

CRtfFont* CLayoutDocument::FindSpecById(int32_t id) const {
    for (CRtfFont* f : m_specs)
        if (f->m_nId == id) return f;
    return nullptr;
}

void CLayoutDocument::InitTables() {
    AddFont(std::string(kDefaultFace));
    AddColorHex(0, 0, 0);
}

bool CLayoutDocument::AddFont(const std::string& name) {
    if (name.empty()) return false;
    if (m_fonts.IsEmpty()) {
        // Font 0 exists whatever the outcome; if the default face cannot be
        // found it keeps an empty name but stays font 0.
        auto font = std::make_unique<TRtfFontData<void>>();
        font->m_nIndex = 0;
        bool ok = font->Resolve(name, Context().m_strFontFolder);
        m_fonts.AddTail(font.get());
        m_fontStore.push_back(std::move(font));
        return ok;
    }
    return m_fonts.GetHead()->Resolve(name, Context().m_strFontFolder);
}

bool CLayoutDocument::AddFont(std::unique_ptr<CRtfFont> spec) {
    if (!spec) return false;
    CRtfFont* s = spec.get();
    m_specStore.push_back(std::move(spec));
    return ResolveSpec(s) != nullptr;
}

TRtfFontData<void>* CLayoutDocument::ResolveSpec(CRtfFont* spec) {
    if (spec == nullptr) return nullptr;
    CRtfFont* earlier = FindSpecByName(spec->m_strName);
    m_specs.AddTail(spec);
    if (earlier != nullptr) {
        spec->m_pFontData = earlier->m_pFontData;
        spec->m_nStyle = earlier->m_nStyle;
        spec->m_bClassFace = spec->m_bClassFace || earlier->m_bClassFace;
        return spec->m_pFontData.get();
    }

    auto candidate = std::make_unique<TRtfFontData<void>>();
    uint8_t substituted = 0;
    bool ok = candidate->Resolve(spec->m_strName, Context().m_strFontFolder, &substituted);
    if (!ok && !spec->m_strAlternate.empty()) {
        ok = candidate->Resolve(spec->m_strAlternate, Context().m_strFontFolder, &substituted);
        spec->m_bClassFace = ok;
    }
    if (!ok) {
        spec->m_pFontData = DefaultFont();
        spec->m_nStyle = 1;
        return spec->m_pFontData.get();
    }

    TRtfFontData<void>* font = FindFontByName(candidate->m_strName);
    if (font == nullptr) {
        candidate->m_nIndex = m_fonts.GetCount();
        font = candidate.get();
        m_fonts.AddTail(font);
        m_fontStore.push_back(std::move(candidate));
    }
    spec->m_pFontData = font;
    spec->m_nStyle = substituted;
    return font;
}

CRtfFont* CLayoutDocument::FindSpecByName(const std::string& face) const {
    for (CRtfFont* f : m_specs)
        if (f->m_strName == face) return f;
    return nullptr;
}

TRtfFontData<void>* CLayoutDocument::FindFontByName(const std::string& face) const {
    for (TRtfFontData<void>* f : m_fonts)
        if (EqualNoCase(f->m_strName, face)) return f;
    return nullptr;
}

TRtfFontData<void>* CLayoutDocument::FindFontByNumber(int32_t number) const {
    for (TRtfFontData<void>* f : m_fonts)
        if (f->m_nIndex == number) return f;
    return nullptr;
}

TRtfFontData<void>* CLayoutDocument::DefaultFont() {
    if (m_fonts.IsEmpty()) AddFont(std::string(kDefaultFace));
    return m_fonts.GetHead();
}

RtfColorData* CLayoutDocument::AddColor(const std::string& text) {
    std::string hex;
    for (char c : text)
        if (c != '"' && c != '#') hex.push_back(c);
    if (hex.size() != 6) return nullptr;
    // strtol stops at the first character that is no hex digit, so a
    // malformed pair reads as what precedes it (often 0), as it always has.
    auto component = [&hex](std::size_t at) {
        return static_cast<uint8_t>(std::strtol(hex.substr(at, 2).c_str(), nullptr, 16));
    };
    return AddColorHex(component(0), component(2), component(4));
}

RtfColorData* CLayoutDocument::AddColorHex(uint8_t r, uint8_t g, uint8_t b) {
    for (RtfColorData* c : m_colors)
        if (c->m_red == r && c->m_green == g && c->m_blue == b && c->m_spare == 0) return c;
    auto color = std::make_unique<RtfColorData>(r, g, b, m_colors.GetCount());
    RtfColorData* p = color.get();
    m_colors.AddTail(p);
    m_colorStore.push_back(std::move(color));
    return p;
}
