// The installed-font test on fontconfig.
//
// Windows answers "is this face installed?" by enumerating fonts with the
// face name. fontconfig never answers no: it always matches some font, so
// the test has to tell a real answer from a fallback. A family counts when
// an installed font carries it, or when the configuration's substitution
// rules bind it strongly to the matched font. Metric-compatible aliases
// (Times New Roman -> Liberation Serif) are bound that way, while the
// generic fallbacks every name receives (sans-serif -> DejaVu Sans) are weak.
#include "platform/font_installed.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <mutex>
#include <vector>

namespace qm {

namespace {

std::mutex g_cacheLock;
std::map<std::string, bool> g_cache;
constexpr size_t kMaxCachedNames = 4096;

// Generic family names that rules may bind strongly (emoji, math) but that
// stand for a whole class of fonts, never for a compatible face.
bool IsGenericFamily(const FcChar8* family) {
    static const char* const kGeneric[] = {"serif",   "sans-serif", "monospace", "cursive", "fantasy",
                                           "emoji",   "math",       "system-ui", "sans",    "mono"};
    for (const char* g : kGeneric)
        if (FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>(g)) == 0) return true;
    return false;
}

bool FamilyListed(const FcChar8* family) {
    FcPattern* pat = FcPatternCreate();
    if (pat == nullptr) return false;
    FcPatternAddString(pat, FC_FAMILY, family);
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr));
    FcFontSet* fonts = os != nullptr ? FcFontList(nullptr, pat, os) : nullptr;
    bool found = false;
    // FcFontList compares loosely (it also ignores blanks), so check the
    // families of each listed font for an exact match ignoring case.
    for (int i = 0; fonts != nullptr && i < fonts->nfont && !found; ++i) {
        FcChar8* f = nullptr;
        for (int k = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, k, &f) == FcResultMatch; ++k) {
            if (FcStrCmpIgnoreCase(f, family) == 0) {
                found = true;
                break;
            }
        }
    }
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    if (os != nullptr) FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    return found;
}

bool BoundToInstalledFont(const FcChar8* family) {
    FcPattern* pat = FcPatternCreate();
    if (pat == nullptr) return false;
    FcPatternAddString(pat, FC_FAMILY, family);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);

    std::vector<std::string> bound;
    FcValue v;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(pat, FC_FAMILY, i, &v, &binding) == FcResultMatch; ++i) {
        if (v.type != FcTypeString || binding == FcValueBindingWeak) continue;
        if (IsGenericFamily(v.u.s)) continue;
        bound.emplace_back(reinterpret_cast<const char*>(v.u.s));
    }

    bool found = false;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    if (match != nullptr) {
        FcChar8* f = nullptr;
        for (int k = 0; !found && FcPatternGetString(match, FC_FAMILY, k, &f) == FcResultMatch; ++k) {
            for (const std::string& b : bound) {
                if (FcStrCmpIgnoreCase(f, reinterpret_cast<const FcChar8*>(b.c_str())) == 0) {
                    found = true;
                    break;
                }
            }
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
    return found;
}

}  // namespace

bool IsFontInstalled(const std::string& name) {
    // fontconfig sees a name only up to a NUL byte: "Arial<NUL>junk" would
    // pass as Arial and carry its junk into the document.
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    std::lock_guard<std::mutex> lock(g_cacheLock);
    auto it = g_cache.find(name);
    if (it != g_cache.end()) return it->second;
    // Names come from documents (alternate names are not mapped through
    // the name table): past this many the cache starts afresh rather than
    // growing for ever in a long-running process.
    if (g_cache.size() >= kMaxCachedNames) g_cache.clear();
    const auto* family = reinterpret_cast<const FcChar8*>(name.c_str());
    bool installed = FamilyListed(family) || BoundToInstalledFont(family);
    g_cache.emplace(name, installed);
    return installed;
}

}  // namespace qm
