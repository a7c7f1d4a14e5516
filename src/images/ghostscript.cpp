// Ghostscript command line and run.
#include "images/ghostscript.h"

#include <cstdlib>

#include "platform/process.h"

namespace {
constexpr double kDefaultRenderTimeout = 120.0;

struct DeviceRow {
    const char* device;
    const char* extension;
};
constexpr DeviceRow kDevices[] = {
    {"jpeg", "jpeg"}, {"bmp16m", "bmp"}, {"png16m", "png"}, {"tiff24nc", "tiff"}, {"pcx24b", "pcx"},
    {"pbm", "pbm"},   {"pnm", "pnm"},    {"ppm", "ppm"},
};
}  // namespace

std::string DeviceExtension(const std::string& device) {
    for (const auto& row : kDevices)
        if (device == row.device) return row.extension;
    return "jpeg";
}

std::string GhostscriptProgram() {
    const char* gs = std::getenv("QUILLMARK_GS");
    return (gs != nullptr && *gs != '\0') ? gs : "gs";
}

double GhostscriptTimeout() {
    const char* text = std::getenv("QUILLMARK_GS_TIMEOUT");
    if (text != nullptr && *text != '\0') {
        char* end = nullptr;
        double v = std::strtod(text, &end);
        if (end != text && v > 0) return v;
    }
    return kDefaultRenderTimeout;
}

std::vector<std::string> GhostscriptArguments(const std::string& device, const std::string& outputPath,
                                              const std::string& inputPath) {
    // Each path is one argument of its own: no quoting, so a quote or a
    // space in a path cannot split or break the command. Ghostscript reads
    // "%d" in an output name as a page number and a leading '-' as an
    // option, so those are escaped.
    std::string out;
    for (char ch : outputPath) {
        out += ch;
        if (ch == '%') out += '%';
    }
    std::string in = (!inputPath.empty() && inputPath[0] == '-') ? "./" + inputPath : inputPath;
    return {GhostscriptProgram(), "-sDEVICE=" + device, "-dBATCH", "-dNOPROMPT", "-dNOPAUSE",
            "-sOutputFile=" + out, "-q", in};
}

RenderStatus RunAndWait(const std::vector<std::string>& argv) {
    qm::RunResult r = qm::RunProgram(argv, GhostscriptTimeout());
    switch (r.status) {
        case qm::RunStatus::kFinished:
            return RenderStatus::kOk;
        case qm::RunStatus::kTimedOut:
            return RenderStatus::kTimedOut;
        case qm::RunStatus::kNotStarted:
        default:
            return RenderStatus::kNoProgram;
    }
}
