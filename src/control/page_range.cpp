// Page-range text and file-size text, shared by the desktop application and
// the command line.
#include "control/page_range.h"

#include <climits>
#include <cstdint>

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string Trim(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && IsSpace(text[a])) ++a;
    while (b > a && IsSpace(text[b - 1])) --b;
    return text.substr(a, b - a);
}

// A page number: digits only, from 1 to the int32 limit.
enum class NumberRead { kOk, kNotANumber, kZero, kTooLarge };

NumberRead ReadPage(const std::string& text, int32_t& page) {
    if (text.empty()) return NumberRead::kNotANumber;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return NumberRead::kNotANumber;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) return NumberRead::kTooLarge;
    }
    if (value == 0) return NumberRead::kZero;
    page = static_cast<int32_t>(value);
    return NumberRead::kOk;
}

std::string Quoted(const std::string& piece) { return "\"" + piece + "\""; }

}  // namespace

std::string ParsePageRange(const std::string& text, std::vector<CPageSpan>& spans) {
    spans.clear();
    std::vector<CPageSpan> read;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string piece =
            Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!piece.empty()) {
            const size_t dash = piece.find('-');
            CPageSpan span;
            NumberRead first, last;
            if (dash == std::string::npos) {
                first = last = ReadPage(piece, span.m_nFirst);
                span.m_nLast = span.m_nFirst;
            } else {
                first = ReadPage(Trim(piece.substr(0, dash)), span.m_nFirst);
                last = ReadPage(Trim(piece.substr(dash + 1)), span.m_nLast);
            }
            for (NumberRead r : {first, last}) {
                if (r == NumberRead::kNotANumber)
                    return Quoted(piece) + " is not a page number or a range such as 10-15";
                if (r == NumberRead::kZero) return Quoted(piece) + ": pages are numbered from 1";
                if (r == NumberRead::kTooLarge) return Quoted(piece) + " is too large for a page number";
            }
            if (span.m_nLast < span.m_nFirst) return Quoted(piece) + " runs backwards";
            read.push_back(span);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (read.empty()) return "no page number given";
    spans = std::move(read);
    return {};
}

std::string FormatFileSize(uint64_t bytes) {
    std::string digits = std::to_string(bytes);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out + " Byte";
}
