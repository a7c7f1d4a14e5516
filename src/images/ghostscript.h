// Ghostscript rendering: every picture reaches the disk as a raster file
// that Ghostscript renders from a one-page PostScript file of the picture's
// size. Ghostscript runs as a separate program, `gs` on the search path, or
// the program named by the environment variable QUILLMARK_GS.
#pragma once

#include <functional>
#include <string>
#include <vector>

// File extension of the raster files that a Ghostscript device writes
// ("jpeg" for any device not in the table).
std::string DeviceExtension(const std::string& device);

// Whether the picture files of `device` can hold a picture's coverage (the
// PNG and TIFF devices); their pictures with a mask are then written with
// an alpha channel.
bool DeviceKeepsAlpha(const std::string& device);

// The argument vector that renders `inputPath` into `outputPath` with `device`.
std::vector<std::string> GhostscriptArguments(const std::string& device, const std::string& outputPath,
                                              const std::string& inputPath);

// The argument vector that renders every file of `inputPaths` in one run:
// the n-th page made (from 1) goes to `outputTemplate` with its "%d"
// replaced by n; any other '%' of the template is escaped here.
std::vector<std::string> GhostscriptBatchArguments(const std::string& device, const std::string& folder,
                                                   const std::string& outputTemplate,
                                                   const std::vector<std::string>& inputPaths);

// The argument vector that renders the box `x0 y0 x1 y1` (points of the
// page as shown, from its bottom left corner) of page `page` of the PDF
// `pdfPath` at `dpi` into the PNG file `outputPath`, with the page's text
// and pictures left out: only what it draws.
std::vector<std::string> GhostscriptDrawingArguments(const std::string& pdfPath, int page, const double box[4],
                                                     int dpi, const std::string& outputPath);

// kStopped: the conversion was stopped at once while the program ran; it
// was killed.
enum class RenderStatus { kOk, kNoProgram, kTimedOut, kStopped };

// Starts the program of `argv` and waits for it, at most the render time-out.
// kOk also when the program failed: whether the raster file was written is
// not judged here.
RenderStatus RunAndWait(const std::vector<std::string>& argv);

// Like RunAndWait with a time-out of `timeoutSeconds`; `exitCode` gets the
// program's exit status (-1 when it did not end by itself). The program is
// killed as soon as `stop` (when given) says stop.
RenderStatus RunAndWaitFor(const std::vector<std::string>& argv, double timeoutSeconds, int* exitCode,
                           const std::function<bool()>& stop = {});

// The renderer program: QUILLMARK_GS when set, else "gs".
std::string GhostscriptProgram();
// Seconds after which a render is killed: QUILLMARK_GS_TIMEOUT when set to
// a positive number, else 120.
double GhostscriptTimeout();
