// The path reader and the vector picture writer over arbitrary path text,
// on a page whose box the first two bytes choose (zero sizes included,
// which fall back to US letter).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "layout/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    CRtfPage page(nullptr, 1);
    page.m_rect = CRect(0, 0, data[0] * 10, data[1] * 10);
    CRtfLine line;
    line.m_strPath.assign(reinterpret_cast<const char*>(data + 2), size - 2);
    if (!line.ParsePath(&page)) return 0;
    std::vector<CPaintedPiece> pieces;
    for (const CPathPiece& piece : line.m_pieces) pieces.push_back(CPaintedPiece{&piece, &line.m_style});
    const std::string picture = PathPictureText(pieces, 1, 0, false, page.m_rect.Width(), page.m_rect.Height());
    if (picture.empty()) __builtin_trap();  // every piece read has two points
    return 0;
}
