// Page-range text as typed by a user.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "control/page_range.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<CPageSpan> spans;
    std::string text(reinterpret_cast<const char*>(data), size);
    const std::string error = ParsePageRange(text, spans);
    // Either a message or a list of forward spans of real page numbers.
    if (error.empty() == spans.empty()) __builtin_trap();
    for (const CPageSpan& s : spans)
        if (s.m_nFirst < 1 || s.m_nLast < s.m_nFirst) __builtin_trap();
    return 0;
}
