#include "support/golden.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "control/rtf_document.h"
#include "support/test_util.h"

namespace qmtest {

namespace {

// The highest pnumber of the file's page elements: the conversion loop
// asks for every page of the PDF, and the page XML holds every page.
int LastPage(const std::string& xmlPath) {
    std::ifstream in(xmlPath, std::ios::binary);
    int last = 0;
    const std::string tag = "<page pnumber=\"";
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, tag.size(), tag) == 0) last = std::max(last, std::atoi(line.c_str() + tag.size()));
    return last;
}

}  // namespace

std::string RtfFromPageXml(const std::string& xmlPath, int layout, CLayoutContext* context) {
    TempDir dir;
    const std::string rtfPath = dir / "out.rtf";
    {
        std::unique_ptr<CRtfDocument> doc = CRtfDocument::CreateDocument(xmlPath, rtfPath, context);
        if (!doc || !doc->OpenOutput()) return {};
        doc->SetLayout(layout);
        const int last = LastPage(xmlPath);
        for (int page = 1; page <= last; ++page) {
            if (!doc->BeginPage(page)) break;
            doc->EndPage((page == 1 ? 1 : 0) | (page == last ? 2 : 0));
        }
    }  // destroying the document closes it
    return ReadFile(rtfPath);
}

}  // namespace qmtest
