// Making starttext.ps from Poppler's PostScript output device.
#include "images/start_text.h"

#include <GlobalParams.h>
#include <PDFDoc.h>
#include <PSOutputDev.h>
#include <Stream.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/pdf_core.h"

namespace {

// A one-page PDF with an empty page: enough for the device to write its
// header and prologue, and nothing of any real document.
std::string EmptyPdf() {
    const char* objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Resources << >> /Contents 4 0 R >>",
        "<< /Length 0 >>\nstream\n\nendstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::string xref = "xref\n0 5\n0000000000 65535 f \n";
    char buf[64];
    int n = 1;
    for (const char* obj : objects) {
        std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", pdf.size());
        xref += buf;
        pdf += std::to_string(n++) + " 0 obj\n" + obj + "\nendobj\n";
    }
    size_t start = pdf.size();
    pdf += xref + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(start) + "\n%%EOF\n";
    return pdf;
}

void AppendOutput(void* stream, const char* data, size_t len) { static_cast<std::string*>(stream)->append(data, len); }

// The lines added after Poppler's prologue. The final picture files call
// "W H false pdfSetup" (Poppler's own pdfSetup takes the duplex flag only
// and leaves the paper alone), select gray colours with g and G (which this
// procedure set no longer defines) and end with a text-state trailer that
// selects /F10_0: a font that draws nothing spares Ghostscript a font
// search and substitution for every picture.
constexpr const char* kSetupAdditions =
    "xpdf begin\n"
    "/pdfSetupDuplex /pdfSetup load def\n"
    "/pdfSetup {\n"
    "  pdfSetupDuplex\n"
    "  /setpagedevice where {\n"
    "    pop 2 array astore\n"
    "    2 dict begin /PageSize exch def /ImagingBBox null def currentdict end\n"
    "    setpagedevice\n"
    "  } {\n"
    "    pop pop\n"
    "  } ifelse\n"
    "} def\n"
    "/g { /DeviceGray {} cs [ exch ] sc } def\n"
    "/G { /DeviceGray {} CS [ exch ] SC } def\n"
    "/F10_0 10 dict begin\n"
    "  /FontType 3 def /FontMatrix [1 0 0 1 0 0] def /FontBBox [0 0 0 0] def\n"
    "  /Encoding 256 array def 0 1 255 { Encoding exch /.notdef put } for\n"
    "  /BuildChar { pop pop 0 0 setcharwidth } def\n"
    "currentdict end definefont pop\n"
    "%%PageSizeTag\n";

std::string MakeProlog() {
    // The device needs the core's settings object; a picture step always
    // runs inside a conversion that has one, a test may not.
    qm::CPdfCoreSettings settings;
    std::string pdf = EmptyPdf();
    std::string out;
    {
        Object dict;
        auto* stream = new MemStream(pdf.data(), 0, static_cast<Goffset>(pdf.size()), std::move(dict));
        PDFDoc doc(stream);
        if (doc.isOk()) {
            std::vector<int> pages{1};
            PSOutputDev dev(AppendOutput, &out, nullptr, &doc, pages, psModePS, -1, -1, false, false, 0, 0, 0, 0,
                            psNeverRasterize, false, nullptr, nullptr, psLevel2);
            if (dev.isOk()) doc.displayPage(&dev, 1, 72, 72, 0, true, true, true);
        }
    }
    size_t setup = out.find("%%BeginSetup\n");
    if (setup == std::string::npos) return {};
    return out.substr(0, setup + 13) + kSetupAdditions;
}

}  // namespace

const std::string& StartTextProlog() {
    static const std::string prolog = MakeProlog();
    return prolog;
}

bool WriteStartText(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return true;
    const std::string& text = StartTextProlog();
    if (text.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}
