// The shape builder over arbitrary path text, on a page whose box the first
// two bytes choose (zero sizes included, which fall back to US letter).
#include <cstddef>
#include <cstdint>
#include <string>

#include "layout/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    CRtfPage page(nullptr, 1);
    page.m_rect = CRect(0, 0, data[0] * 10, data[1] * 10);
    CRtfLine line;
    line.m_strPath.assign(reinterpret_cast<const char*>(data + 2), size - 2);
    const bool built = line.BuildShape(&page);
    if (built == line.m_strShape.empty()) __builtin_trap();
    return 0;
}
