// The text output device: receives every interpreted page from the PDF core
// and writes the page XML document.
#pragma once

#include <cstdio>
#include <string>

#include <OutputDev.h>

class HtmlOutputDev : public OutputDev {
public:
    // `fileName` is the document's path without its ".xml" extension.
    HtmlOutputDev(const std::string& fileName, const std::string& title, const std::string& author,
                  const std::string& keywords, const std::string& subject, const std::string& date,
                  const std::string& extension, bool rawOrder, int firstPage, bool outline);
    ~HtmlOutputDev() override;

    bool isOk() const { return m_bOk; }

    bool upsideDown() override { return true; }
    bool useDrawChar() override { return true; }
    bool interpretType3Chars() override { return false; }
    bool needNonText() override { return false; }

    void startPage(int pageNum, GfxState* state, XRef* xref) override;
    void endPage() override;

private:
    std::FILE* m_file = nullptr;
    bool m_bOk = false;
};
