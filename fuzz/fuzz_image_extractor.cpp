// The picture splitter over arbitrary PostScript text. The first byte
// chooses the number of picture records (0 to 7), the kind of run and the
// page rotation; the rest is the page PostScript. Pictures are cut out and
// their files written, but not rendered (the remove-images flag), so no
// Ghostscript runs.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "control/convert_para.h"
#include "images/image_extractor.h"
#include "layout/model.h"

using qmfuzz::Scratch;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string ps = Scratch() + "/page.ps";
    if (!qmfuzz::WriteInput(ps, data + 1, size - 1)) return 0;

    std::vector<std::unique_ptr<CRtfShpObject>> objects;
    for (int i = 0; i < (data[0] & 0x07); ++i) {
        auto picture = std::make_unique<CRtfImage>();
        // Odd records carry their own placement, as the device makes them.
        if (i % 2 == 1) picture->m_strImageMatrix = "[100 0 0 80 10 20]";
        objects.push_back(std::move(picture));
    }
    {
        CImageExtractor extractor(ps, 1, "png16m", &objects);
        extractor.m_bRemoveImages = true;
        extractor.m_bExtraction = (data[0] & 0x08) != 0;
        extractor.m_strExtractPrefix = Scratch() + "/out/doc";
        extractor.m_nRotation = ((data[0] >> 4) & 3) * 90;
        extractor.ExtractPagePictures((data[0] & 0x40) != 0);
    }
    objects.clear();
    // Only the template stays between inputs; the picture folders and any
    // file left in them go.
    std::error_code ec;
    std::filesystem::remove(ps, ec);
    std::filesystem::remove_all(Scratch() + "/out", ec);
    std::filesystem::remove_all(Scratch() + "/page-1", ec);
    return 0;
}
