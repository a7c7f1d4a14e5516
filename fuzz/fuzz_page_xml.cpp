// The page XML reader over arbitrary bytes: the header pass, the font
// specifications and the pages, each page read into the document and laid
// out in the layout the first byte chooses, the RTF going to /dev/null.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "control/rtf_document.h"
#include "layout/model.h"

using qmfuzz::Scratch;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string xml = Scratch() + "/doc.xml";
    if (!qmfuzz::WriteInput(xml, data + 1, size - 1)) return 0;
    {
        std::unique_ptr<CRtfDocument> doc = CRtfDocument::CreateDocument(xml, "/dev/null");
        if (doc) {
            doc->SetLayout(data[0] % 4);
            doc->OpenOutput();
            // Pages out of order and beyond the document's end are asked for
            // too: the reader must answer them without reading past the end.
            for (int page : {1, 2, 3, 2, 7}) {
                if (!doc->BeginPage(page)) break;
                doc->EndPage(page == 1 ? 1 : 0);
            }
        }
    }
    std::remove(xml.c_str());
    return 0;
}
