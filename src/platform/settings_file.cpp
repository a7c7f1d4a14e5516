// The settings file read the way QSettings reads its INI format. Every rule
// here mirrors what QSettings does with the same bytes, including its odd
// corners (a ';' outside quotes ends a value, unknown escapes vanish), so
// that a value hand-edited into the file reads the same in the desktop
// application and on the command line.
#include "platform/settings_file.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace qm {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string ToUtf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

// The file is UTF-8; a byte that starts no valid sequence becomes U+FFFD.
void DecodeUtf8(std::string_view bytes, std::u32string& out) {
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len != 0 && i + len <= bytes.size();
        for (size_t k = 1; ok && k < len; ++k) {
            const auto cont = static_cast<unsigned char>(bytes[i + k]);
            ok = (cont & 0xC0) == 0x80;
            c = (c << 6) | (cont & 0x3F);
        }
        // Overlong forms and surrogates are no characters either.
        static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
        out += ok ? c : kReplacement;
        i += ok ? len : 1;
    }
}

int HexDigit(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// A section name or a value name as QSettings stores it: '\' separates
// groups, %XX and %UXXXX stand for characters outside [A-Za-z0-9_.-].
std::string UnescapeKey(std::string_view key) {
    std::u32string in;
    DecodeUtf8(key, in);
    std::u32string out;
    for (size_t i = 0; i < in.size();) {
        if (in[i] == '\\') {
            out += '/';
            ++i;
            continue;
        }
        if (in[i] != '%' || i + 1 == in.size()) {
            out += in[i++];
            continue;
        }
        size_t first = i + 1;
        size_t digits = 2;
        if (in[first] == 'U') {
            ++first;
            digits = 4;
        }
        char32_t c = 0;
        bool ok = first + digits <= in.size();
        for (size_t k = 0; ok && k < digits; ++k) {
            const int d = HexDigit(in[first + k]);
            ok = d >= 0;
            c = c * 16 + static_cast<char32_t>(d);
        }
        if (!ok) {
            out += in[i++];
            continue;
        }
        out += c;
        i = first + digits;
    }
    return ToUtf8(out);
}

// "a//b", "/a", "a/" name no key QSettings can reach; a group path is
// written without them.
std::string NormalizedGroup(const std::string& keyPath) {
    std::string out;
    for (char c : keyPath) {
        if (c == '\\') c = '/';
        if (c == '/' && (out.empty() || out.back() == '/')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == '/') out.pop_back();
    return out;
}

bool Reachable(const std::string& fullKey) {
    return !fullKey.empty() && fullKey.front() != '/' && fullKey.back() != '/' &&
           fullKey.find("//") == std::string::npos;
}

// The text of a value, with its quotes, escapes and list commas resolved.
// True when the value is a list (a ',' outside quotes), whose items are
// then in `list`.
bool UnescapeValue(std::string_view str, std::u32string& text, std::vector<std::u32string>& list) {
    static const char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'},  {'n', '\n'},  {'r', '\r'}, {'t', '\t'},
                                       {'v', '\v'}, {'"', '"'},  {'?', '?'},   {'\'', '\''}, {'\\', '\\'}};
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;  // the current item had quotes: its spaces are its own
    size_t i = 0;
    const size_t n = str.size();
    size_t chopLimit = 0;  // trailing spaces before this point were escaped, not padding
    auto skipSpaces = [&] {
        while (i < n && (str[i] == ' ' || str[i] == '\t')) ++i;
        chopLimit = text.size();
    };
    auto chopTrailingSpaces = [&] {
        while (text.size() > chopLimit && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    };
    // A numeric escape reads every digit that follows; the value wraps at
    // 16 bits as one UTF-16 unit.
    auto numeric = [&](uint16_t value, int base) {
        for (; i < n; ++i) {
            const int d = HexDigit(static_cast<unsigned char>(str[i]));
            if (d < 0 || d >= base) break;
            value = static_cast<uint16_t>(value * base + d);
        }
        text += value;
        chopLimit = text.size();
    };

    skipSpaces();
    bool trailing = true;  // whether the end trims the last item's padding
    while (i < n) {
        const char ch = str[i];
        if (ch == '\\') {
            if (++i >= n) {
                trailing = false;
                break;
            }
            const char e = str[i++];
            bool simple = false;
            for (const auto& esc : kEscapes)
                if (e == esc[0]) {
                    text += static_cast<char32_t>(esc[1]);
                    simple = true;
                    break;
                }
            if (simple) {
                chopLimit = text.size();
            } else if (e == 'x') {
                if (i >= n) {
                    trailing = false;
                    break;
                }
                if (HexDigit(static_cast<unsigned char>(str[i])) >= 0) numeric(0, 16);
                else chopLimit = text.size();
            } else if (e >= '0' && e <= '7') {
                numeric(static_cast<uint16_t>(e - '0'), 8);
            } else {
                // A line break after '\' continues the value on the next
                // line; any other unknown escape is dropped.
                if ((e == '\n' || e == '\r') && i < n && (str[i] == '\n' || str[i] == '\r') && str[i] != e) ++i;
                chopLimit = text.size();
            }
        } else if (ch == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) skipSpaces();
        } else if (ch == ',' && !inQuotes) {
            if (!quoted) chopTrailingSpaces();
            isList = true;
            list.push_back(text);
            text.clear();
            quoted = false;
            ++i;
            skipSpaces();
        } else {
            size_t j = i + 1;
            while (j < n && str[j] != '\\' && str[j] != '"' && str[j] != ',') ++j;
            DecodeUtf8(str.substr(i, j - i), text);
            i = j;
        }
    }
    if (trailing && !quoted) chopTrailingSpaces();
    if (isList) list.push_back(text);
    return isList;
}

bool StartsWith(const std::u32string& s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t k = 0; k < prefix.size(); ++k)
        if (s[k] != static_cast<unsigned char>(prefix[k])) return false;
    return true;
}

// A value as the registry wrapper reads it through QSettings: '@' marks a
// value of another type than a string ("@@" an '@' of the text itself).
std::string ValueText(std::string_view raw) {
    std::u32string text;
    std::vector<std::u32string> list;
    if (UnescapeValue(raw, text, list)) {
        std::u32string joined;
        for (size_t k = 0; k < list.size(); ++k) {
            std::u32string& item = list[k];
            if (!item.empty() && item[0] == '@') {
                // An item of another type makes a list of variants, which
                // has no text.
                if (item.size() < 2 || item[1] != '@') return {};
                item.erase(0, 1);
            }
            if (k > 0) joined += ',';
            joined += item;
        }
        return ToUtf8(joined);
    }
    if (!text.empty() && text[0] == '@') {
        if (text.back() == ')') {
            if (StartsWith(text, "@ByteArray(")) {
                std::string bytes;
                for (size_t k = 11; k + 1 < text.size(); ++k)
                    bytes += text[k] <= 0xFF ? static_cast<char>(text[k]) : '?';
                return bytes;
            }
            if (StartsWith(text, "@String(")) return ToUtf8(text.substr(8, text.size() - 9));
            for (const char* other : {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("})
                if (StartsWith(text, other)) return {};
            if (text == U"@Invalid()") return {};
        }
        if (StartsWith(text, "@@")) return ToUtf8(text.substr(1));
    }
    return ToUtf8(text);
}

// The next line that holds something: its start, length and the position
// of its first '=' outside quotes (npos when none). A line goes on past a
// line break inside quotes or after '\'; a ';' outside quotes ends it (a
// ';' that starts a line makes the line a comment).
struct Line {
    size_t start = 0;
    size_t length = 0;
    size_t equals = std::string_view::npos;
};

bool NextLine(std::string_view data, size_t& pos, Line& line) {
    const size_t n = data.size();
    bool inQuotes = false;
    line.equals = std::string_view::npos;
    size_t start = pos;
    while (start < n && IsSpace(data[start])) ++start;
    size_t i = start;
    while (i < n) {
        const char ch = data[i++];
        if (ch == '=') {
            if (!inQuotes && line.equals == std::string_view::npos) line.equals = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == start + 1) {
                ++start;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < n) {
                const char c1 = data[i++];
                if (i < n && ((c1 == '\n' && data[i] == '\r') || (c1 == '\r' && data[i] == '\n'))) ++i;
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == ';') {
            if (i == start + 1) {
                while (i < n && data[i] != '\n' && data[i] != '\r') ++i;
                while (i < n && IsSpace(data[i])) ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line.start = start;
    line.length = i - start;
    return line.length > 0;
}

}  // namespace

std::string SettingsFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && *xdg != '\0') {
        base = xdg;
    } else {
        // Qt's home folder: $HOME cleaned of "." and ".." and a trailing
        // '/', or the root when it is unset.
        const char* home = std::getenv("HOME");
        std::string folder = home != nullptr && *home != '\0'
                                 ? std::filesystem::path(home).lexically_normal().string()
                                 : std::string("/");
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        base = folder + "/.config";
    }
    return base + "/Quillmark/Quillmark.conf";
}

bool CSettingsIni::Parse(std::string_view text) {
    m_values.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::map<std::string, std::string> values;
    std::string section;  // with its trailing '/'; empty at the top
    size_t pos = 0;
    Line line;
    while (NextLine(text, pos, line)) {
        const std::string_view body = text.substr(line.start, line.length);
        if (body.front() == '[') {
            const size_t close = body.find(']');
            if (close == std::string_view::npos) return false;
            const std::string_view name = Trimmed(body.substr(1, close - 1));
            // Values at the top of the file are written to [General]; a
            // group of that name is written as [%General].
            if (SameIgnoringCase(name, "general")) section.clear();
            else if (SameIgnoringCase(name, "%general")) section = std::string(name.substr(1)) + "/";
            else section = UnescapeKey(name) + "/";
            continue;
        }
        if (line.equals == std::string_view::npos) continue;
        const size_t equals = line.equals - line.start;
        const std::string key = section + UnescapeKey(Trimmed(body.substr(0, equals)));
        if (Reachable(key)) values[key] = ValueText(body.substr(equals + 1));
    }
    m_values = std::move(values);
    return true;
}

bool CSettingsIni::Read(const std::string& keyPath, const std::string& name, std::string& value) const {
    const std::string group = NormalizedGroup(keyPath);
    const std::string prefix = group.empty() ? group : group + "/";
    for (const auto& [key, text] : m_values) {
        if (key.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string_view child = std::string_view(key).substr(prefix.size());
        if (child.find('/') != std::string_view::npos || !SameIgnoringCase(child, name)) continue;
        value = CutRegValue(text);
        return true;
    }
    return false;
}

bool CSettingsFileStore::ReadString(const std::string& key, const std::string& name, std::string& value) {
    std::ifstream in(m_strPath.empty() ? SettingsFilePath() : m_strPath, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    CSettingsIni ini;
    return ini.Parse(text.str()) && ini.Read(key, name, value);
}

}  // namespace qm
