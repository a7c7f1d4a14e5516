// Text measurement with fontconfig and FreeType, standing in for a screen
// font and its string extent. See font_metrics.h.
#include "platform/font_metrics.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/rect.h"
#include "platform/strings.h"

namespace qm {
namespace {

// The whole-string cache is a convenience, not a store: past this many
// entries it starts afresh so that a long document cannot grow it forever.
constexpr size_t kMaxCachedStrings = 200000;
// How much wider, in ems, each character of a regular face gets when it is
// drawn emboldened for want of a bold face.
constexpr double kSyntheticBoldEms = 0.02;

struct SizeMetrics {
    int32_t height = 0;
    std::unordered_map<char32_t, int32_t> advances;
};

struct FontFile {
    FT_Face face = nullptr;
    int32_t current = 0;  // pixel size last set on the face
    std::unordered_map<int32_t, SizeMetrics> sizes;
    // Advances in font units, unhinted.
    std::unordered_map<char32_t, int32_t> unscaled;
};

struct ResolvedFace {
    FontFile* file = nullptr;  // null when nothing could be opened
    bool syntheticBold = false;
    std::string path;
};

class FontMetrics {
public:
    FontMetrics() {
        if (FT_Init_FreeType(&m_library) != 0) m_library = nullptr;
    }
    ~FontMetrics() {
        for (auto& [key, file] : m_files)
            if (file->face != nullptr) FT_Done_Face(file->face);
        if (m_library != nullptr) FT_Done_FreeType(m_library);
    }
    FontMetrics(const FontMetrics&) = delete;
    FontMetrics& operator=(const FontMetrics&) = delete;

    bool Measure(const std::string& face, int32_t points, bool bold, bool italic, const std::u32string& text,
                 TextExtent& extent) {
        std::lock_guard<std::mutex> lock(m_mutex);
        extent = TextExtent{};
        const ResolvedFace& resolved = Resolve(face, bold, italic);
        if (resolved.file == nullptr) return false;
        const int32_t px = PointsToPixels(points);
        if (px <= 0) return true;

        std::string key = FaceKey(face, bold, italic);
        key.append(reinterpret_cast<const char*>(&px), sizeof px);
        key.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char32_t));
        if (auto it = m_strings.find(key); it != m_strings.end()) {
            extent = it->second;
            return true;
        }

        SizeMetrics* size = Size(*resolved.file, px);
        if (size == nullptr) return false;
        int64_t width = 0;
        for (char32_t c : text) {
            width += Advance(*resolved.file, px, *size, c);
            // A bold request that only found a regular face is drawn
            // emboldened, one pixel wider per character, as the screen
            // font mapper does.
            if (resolved.syntheticBold) width += 1;
        }
        extent.cx = static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
        extent.cy = size->height;
        if (m_strings.size() >= kMaxCachedStrings) m_strings.clear();
        m_strings.emplace(std::move(key), extent);
        return true;
    }

    bool Ems(const std::string& face, bool bold, bool italic, const std::u32string& text, double& ems) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ems = 0;
        const ResolvedFace& resolved = Resolve(face, bold, italic);
        if (resolved.file == nullptr) return false;
        FontFile& file = *resolved.file;
        const double perEm = file.face->units_per_EM > 0 ? file.face->units_per_EM : 1000.0;
        double units = 0;
        for (char32_t c : text) {
            auto it = file.unscaled.find(c);
            if (it == file.unscaled.end()) it = file.unscaled.emplace(c, UnscaledAdvance(file, c, perEm)).first;
            units += it->second;
        }
        ems = units / perEm;
        // An emboldened regular face is drawn a little wider.
        if (resolved.syntheticBold) ems += kSyntheticBoldEms * static_cast<double>(text.size());
        return true;
    }

    std::string MatchedFile(const std::string& face, bool bold, bool italic) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return Resolve(face, bold, italic).path;
    }

private:
    static std::string FaceKey(const std::string& face, bool bold, bool italic) {
        std::string key = face;
        key.push_back('\0');
        key.push_back(bold ? 'b' : 'r');
        key.push_back(italic ? 'i' : 'u');
        return key;
    }

    const ResolvedFace& Resolve(const std::string& face, bool bold, bool italic) {
        const std::string key = FaceKey(face, bold, italic);
        auto it = m_faces.find(key);
        if (it != m_faces.end()) return it->second;

        ResolvedFace resolved;
        FcPattern* pattern = FcPatternCreate();
        if (pattern != nullptr) {
            // Face names from the font table may carry a trailing space
            // ("Arial Narrow "); fontconfig would then miss the family.
            const std::string family = qm::Trim(face);
            if (!family.empty())
                FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
            FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
            FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
            FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
            FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            FcPattern* match = FcFontMatch(nullptr, pattern, &result);
            if (match != nullptr) {
                FcChar8* file = nullptr;
                int index = 0;
                int weight = FC_WEIGHT_REGULAR;
                if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
                    FcPatternGetInteger(match, FC_INDEX, 0, &index);
                    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
                    resolved.path = reinterpret_cast<const char*>(file);
                    resolved.file = Open(resolved.path, index);
                    resolved.syntheticBold = bold && weight < FC_WEIGHT_DEMIBOLD;
                    if (resolved.file == nullptr) resolved.path.clear();
                }
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pattern);
        }
        return m_faces.emplace(key, std::move(resolved)).first->second;
    }

    FontFile* Open(const std::string& path, int index) {
        auto key = std::make_pair(path, index);
        auto it = m_files.find(key);
        if (it != m_files.end()) return it->second->face != nullptr ? it->second.get() : nullptr;
        auto file = std::make_unique<FontFile>();
        if (m_library == nullptr || FT_New_Face(m_library, path.c_str(), index, &file->face) != 0)
            file->face = nullptr;
        FontFile* result = file->face != nullptr ? file.get() : nullptr;
        m_files.emplace(key, std::move(file));
        return result;
    }

    SizeMetrics* Size(FontFile& file, int32_t px) {
        auto it = file.sizes.find(px);
        if (it != file.sizes.end()) return &it->second;
        if (!Select(file, px)) return nullptr;
        SizeMetrics metrics;
        FT_Face face = file.face;
        // The screen font's cell height comes from the Windows ascent and
        // descent of the OS/2 table where the font has one.
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 != nullptr && face->units_per_EM > 0 && os2->usWinAscent + os2->usWinDescent > 0) {
            metrics.height = MulDiv(os2->usWinAscent, px, face->units_per_EM) +
                             MulDiv(os2->usWinDescent, px, face->units_per_EM);
        } else {
            metrics.height = static_cast<int32_t>((face->size->metrics.ascender - face->size->metrics.descender) >> 6);
        }
        return &file.sizes.emplace(px, std::move(metrics)).first->second;
    }

    bool Select(FontFile& file, int32_t px) {
        if (file.current == px) return true;
        if (FT_Set_Pixel_Sizes(file.face, 0, static_cast<FT_UInt>(px)) != 0) return false;
        file.current = px;
        return true;
    }

    int32_t Advance(FontFile& file, int32_t px, SizeMetrics& size, char32_t c) {
        auto it = size.advances.find(c);
        if (it != size.advances.end()) return it->second;
        int32_t advance = 0;
        if (!Select(file, px)) return 0;
        const FT_UInt glyph = FT_Get_Char_Index(file.face, c);
        if (FT_Load_Glyph(file.face, glyph, FT_LOAD_DEFAULT) == 0)
            advance = static_cast<int32_t>((file.face->glyph->advance.x + 32) >> 6);
        size.advances.emplace(c, advance);
        return advance;
    }

    int32_t UnscaledAdvance(FontFile& file, char32_t c, double perEm) {
        const FT_UInt glyph = FT_Get_Char_Index(file.face, c);
        if (glyph == 0) return static_cast<int32_t>(perEm * FallbackEms(c));
        if (FT_Load_Glyph(file.face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return 0;
        return static_cast<int32_t>(file.face->glyph->advance.x);
    }

    // A character the face lacks is drawn from the font that fontconfig
    // offers for it, as a word processor falls back; where there is none,
    // one em for wide (East Asian) characters and half an em for others.
    double FallbackEms(char32_t c) {
        if (auto it = m_fallback.find(c); it != m_fallback.end()) return it->second;
        double ems = IsWide(c) ? 1.0 : 0.5;
        FcPattern* pattern = FcPatternCreate();
        FcCharSet* chars = FcCharSetCreate();
        if (pattern != nullptr && chars != nullptr && FcCharSetAddChar(chars, static_cast<FcChar32>(c))) {
            FcPatternAddCharSet(pattern, FC_CHARSET, chars);
            FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
            FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            FcPattern* match = FcFontMatch(nullptr, pattern, &result);
            FcChar8* path = nullptr;
            int index = 0;
            if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr) {
                FcPatternGetInteger(match, FC_INDEX, 0, &index);
                FontFile* other = Open(reinterpret_cast<const char*>(path), index);
                const FT_UInt glyph = other != nullptr ? FT_Get_Char_Index(other->face, c) : 0;
                if (glyph != 0 && other->face->units_per_EM > 0 &&
                    FT_Load_Glyph(other->face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0)
                    ems = static_cast<double>(other->face->glyph->advance.x) / other->face->units_per_EM;
            }
            if (match != nullptr) FcPatternDestroy(match);
        }
        if (chars != nullptr) FcCharSetDestroy(chars);
        if (pattern != nullptr) FcPatternDestroy(pattern);
        m_fallback.emplace(c, ems);
        return ems;
    }

    // East Asian scripts, whose characters a fallback font draws one em wide.
    static bool IsWide(char32_t c) {
        return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
               (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0x20000 && c <= 0x3FFFD);
    }

    std::mutex m_mutex;
    FT_Library m_library = nullptr;
    std::map<std::pair<std::string, int>, std::unique_ptr<FontFile>> m_files;
    std::unordered_map<std::string, ResolvedFace> m_faces;
    std::unordered_map<std::string, TextExtent> m_strings;
    std::unordered_map<char32_t, double> m_fallback;  // ems of characters drawn from another font
};

FontMetrics& Metrics() {
    static FontMetrics metrics;
    return metrics;
}

}  // namespace

int32_t PointsToPixels(int32_t points) { return MulDiv(points, 96, 72); }

bool MeasureString(const std::string& face, int32_t points, bool bold, bool italic, const std::u32string& text,
                   TextExtent& extent) {
    return Metrics().Measure(face, points, bold, italic, text, extent);
}

bool MeasureEms(const std::string& face, bool bold, bool italic, const std::u32string& text, double& ems) {
    return Metrics().Ems(face, bold, italic, text, ems);
}

std::string MatchedFontFile(const std::string& face, bool bold, bool italic) {
    return Metrics().MatchedFile(face, bold, italic);
}

}  // namespace qm
