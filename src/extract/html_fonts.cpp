// Fonts, colours and the text filter of the text output device.
#include "extract/html_fonts.h"

#include <GlobalParams.h>
#include <UnicodeMap.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "extract/trunc.h"

const char* const kDefaultFontName = "Times New Roman";

namespace {

// Family names for the symbol faces whose PDF names differ from the names
// the word processor knows. The comparison is exact: "SymbolMT" is not
// "symbolmt" and keeps its own name.
struct FamilyEntry {
    const char* name;
    const char* family;
};
constexpr FamilyEntry kFamilyTable[] = {
    {"symbolmt", "Symbol"},
    {"wingdings", "Wingdings"},
    {"wingdings3", "Wingdings 3"},
    {"wingdings2", "Wingdings 2"},
};

constexpr const char* kFixedFace = "CourierNew";

// Font descriptor flags (PDF Reference, table "Font flags").
constexpr int kFlagFixedPitch = 1 << 0;
constexpr int kFlagSerif = 1 << 1;
constexpr int kFlagSymbolic = 1 << 2;
constexpr int kFlagNonSymbolic = 1 << 5;

int ColorByte(int c) { return TruncToInt(static_cast<double>(c) * 255.0 / 65536.0 + 0.5); }

bool Contains(const std::string& haystack, const char* needle) { return haystack.find(needle) != std::string::npos; }

void AppendUnsigned(std::string& out, unsigned v) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void AppendEscape(std::string& out, unsigned v) {
    out.append("\\uc1\\u");
    AppendUnsigned(out, v);
    out.push_back('X');
}

}  // namespace

HtmlColor::HtmlColor(int red, int green, int blue) {
    int rr = ColorByte(red);
    int gg = ColorByte(green);
    int bb = ColorByte(blue);
    if (rr < 0 || rr > 255 || gg < 0 || gg > 255 || bb < 0 || bb > 255) {
        std::fputs("Error : Bad color \n", stdout);
        return;
    }
    r = static_cast<uint32_t>(rr);
    g = static_cast<uint32_t>(gg);
    b = static_cast<uint32_t>(bb);
}

std::string HtmlColor::ToString() const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", r & 0xffu, g & 0xffu, b & 0xffu);
    return buf;
}

std::string_view ClassFace(std::string_view name, int flags) {
    std::string lower(name.substr(name.find('+') == std::string_view::npos ? 0 : name.find('+') + 1));
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    // The foundry's name says nothing about the face ("MonotypeCorsiva").
    for (size_t at; (at = lower.find("monotype")) != std::string::npos;) lower.erase(at, 8);
    // Code listings lose their columns in a proportional face, so a name
    // that says fixed pitch wins over everything else.
    static const char* const kFixed[] = {"mono", "courier", "typewriter", "consol", "cmtt", "sftt", "ectt",
                                         "fixed", "menlo", "inconsolata", "sourcecode", "lucidaconsole"};
    for (const char* w : kFixed)
        if (Contains(lower, w)) return kFixedFace;
    // Symbol fonts (TeX's math fonts among them) call themselves fixed
    // pitch for no reason that shows.
    if ((flags & kFlagFixedPitch) != 0 && (flags & kFlagSymbolic) == 0) return kFixedFace;
    static const char* const kSans[] = {"sans",     "arial",  "helvetica", "verdana", "tahoma",  "calibri",
                                        "segoe",    "gothic", "grotesk",   "grotesque", "frutiger", "univers",
                                        "futura",   "myriad", "gill",      "roboto",  "trebuchet",
                                        "franklin", "avenir", "cmss",      "lmss",    "optima",  "candara"};
    if (Contains(lower, "serif") && !Contains(lower, "sans")) return {};
    for (const char* w : kSans)
        if (Contains(lower, w)) return "Arial";
    // Only a font descriptor says non-symbolic; one that also leaves out
    // the serif flag describes a sans serif face.
    if ((flags & kFlagNonSymbolic) != 0 && (flags & kFlagSerif) == 0) return "Arial";
    return {};
}

HtmlFont::HtmlFont(std::string_view name, unsigned size, const HtmlColor& color, std::string_view alternate,
                   unsigned pitch)
    : m_nSize(size), m_strName(name), m_color(color), m_strAlternate(alternate), m_nPitch(pitch) {
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    // Arial-Black and the like are as heavy as bold, and the word processor
    // has no other way to show them.
    m_bBold = Contains(lower, "bold") || Contains(lower, "black");
    m_bItalic = Contains(lower, "italic") || Contains(lower, "oblique");
}

std::string_view HtmlFont::Family() const {
    std::string_view name = m_strName.empty() ? std::string_view(kDefaultFontName) : std::string_view(m_strName);
    for (const FamilyEntry& e : kFamilyTable) {
        if (name == e.name) return e.family;
    }
    return name;
}

bool HtmlFont::IsSame(const HtmlFont& other) const {
    return m_nSize == other.m_nSize && m_bItalic == other.m_bItalic && m_bBold == other.m_bBold &&
           m_nFamilyIndex == other.m_nFamilyIndex && m_strName == other.m_strName && m_color == other.m_color;
}

std::string HtmlFontList::Key(std::string_view name, unsigned size, const HtmlColor& color) {
    std::string key(name);
    key.push_back('\0');
    const unsigned parts[4] = {size, color.r, color.g, color.b};
    key.append(reinterpret_cast<const char*>(parts), sizeof parts);
    return key;
}

int HtmlFontList::AddFont(const HtmlFont& font) {
    std::string key = Key(font.GetName(), font.GetSize(), font.GetColor());
    auto it = m_index.find(key);
    if (it != m_index.end()) return m_nLast = it->second;
    m_fonts.push_back(font);
    m_nLast = Size() - 1;
    m_index.emplace(std::move(key), m_nLast);
    return m_nLast;
}

int HtmlFontList::AddFont(std::string_view name, unsigned size, const HtmlColor& color,
                          const std::function<FontTraits()>& traits) {
    // Runs mostly follow each other in one font: try the last one first.
    if (m_nLast >= 0) {
        const HtmlFont& f = Get(m_nLast);
        if (f.GetSize() == size && f.GetColor() == color && f.GetName() == name) return m_nLast;
    }
    auto it = m_index.find(Key(name, size, color));
    if (it != m_index.end()) return m_nLast = it->second;
    const FontTraits t = traits();
    const std::string_view face = ClassFace(name, t.flags);
    // Only the fixed-pitch stand-in is fitted to the font's advance.
    const unsigned pitch = face == kFixedFace ? t.pitch : 0;
    return AddFont(HtmlFont(name, size, color, face, pitch));
}

std::string HtmlFontList::FontSpec(int id) const {
    const HtmlFont& f = Get(id);
    std::string s = "<fontspec id=\"";
    AppendUnsigned(s, static_cast<unsigned>(id));
    s.append("\" size=\"");
    AppendUnsigned(s, f.GetSize());
    s.append("\" family=\"");
    s.append(f.Family());
    s.append("\" alternate=\"");
    s.append(f.GetAlternate());
    if (f.GetPitch() != 0) {
        s.append("\" pitch=\"");
        AppendUnsigned(s, f.GetPitch());
    }
    s.append("\" color=\"");
    s.append(f.GetColor().ToString());
    s.append("\">");
    return s;
}

HtmlTextFilter::HtmlTextFilter(const UnicodeMap* map) {
    if (map == nullptr) return;
    m_bHasMap = true;
    for (Unicode u = 0; u <= 256; ++u) {
        int n = map->mapUnicode(u, m_bytes[u], static_cast<int>(sizeof m_bytes[u]));
        m_len[u] = static_cast<unsigned char>(n < 0 ? 0 : n);
    }
    // Line ends inside a run would split the data line of its text element
    // and the reader would lose the rest of the run: drop them here.
    m_len[0x0a] = 0;
    m_len[0x0d] = 0;
}

void HtmlTextFilter::Append(std::string& out, const Unicode* u, int len) const {
    if (!m_bHasMap || len <= 0) return;
    out.reserve(out.size() + static_cast<size_t>(len));
    for (int i = 0; i < len; ++i) {
        const Unicode c = u[i];
        switch (c) {
            case '"': out.append("&quot;"); continue;
            case '&': out.append("&amp;"); continue;
            case '<': out.append("&lt;"); continue;
            case '>': out.append("&gt;"); continue;
            default: break;
        }
        if (c <= 256) {
            // Nearly every character is one byte: no length-taking append.
            if (m_len[c] == 1) {
                out.push_back(m_bytes[c][0]);
            } else {
                out.append(m_bytes[c], m_len[c]);
            }
        } else if (c <= 0xffff) {
            AppendEscape(out, c);
        } else if (c <= 0x10ffff) {
            // RTF readers take at most 16 bits per \u word: a character
            // beyond the Basic Multilingual Plane travels as its surrogate
            // pair, which readers join back into one character.
            const Unicode v = c - 0x10000;
            AppendEscape(out, 0xd800 + (v >> 10));
            AppendEscape(out, 0xdc00 + (v & 0x3ff));
        }
        // Values past U+10FFFF are no characters at all: dropped.
    }
}

std::string FilterText(const Unicode* u, int len) {
    std::string out;
    if (!globalParams) return out;
    HtmlTextFilter filter(globalParams->getTextEncoding());
    filter.Append(out, u, len);
    return out;
}
