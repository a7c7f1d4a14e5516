// Fonts and colours of the text output device, and the text filter that
// turns a run's Unicode characters into the bytes of a page XML text
// element. Font ids handed out here are the `font` numbers of the page XML
// document and stay valid for the whole document.
#pragma once

#include <CharTypes.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class UnicodeMap;

// Face name of a PDF font that has no name of its own.
extern const char* const kDefaultFontName;

struct HtmlColor {
    uint32_t r = 0;
    uint32_t g = 0;
    uint32_t b = 0;

    HtmlColor() = default;
    // Components in the PDF core's fixed-point form, where 65536 is 1.0.
    // A component that does not land in a byte makes the colour black.
    HtmlColor(int red, int green, int blue);

    bool operator==(const HtmlColor&) const = default;
    // "#rrggbb", lower-case digits.
    std::string ToString() const;
};

// The installed face that stands in for a font of the PDF's class when the
// font itself is not installed: "CourierNew" for fixed pitch, "Arial" for
// sans serif, nothing (the default serif face) otherwise. `flags` are the
// font descriptor's flags (the PDF core assumes serif without one); the
// name decides where it is plain ("CMTT10", "DejaVuSansMono", "Helvetica").
std::string_view ClassFace(std::string_view name, int flags);
// What the PDF core assumes for a font without a descriptor.
inline constexpr int kSerifFlags = 1 << 1;

// What the extractor knows of a font's class: its descriptor flags and, for
// a font whose glyphs all advance alike, that advance in thousandths of an
// em (0 otherwise).
struct FontTraits {
    int flags = kSerifFlags;
    unsigned pitch = 0;
};

class HtmlFont {
public:
    HtmlFont(std::string_view name, unsigned size, const HtmlColor& color, std::string_view alternate = {},
             unsigned pitch = 0);
    virtual ~HtmlFont() = default;
    HtmlFont(const HtmlFont&) = default;
    HtmlFont& operator=(const HtmlFont&) = default;

    unsigned GetSize() const { return m_nSize; }
    bool IsBold() const { return m_bBold; }
    bool IsItalic() const { return m_bItalic; }
    const std::string& GetName() const { return m_strName; }
    const HtmlColor& GetColor() const { return m_color; }
    const std::string& GetAlternate() const { return m_strAlternate; }
    unsigned GetPitch() const { return m_nPitch; }
    // The family written into a fontspec line: the name, or the mapped
    // family for the few names the font table knows.
    std::string_view Family() const;

    // Line size does not take part: it never changes.
    bool IsSame(const HtmlFont& other) const;

private:
    unsigned m_nSize;
    int m_nLineSize = -1;
    bool m_bItalic = false;
    bool m_bBold = false;
    int m_nFamilyIndex = 0;
    std::string m_strName;
    HtmlColor m_color;
    std::string m_strAlternate;
    unsigned m_nPitch = 0;
};

class HtmlFontList {
public:
    virtual ~HtmlFontList() = default;

    // Id of an equal font already in the list, else of the appended font.
    int AddFont(const HtmlFont& font);
    // Fast path of AddFont for the device: finds the font by its parts
    // without building an HtmlFont when it is already known. A new font
    // gets the class face of its name and font descriptor flags (asked of
    // `flags` only then) as its alternate: one name is one face.
    int AddFont(std::string_view name, unsigned size, const HtmlColor& color,
                const std::function<FontTraits()>& traits = [] { return FontTraits(); });

    const HtmlFont& Get(int id) const { return m_fonts[static_cast<size_t>(id)]; }
    int Size() const { return static_cast<int>(m_fonts.size()); }

    // `<fontspec id=... color="#rrggbb">` without leading tab or line end;
    // a fixed-pitch font of the fixed-pitch class face adds its pitch.
    std::string FontSpec(int id) const;
    std::string Content(int /*id*/, const std::string& text) const { return text; }

private:
    static std::string Key(std::string_view name, unsigned size, const HtmlColor& color);

    std::vector<HtmlFont> m_fonts;
    // Fonts are equal exactly when name, size and colour are (bold, italic
    // and family index follow from the name), so a hash on those parts
    // finds the same id as a search from the front of the list.
    std::unordered_map<std::string, int> m_index;
    int m_nLast = -1;
};

// The text filter: entities for the four markup characters, the PDF core's
// text encoding up to U+0100, RTF Unicode control words above it.
class HtmlTextFilter {
public:
    // Takes the mapping of U+0000..U+0100 from `map`; without a map every
    // text filters to nothing.
    explicit HtmlTextFilter(const UnicodeMap* map);

    void Append(std::string& out, const Unicode* u, int len) const;

private:
    bool m_bHasMap = false;
    // Bytes for each code point up to U+0100 (none for an unmappable one),
    // looked up once: the core's map is the same for every character.
    char m_bytes[257][8] = {};
    unsigned char m_len[257] = {};
};

// Filters with the PDF core's current text encoding.
std::string FilterText(const Unicode* u, int len);
