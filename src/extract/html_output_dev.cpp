// Placeholder device: writes the document frame and one page element per
// page, without text. The full device replaces it.
#include "extract/html_output_dev.h"

#include <GfxState.h>

HtmlOutputDev::HtmlOutputDev(const std::string& fileName, const std::string&, const std::string& author,
                             const std::string& keywords, const std::string& subject, const std::string& date,
                             const std::string&, bool, int, bool) {
    std::string path = fileName + ".xml";
    m_file = std::fopen(path.c_str(), "wb");
    if (m_file == nullptr) return;
    std::fprintf(m_file, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n");
    std::fprintf(m_file, "<pdf2xml author=\"%s\" keywords=\"%s\" date=\"%s\" subject=\"%s\">\n", author.c_str(),
                 keywords.c_str(), date.c_str(), subject.c_str());
    m_bOk = true;
}

HtmlOutputDev::~HtmlOutputDev() {
    if (m_file != nullptr) {
        std::fprintf(m_file, "</pdf2xml>\n");
        std::fclose(m_file);
    }
}

static unsigned Trunc(double v) { return static_cast<unsigned>(static_cast<int>(v)); }

void HtmlOutputDev::startPage(int pageNum, GfxState* state, XRef*) {
    if (m_file == nullptr) return;
    std::fprintf(m_file,
                 "<page pnumber=\"%u\" pposition=\"absolute\" ptop=\"%u\" pleft=\"%u\" pheight=\"%u\" pwidth=\"%u\" "
                 "protation=\"%u\">\n",
                 static_cast<unsigned>(pageNum), 0u, 0u, Trunc(state->getPageHeight()), Trunc(state->getPageWidth()),
                 static_cast<unsigned>(state->getRotate()));
}

void HtmlOutputDev::endPage() {
    if (m_file != nullptr) std::fprintf(m_file, "</page>\n");
}
