#include "control/page_range.h"

#include <cstdlib>

int ParsePageRange(const std::string& text, int32_t (&pages)[kPageListSize]) {
    for (auto& p : pages) p = 0;
    int n = 0;
    size_t start = 0;
    while (start <= text.size() && n < kPageListSize) {
        size_t comma = text.find(',', start);
        std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (piece.empty()) break;
        size_t dash = piece.find('-');
        if (dash == std::string::npos) {
            pages[n++] = std::atoi(piece.c_str());
        } else {
            long a = std::atoi(piece.substr(0, dash).c_str());
            long b = std::atoi(piece.substr(dash + 1).c_str());
            for (long p = a; p <= b && n < kPageListSize; ++p) pages[n++] = static_cast<int32_t>(p);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return n;
}

std::string FormatFileSize(uint64_t bytes) {
    std::string digits = std::to_string(bytes);
    std::string out;
    int count = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (count > 0 && count % 3 == 0) out.insert(out.begin(), ',');
        out.insert(out.begin(), *it);
        ++count;
    }
    return out + " Byte";
}
