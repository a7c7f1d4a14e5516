// Page-range text and file-size text, shared by the desktop application and
// the command line.
#include "control/page_range.h"

#include <climits>
#include <cstdint>

namespace {

// Reads a number the way atoi does (leading white space, an optional sign,
// the digits up to the first non-digit; no digits read as 0), but saturates
// at the int32 limits where atoi's result would be undefined.
int32_t ReadNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

}  // namespace

int ParsePageRange(const std::string& text, int32_t (&pages)[kPageListSize]) {
    for (auto& p : pages) p = 0;
    int n = 0;
    size_t start = 0;
    while (n < kPageListSize) {
        size_t comma = text.find(',', start);
        std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (piece.empty()) break;
        size_t dash = piece.find('-');
        if (dash == std::string::npos) {
            pages[n++] = ReadNumber(piece);
        } else {
            // 64-bit counter: a range ending at INT32_MAX must not wrap.
            int64_t a = ReadNumber(piece.substr(0, dash));
            int64_t b = ReadNumber(piece.substr(dash + 1));
            for (int64_t p = a; p <= b && n < kPageListSize; ++p) pages[n++] = static_cast<int32_t>(p);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return n;
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
