// PDFs written object by object (where exact font names and positions
// matter) and the page XML document extracted from them the way the
// conversion does it.
#pragma once

#include <GlobalParams.h>
#include <PDFDoc.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "extract/html_output_dev.h"
#include "extract/metadata.h"
#include "support/test_util.h"

namespace qmtest {

// A stream object: `dict` holds its entries other than /Length.
inline std::string StreamObject(const std::string& dict, const std::string& data) {
    return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

// A PDF of numbered object bodies (object i + 1 is objects[i]) with its
// cross-reference table; object 1 is the catalogue. `trailerExtra` goes
// into the trailer, e.g. " /Info 9 0 R".
inline std::string RawPdf(const std::vector<std::string>& objects, const std::string& trailerExtra = std::string()) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t off : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        pdf += line;
    }
    return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R" + trailerExtra +
           " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// A PDF written object by object. Fonts are simple Type 1 fonts that are
// not embedded, with every glyph 500 units wide and an ascent of 0.8 and
// descent of 0.2, so that positions in the page XML can be worked out by
// hand: at 108 dots per inch a character of a 12-point font advances 9
// pixels and its run is 18 pixels high, from 14.4 pixels above the
// baseline to 3.6 below it.
class PdfBuilder {
public:
    // Adds a font resource /F<n> (n from 1) named `baseFont`. `toUnicode`
    // holds bfchar lines of a ToUnicode map ("<01> <00A0>"), overriding the
    // WinAnsi meaning of those codes.
    int AddFont(const std::string& baseFont, const std::vector<std::string>& toUnicode = {}) {
        m_fonts.push_back({baseFont, toUnicode, 0, 500, 32, {}});
        return static_cast<int>(m_fonts.size());
    }
    // Adds a font whose every glyph is `width` thousandths of the size wide,
    // with the descriptor flags `flags` (1 fixed pitch, 2 serif, 32 plain).
    int AddFontOfWidth(const std::string& baseFont, int width, int flags) {
        m_fonts.push_back({baseFont, {}, 0, width, flags, {}});
        return static_cast<int>(m_fonts.size());
    }
    // The media box of every page, in points (US Letter unless set).
    void SetPageSize(double width, double height) {
        m_pageWidth = width;
        m_pageHeight = height;
    }
    // Adds a Type 3 font whose only glyph, "m" (code 109), is `mWidth`
    // glyph units wide; `fontMatrix` maps glyph units to text space.
    int AddType3Font(int mWidth, const std::string& fontMatrix = "0.001 0 0 0.001 0 0") {
        m_fonts.push_back({std::string(), {}, mWidth, 0, 0, fontMatrix});
        return static_cast<int>(m_fonts.size());
    }
    // Adds a US Letter page; `extra` goes into the page dictionary (/Annots,
    // /Rotate).
    void AddPage(const std::string& content, const std::string& extra = std::string()) {
        m_pages.push_back({content, extra});
    }
    // Entries of the document information dictionary, e.g. "/Author (x)".
    void SetInfo(const std::string& info) { m_info = info; }
    // Entries added to the catalogue, e.g. "/Dests << ... >>".
    void SetCatalogExtra(const std::string& extra) { m_catalogExtra = extra; }

    // Object number of page `index` (0-based), for destinations. Valid once
    // all fonts are added.
    int PageObject(size_t index) const { return 3 + static_cast<int>(m_fonts.size()) * 3 + static_cast<int>(index) * 2; }

    std::string Build() const {
        std::vector<std::string> objects;  // object i + 1
        std::string kids;
        for (size_t i = 0; i < m_pages.size(); ++i) kids += std::to_string(PageObject(i)) + " 0 R ";
        objects.push_back("<< /Type /Catalog /Pages 2 0 R " + m_catalogExtra + " >>");
        objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(m_pages.size()) + " >>");
        std::string fontRes;
        for (size_t i = 0; i < m_fonts.size(); ++i) {
            const Font& f = m_fonts[i];
            const int fontObj = 3 + static_cast<int>(i) * 3;
            if (f.type3MWidth != 0) {
                const std::string w = std::to_string(f.type3MWidth);
                const std::string glyph = w + " 0 d0 0 0 " + w + " 700 re f";
                objects.push_back(
                    "<< /Type /Font /Subtype /Type3 /FontBBox [0 -200 1000 800] /FontMatrix [" + f.fontMatrix + "] "
                    "/CharProcs << /m " + std::to_string(fontObj + 1) +
                    " 0 R >> /Encoding << /Type /Encoding /Differences [109 /m] >> /FirstChar 109 /LastChar 109 "
                    "/Widths [" + w + "] /Resources << >> >>");
                objects.push_back(StreamObject("", glyph));
                objects.push_back("<< >>");
                fontRes += "/F" + std::to_string(i + 1) + " " + std::to_string(fontObj) + " 0 R ";
                continue;
            }
            std::string widths;
            for (int c = 0; c <= 255; ++c) widths += std::to_string(f.width) + " ";
            objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /" + f.name +
                              " /FirstChar 0 /LastChar 255 /Widths [" + widths +
                              "] /Encoding /WinAnsiEncoding /FontDescriptor " + std::to_string(fontObj + 1) + " 0 R" +
                              (f.toUnicode.empty() ? std::string() : " /ToUnicode " + std::to_string(fontObj + 2) + " 0 R") +
                              " >>");
            objects.push_back("<< /Type /FontDescriptor /FontName /" + f.name +
                              " /Flags " + std::to_string(f.flags) + " /FontBBox [0 -200 1000 800] /ItalicAngle 0 /Ascent 800 /Descent -200 "
                              "/CapHeight 700 /StemV 80 >>");
            std::string cmap =
                "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                "1 begincodespacerange\n<00> <FF>\nendcodespacerange\n" +
                std::to_string(f.toUnicode.size()) + " beginbfchar\n";
            for (const std::string& line : f.toUnicode) cmap += line + "\n";
            cmap += "endbfchar\nendcmap\nCMapName currentdict /CMap defineresource pop\nend\nend";
            objects.push_back(StreamObject("", cmap));
            fontRes += "/F" + std::to_string(i + 1) + " " + std::to_string(fontObj) + " 0 R ";
        }
        for (const Page& p : m_pages) {
            const int contentObj = static_cast<int>(objects.size()) + 2;
            std::ostringstream box;
            box << "[0 0 " << m_pageWidth << " " << m_pageHeight << "]";
            objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox " + box.str() + " /Resources << /Font << " +
                              fontRes + ">> >> /Contents " + std::to_string(contentObj) + " 0 R " + p.extra + " >>");
            objects.push_back(StreamObject("", p.content));
        }
        if (m_info.empty()) return RawPdf(objects);
        objects.push_back("<< " + m_info + " >>");
        return RawPdf(objects, " /Info " + std::to_string(objects.size()) + " 0 R");
    }

    std::string Write(const TempDir& dir, const std::string& name) const {
        const std::string path = dir / (name + ".pdf");
        WriteFile(path, Build());
        return path;
    }

private:
    struct Page { std::string content; std::string extra; };
    struct Font {
        std::string name;
        std::vector<std::string> toUnicode;
        int type3MWidth;  // 0 for a Type 1 font
        int width;        // of every glyph of a Type 1 font
        int flags;
        std::string fontMatrix;
    };
    double m_pageWidth = 612;
    double m_pageHeight = 792;
    std::vector<Font> m_fonts;
    std::vector<Page> m_pages;
    std::string m_info;
    std::string m_catalogExtra;
};

// Makes the PDF core's settings object for a test and removes it again,
// unless one was there already.
class CoreParams {
public:
    CoreParams() {
        if (!globalParams) {
            globalParams = std::make_unique<GlobalParams>();
            m_bOwn = true;
        }
        globalParams->setErrQuiet(true);
        globalParams->setTextEncoding("Latin1");
    }
    ~CoreParams() {
        if (m_bOwn) globalParams.reset();
    }
    CoreParams(const CoreParams&) = delete;
    CoreParams& operator=(const CoreParams&) = delete;

private:
    bool m_bOwn = false;
};

// Renders every page of `pdf` into the text output device as the
// conversion does, writing `<outBase>.xml` (by default beside the PDF, with
// its base name), and returns the document's bytes (empty when the PDF does
// not open).
// `hiddenTextPages`, when given, receives the pages whose text is their
// invisible text layer.
inline std::string ExtractXml(const std::string& pdf, int* pageCount = nullptr, std::string outBase = std::string(),
                              std::vector<int>* hiddenTextPages = nullptr) {
    CoreParams params;
    PDFDoc doc(std::make_unique<GooString>(pdf));
    if (!doc.isOk()) return std::string();
    DocMetadata meta = ReadDocMetadata(&doc);
    const std::string base = outBase.empty() ? pdf.substr(0, pdf.size() - 4) : outBase;
    {
        HtmlOutputDev dev(base, meta.title, meta.author, meta.keywords, meta.subject, meta.date, "png", true, 1, false);
        if (!dev.isOk()) return std::string();
        const int n = doc.getNumPages();
        if (pageCount != nullptr) *pageCount = n;
        doc.displayPages(&dev, 1, n, 108, 108, 0, true, true, true);
        if (hiddenTextPages != nullptr) *hiddenTextPages = dev.HiddenTextPages();
    }
    return ReadFile(base + ".xml");
}

// The lines from `<page pnumber="n" ...>` to its `</page>`, each ending in
// a line feed.
inline std::string PageOf(const std::string& xml, int n) {
    const std::string tag = "<page pnumber=\"" + std::to_string(n) + "\"";
    size_t start = xml.find(tag);
    if (start == std::string::npos) return std::string();
    size_t end = xml.find("</page>\n", start);
    if (end == std::string::npos) return xml.substr(start);
    return xml.substr(start, end + 8 - start);
}

// The page body without its start tag and font lines: the margin line and
// the text elements.
inline std::string TextOf(const std::string& page) {
    size_t start = page.find("<margin");
    size_t end = page.find("</page>\n");
    if (start == std::string::npos || end == std::string::npos) return std::string();
    return page.substr(start, end - start);
}

// Lines of the page XML document, for expected values.
inline const char* const kMargins = "<margin mleft=\"0050\" mtop=\"0050\" mbottom=\"0010\" mright=\"0010\">\n";

// The start tag of a US Letter page: its size in page units and in twips.
inline std::string PageTag(int n) {
    return "<page pnumber=\"" + std::to_string(n) +
           "\" pposition=\"absolute\" ptop=\"0\" pleft=\"0\" pheight=\"1188\" pwidth=\"918\" protation=\"0\" "
           "ppaperh=\"15840\" ppaperw=\"12240\">\n";
}

inline std::string Data(int style = 0, const char* cSpace = "+000.00") {
    return std::string("<data cSpace=\"") + cSpace + "\" wSpace=\"+0000.00\" hScal=\"100\" style=\"" +
           std::to_string(style) + "\" cRise=\"+0000.00\" cLeading=\"+0000.00\">";
}

// One text element: its three lines.
inline std::string Text(int top, int left, int width, int height, int font, const std::string& data,
                 const std::string& content, int dir = 1, int angle = 0) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "<text top=\"%d\" left=\"%d\" width=\"%d\" height=\"%d\" font=\"%d\" direction=\"%d\" toc=\"0\" "
                  "Angle=\"%d\">\n",
                  top, left, width, height, font, dir, angle);
    return buf + data + content + "\n</text>\n";
}

// The fonts PdfBuilder makes describe themselves as non-symbolic without
// serifs: their class face is Arial.
inline std::string FontSpec(int id, int size, const std::string& family, const std::string& color,
                            const std::string& alternate = "Arial") {
    return "\t<fontspec id=\"" + std::to_string(id) + "\" size=\"" + std::to_string(size) + "\" family=\"" + family +
           "\" alternate=\"" + alternate + "\" color=\"" + color + "\">\n";
}

// A line of text in font /F1 at 12 points, starting at (x, y) points.
inline std::string Show(double x, double y, const std::string& text, const std::string& state = std::string()) {
    std::ostringstream s;
    s.precision(10);
    s << "BT /F1 12 Tf " << state << " " << x << " " << y << " Td (" << text << ") Tj ET\n";
    return s.str();
}

}  // namespace qmtest
