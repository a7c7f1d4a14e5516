// Ghostscript command line and run.
#include "images/ghostscript.h"

#include <cstdio>
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

bool DeviceKeepsAlpha(const std::string& device) { return device == "png16m" || device == "tiff24nc"; }

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

namespace {
// Ghostscript reads "%d" in an output name as a page number.
std::string EscapePercent(const std::string& path) {
    std::string out;
    for (char ch : path) {
        out += ch;
        if (ch == '%') out += '%';
    }
    return out;
}

// A leading '-' would be read as an option.
std::string InputArgument(const std::string& path) { return (!path.empty() && path[0] == '-') ? "./" + path : path; }
}  // namespace

std::vector<std::string> GhostscriptArguments(const std::string& device, const std::string& outputPath,
                                              const std::string& inputPath) {
    // Each path is one argument of its own: no quoting, so a quote or a
    // space in a path cannot split or break the command.
    return {GhostscriptProgram(), "-sDEVICE=" + device, "-dBATCH", "-dNOPROMPT", "-dNOPAUSE",
            "-sOutputFile=" + EscapePercent(outputPath), "-q", InputArgument(inputPath)};
}

std::vector<std::string> GhostscriptBatchArguments(const std::string& device, const std::string& folder,
                                                   const std::string& outputTemplate,
                                                   const std::vector<std::string>& inputPaths) {
    std::vector<std::string> argv = {GhostscriptProgram(), "-sDEVICE=" + device, "-dBATCH", "-dNOPROMPT",
                                     "-dNOPAUSE",          "-sOutputFile=" + EscapePercent(folder) + "/" + outputTemplate,
                                     "-q"};
    for (const auto& in : inputPaths) argv.push_back(InputArgument(in));
    return argv;
}

std::vector<std::string> GhostscriptDrawingArguments(const std::string& pdfPath, int page, const double box[4], int dpi,
                                                     const std::string& outputPath) {
    char width[64], height[64], shift[128];
    std::snprintf(width, sizeof width, "%.2f", box[2] - box[0]);
    std::snprintf(height, sizeof height, "%.2f", box[3] - box[1]);
    // The page is drawn at its usual place on a sheet the size of the box,
    // moved by the device's set-up so that the box's corner lies at the
    // sheet's; what the PDF page asks for its own size is then ignored.
    std::snprintf(shift, sizeof shift, "<</Install {%.2f %.2f translate}>> setpagedevice", -box[0], -box[1]);
    return {GhostscriptProgram(),
            "-sDEVICE=png16m",
            "-dBATCH",
            "-dNOPROMPT",
            "-dNOPAUSE",
            "-dSAFER",
            "-q",
            "-r" + std::to_string(dpi),
            "-dGraphicsAlphaBits=4",
            "-dUseCropBox",
            "-dFILTERTEXT",
            "-dFILTERIMAGE",
            "-dFirstPage=" + std::to_string(page),
            "-dLastPage=" + std::to_string(page),
            std::string("-dDEVICEWIDTHPOINTS=") + width,
            std::string("-dDEVICEHEIGHTPOINTS=") + height,
            "-dFIXEDMEDIA",
            "-sOutputFile=" + EscapePercent(outputPath),
            "-c",
            shift,
            "-f",
            InputArgument(pdfPath)};
}

RenderStatus RunAndWait(const std::vector<std::string>& argv) {
    int exitCode = -1;
    return RunAndWaitFor(argv, GhostscriptTimeout(), &exitCode);
}

RenderStatus RunAndWaitFor(const std::vector<std::string>& argv, double timeoutSeconds, int* exitCode,
                           const std::function<bool()>& stop) {
    qm::RunResult r = qm::RunProgram(argv, timeoutSeconds, stop);
    *exitCode = r.exitCode;
    switch (r.status) {
        case qm::RunStatus::kFinished:
            return RenderStatus::kOk;
        case qm::RunStatus::kTimedOut:
            return RenderStatus::kTimedOut;
        case qm::RunStatus::kStopped:
            return RenderStatus::kStopped;
        case qm::RunStatus::kNotStarted:
        default:
            return RenderStatus::kNoProgram;
    }
}
