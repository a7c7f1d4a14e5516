// Hyperlink fields and page bookmarks: the link markers of the runs of a
// line become fields, one per link.
#include "rtf/fields.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "layout/words.h"

namespace {

const std::string kAnchorStart = "<#dsAnchor#";
const std::string kAnchorText = "~dsAnchor#>";
const std::string kAnchorEnd = "</~dsAnchor#>";

constexpr size_t kNone = static_cast<size_t>(-1);

enum class Tok { kOpen, kClose, kFormat, kControl, kText, kSpace, kStart, kEnd };

struct Token {
    Tok kind;
    std::string text;  // the bytes as they stand; for kStart the target
    int32_t depth;     // groups open before the token
};

// Control words that only set character formatting. A group holding
// nothing else shows nothing, and they can be set again after a group is
// split, which a field lifted out of run groups needs.
bool IsFormatWord(const std::string& word) {
    static const char* const kWords[] = {"fs",   "up",   "dn",    "cf",         "cb",  "f",
                                         "b",    "i",    "ul",    "ulnone",     "shad", "super",
                                         "sub",  "nosupersub", "charscalex", "expnd", "expndtw",
                                         "strike", "scaps", "caps", "highlight", "uc",  "lang",
                                         "kerning", "outl", "plain"};
    for (const char* w : kWords)
        if (word == w) return true;
    return false;
}

std::vector<Token> Tokenize(const std::string& s) {
    std::vector<Token> out;
    int32_t depth = 0;
    auto add = [&out, &depth](Tok kind, std::string text) {
        // Text next to text is one token: the rewriter only cares where
        // groups, controls and markers stand.
        if ((kind == Tok::kText || kind == Tok::kSpace) && !out.empty() && out.back().kind == kind &&
            out.back().depth == depth) {
            out.back().text += text;
            return;
        }
        out.push_back({kind, std::move(text), depth});
    };
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '{') {
            add(Tok::kOpen, "{");
            ++depth;
            ++i;
        } else if (c == '}') {
            add(Tok::kClose, "}");
            depth = std::max(0, depth - 1);
            ++i;
        } else if (c == '\\') {
            size_t j = i + 1;
            if (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j]))) {
                while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j]))) ++j;
                const std::string word = s.substr(i + 1, j - i - 1);
                if (j < s.size() && s[j] == '-') ++j;
                while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
                if (j < s.size() && s[j] == ' ') ++j;
                add(IsFormatWord(word) ? Tok::kFormat : (word == "u" ? Tok::kText : Tok::kControl),
                    s.substr(i, j - i));
            } else if (j < s.size() && s[j] == '\'') {
                add(Tok::kText, s.substr(i, std::min<size_t>(4, s.size() - i)));
                j = std::min(s.size(), i + 4);
            } else if (j < s.size() && s[j] == '*') {
                add(Tok::kControl, "\\*");
                ++j;
            } else {
                // An escaped backslash or brace, or another symbol: one character.
                j = std::min(s.size(), j + 1);
                add(Tok::kText, s.substr(i, j - i));
            }
            i = j;
        } else if (s.compare(i, kAnchorStart.size(), kAnchorStart) == 0) {
            const size_t mid = s.find(kAnchorText, i + kAnchorStart.size());
            if (mid == kNone) {  // a cut marker stays as it is, with all after it
                add(Tok::kText, s.substr(i));
                break;
            }
            add(Tok::kStart, s.substr(i + kAnchorStart.size(), mid - i - kAnchorStart.size()));
            i = mid + kAnchorText.size();
        } else if (s.compare(i, kAnchorEnd.size(), kAnchorEnd) == 0) {
            add(Tok::kEnd, std::string());
            i += kAnchorEnd.size();
        } else {
            size_t j = i + 1;
            while (j < s.size() && s[j] != '{' && s[j] != '}' && s[j] != '\\' && s[j] != '<') ++j;
            std::string text = s.substr(i, j - i);
            const bool blank = text.find_first_not_of(" \n\r") == std::string::npos;
            add(blank ? Tok::kSpace : Tok::kText, std::move(text));
            i = j;
        }
    }
    return out;
}

// One field: the markers of the first and the last piece it takes.
struct Span {
    size_t start;  // index of the first kStart
    size_t end;    // index of the last kEnd, or the token count when open to the end
    std::string instruction;
    int32_t depth = 0;  // the group level the field is written at
    bool lift = false;  // whether groups are closed and opened again around it
    std::vector<size_t> pieces;  // the links it took, as indexes into the link list
};

std::string Instruction(std::string target, const std::string& base, const std::set<int32_t>* pages) {
    // Links into this document name the page XML file; what is left after
    // its name is the place in the document.
    if (!base.empty() && target.compare(0, base.size(), base) == 0) target.erase(0, base.size());
    if (target.empty()) return {};
    if (target[0] == '#') {
        const int32_t page = LinkedPage(target);
        if (page <= 0) return {};  // a place the extractor did not find leads nowhere
        // A page left out of a chosen range has no bookmark to lead to: a
        // field there would look like a link and do nothing when clicked,
        // and the source file may lie anywhere, so the text stays plain.
        if (pages != nullptr && !pages->empty() && pages->count(page) == 0) return {};
        return "HYPERLINK \\\\l \"" + PageBookmarkName(page) + "\"";
    }
    return "HYPERLINK " + QuotedFieldArgument(target);
}

Span Link(size_t start, size_t end, const std::string& target, const std::string& base,
          const std::set<int32_t>* pages) {
    Span s;
    s.start = start;
    s.end = end;
    s.instruction = Instruction(target, base, pages);
    return s;
}

// Control words set again before text need their delimiter.
std::string Delimited(std::string formats) {
    if (!formats.empty() && formats.back() != ' ') formats += ' ';
    return formats;
}

bool IsGlue(const Token& t) {
    return t.kind == Tok::kOpen || t.kind == Tok::kClose || t.kind == Tok::kFormat || t.kind == Tok::kSpace;
}

}  // namespace

std::string PageBookmarkName(int32_t page) { return "page" + std::to_string(page); }

std::string PageBookmark(int32_t page) {
    const std::string name = PageBookmarkName(page);
    return "{\\*\\bkmkstart " + name + "}{\\*\\bkmkend " + name + "}";
}

std::string QuotedFieldArgument(const std::string& rtfTarget) {
    // A quote would end the argument. Word reads a backslash inside it as
    // an escape and LibreOffice keeps it as it stands, so both characters
    // are written in the URI's own escapes, which both read alike.
    std::string out = "\"";
    for (size_t i = 0; i < rtfTarget.size(); ++i) {
        const char c = rtfTarget[i];
        if (c == '"') {
            out += "%22";
        } else if (c == '\\' && i + 1 < rtfTarget.size() && rtfTarget[i + 1] == '\\') {
            out += "%5C";  // the RTF text holds a backslash doubled
            ++i;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string MakeHyperlinkFields(const std::string& s, const std::string& base, const std::set<int32_t>* pages) {
    if (s.find(kAnchorStart) == std::string::npos && s.find(kAnchorEnd) == std::string::npos) return s;
    const std::vector<Token> tokens = Tokenize(s);
    const size_t n = tokens.size();
    const int32_t finalDepth = [&tokens] {
        int32_t d = 0;
        for (const Token& t : tokens) d = t.kind == Tok::kOpen ? d + 1 : t.kind == Tok::kClose ? std::max(0, d - 1) : d;
        return d;
    }();
    auto depthAt = [&](size_t i) { return i < n ? tokens[i].depth : finalDepth; };

    // The links, each from its start marker to its end marker; a start
    // inside an open link ends that link.
    std::vector<Span> links;
    size_t open = kNone;
    for (size_t i = 0; i < n; ++i) {
        if (tokens[i].kind == Tok::kStart) {
            if (open != kNone) links.push_back(Link(open, i, tokens[open].text, base, pages));
            open = i;
        } else if (tokens[i].kind == Tok::kEnd && open != kNone) {
            links.push_back(Link(open, i, tokens[open].text, base, pages));
            open = kNone;
        }
    }
    if (open != kNone) links.push_back(Link(open, n, tokens[open].text, base, pages));

    // Pieces of one link next to each other, with nothing but formatting,
    // group braces and spaces between them, are one field.
    std::vector<Span> spans;
    for (size_t k = 0; k < links.size(); ++k) {
        const Span& l = links[k];
        if (!spans.empty() && !l.instruction.empty() && spans.back().instruction == l.instruction &&
            spans.back().end < n) {
            bool glue = true;
            for (size_t i = spans.back().end + 1; i < l.start && glue; ++i) glue = IsGlue(tokens[i]);
            if (glue) {
                spans.back().end = l.end;
                spans.back().pieces.push_back(k);
                continue;
            }
        }
        spans.push_back(l);
        spans.back().pieces = {k};
    }

    // A field must sit at one group level. Where its text starts or ends
    // deeper in the groups than that, the groups there are closed before
    // the field (or its end) and opened again inside (after) it with their
    // formatting. Groups holding other control words cannot be split that
    // way: such a field is taken apart into its pieces again, and a piece
    // that still cannot be placed stays where its markers were.
    const auto place = [&](Span& sp) {
        int32_t low = depthAt(sp.start);
        for (size_t i = sp.start; i <= sp.end; ++i) low = std::min(low, depthAt(i));
        sp.depth = low;
        sp.lift = depthAt(sp.start) != low || depthAt(sp.end) != low;
        if (!sp.lift) return true;
        size_t from = sp.start;
        while (from > 0 && !(tokens[from].kind == Tok::kOpen && tokens[from].depth == low)) --from;
        for (size_t i = from; i < sp.end && i < n; ++i)
            if (tokens[i].kind == Tok::kControl) return false;
        return true;
    };
    std::vector<Span> placed;
    for (Span& sp : spans) {
        if (sp.instruction.empty() || place(sp)) {
            placed.push_back(sp);
            continue;
        }
        for (size_t k : sp.pieces) {
            Span piece = links[k];
            if (!place(piece)) {
                piece.depth = depthAt(piece.start);
                piece.lift = false;
            }
            placed.push_back(piece);
        }
    }
    // A link ended by the start of the next one ends where that one starts.
    std::vector<size_t> startAt(n + 1, kNone);
    std::vector<size_t> endAt(n + 1, kNone);
    for (size_t k = 0; k < placed.size(); ++k) {
        if (placed[k].instruction.empty()) continue;
        startAt[placed[k].start] = k;
        endAt[placed[k].end] = k;
    }

    // The groups open at each point, with where each began in the output,
    // the formatting set in it so far, and whether it shows anything.
    struct Group {
        size_t openAt;
        std::string formats;
        bool content;
    };
    std::vector<Group> groups{{0, std::string(), true}};
    std::string out;
    std::vector<size_t> fieldFormats;  // how much formatting the field's level had when each field began
    const auto closeTo = [&](int32_t level) {
        while (static_cast<int32_t>(groups.size()) - 1 > level) {
            const bool shown = groups.back().content;
            if (shown) out += "}";
            else out.erase(groups.back().openAt);
            groups.pop_back();
            if (shown) groups.back().content = true;
        }
    };
    const auto reopen = [&](const std::vector<Group>& saved, int32_t level) {
        for (size_t g = static_cast<size_t>(level) + 1; g < saved.size(); ++g) {
            groups.push_back({out.size(), saved[g].formats, false});
            out += "{" + Delimited(saved[g].formats);
        }
    };

    const auto field = [&](const Span& sp, bool start) {
        const std::vector<Group> saved = groups;
        const int32_t level = std::min<int32_t>(sp.depth, static_cast<int32_t>(groups.size()) - 1);
        if (sp.lift) closeTo(level);
        if (start) {
            fieldFormats.push_back(groups.back().formats.size());
            out += "{\\field{\\*\\fldinst{" + sp.instruction + "}}{\\fldrslt {";
            groups.back().content = true;
        } else {
            out += "}}}";
            // Formatting set at the field's level inside it ended with the
            // field; what follows expects it.
            const size_t from = fieldFormats.empty() ? 0 : fieldFormats.back();
            if (!fieldFormats.empty()) fieldFormats.pop_back();
            if (sp.lift) out += Delimited(groups.back().formats.substr(std::min(from, groups.back().formats.size())));
        }
        if (sp.lift) reopen(saved, level);
    };

    for (size_t i = 0; i <= n; ++i) {
        if (endAt[i] != kNone) field(placed[endAt[i]], false);
        if (startAt[i] != kNone) field(placed[startAt[i]], true);
        if (endAt[i] != kNone || startAt[i] != kNone) continue;
        if (i == n) break;
        const Token& t = tokens[i];
        switch (t.kind) {
        case Tok::kStart:
        case Tok::kEnd:
            break;  // markers of links without a target, swallowed pieces, strays
        case Tok::kOpen:
            groups.push_back({out.size(), std::string(), false});
            out += t.text;
            break;
        case Tok::kClose:
            if (groups.size() > 1) {
                closeTo(static_cast<int32_t>(groups.size()) - 2);
            } else {
                out += t.text;
            }
            break;
        case Tok::kFormat:
            groups.back().formats += t.text;
            out += t.text;
            break;
        default:
            groups.back().content = true;
            out += t.text;
            break;
        }
    }
    return out;
}
