// Picture files with an alpha channel, from two Ghostscript renders.
#include "images/alpha_picture.h"

#include <goo/PNGWriter.h>
#include <goo/TiffWriter.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

// The next number of a PNM header, past white space and comments.
bool HeaderNumber(const std::string& s, size_t& pos, long& value) {
    for (;;) {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
        if (pos < s.size() && s[pos] == '#') {
            while (pos < s.size() && s[pos] != '\n') ++pos;
            continue;
        }
        break;
    }
    size_t start = pos;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
    if (pos == start || pos - start > 9) return false;
    value = std::strtol(s.c_str() + start, nullptr, 10);
    return true;
}

const char kHex[] = "0123456789ABCDEF";

}  // namespace

bool ReadPnm(const std::string& path, CRaster& raster) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (s.size() < 2 || s[0] != 'P' || (s[1] != '5' && s[1] != '6')) return false;
    const int channels = s[1] == '6' ? 3 : 1;
    size_t pos = 2;
    long w = 0, h = 0, max = 0;
    if (!HeaderNumber(s, pos, w) || !HeaderNumber(s, pos, h) || !HeaderNumber(s, pos, max)) return false;
    if (w <= 0 || h <= 0 || max != 255 || pos >= s.size()) return false;
    ++pos;  // the one white-space character before the samples
    const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * channels;
    if (s.size() - pos < bytes) return false;
    raster.m_nWidth = static_cast<int>(w);
    raster.m_nHeight = static_cast<int>(h);
    raster.m_nChannels = channels;
    raster.m_data.assign(s.begin() + static_cast<std::ptrdiff_t>(pos),
                         s.begin() + static_cast<std::ptrdiff_t>(pos + bytes));
    return true;
}

bool WriteCoverageFile(const std::string& colourPs, const std::vector<unsigned char>& alpha, int width,
                       int height, const std::string& coveragePs) {
    if (width <= 0 || height <= 0 || alpha.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        return false;
    std::ifstream in(colourPs, std::ios::binary);
    std::ofstream out(coveragePs, std::ios::binary | std::ios::trunc);
    if (!in || !out) return false;
    // Before the placement marker: the set-up and placement, kept. Then the
    // picture's dictionary, made gray and reading hexadecimal samples, up to
    // the procedure that draws it; the samples follow up to the end-of-data
    // line, replaced; the rest is kept.
    enum { kHead, kDictionary, kSamples, kTail } part = kHead;
    std::string line;
    bool drawn = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        switch (part) {
            case kHead:
                out << line << '\n';
                if (line.find("%%ImageMatrixTag1") != std::string::npos) part = kDictionary;
                break;
            case kDictionary:
                if (line.find("setcolorspace") != std::string::npos) {
                    out << "/DeviceGray setcolorspace\n";
                } else if (line.find("/Decode") != std::string::npos) {
                    out << "  /Decode [0 1]\n";
                } else if (line.find("/DataSource") != std::string::npos || line.find("filter") != std::string::npos) {
                    // The colours' sources and filters; the coverage has its own.
                } else if (line == ">>") {
                    out << "  /DataSource currentfile /ASCIIHexDecode filter\n>>\n";
                } else if (line == "pdfIm") {
                    out << "pdfIm\n";
                    std::string hex;
                    hex.reserve(alpha.size() * 2 + alpha.size() / 32 + 2);
                    for (size_t i = 0; i < alpha.size(); ++i) {
                        hex += kHex[alpha[i] >> 4];
                        hex += kHex[alpha[i] & 15];
                        if (i % 32 == 31) hex += '\n';
                    }
                    out << hex << ">\n";
                    drawn = true;
                    part = kSamples;
                } else if (line.find("/BitsPerComponent") != std::string::npos &&
                           line.find(" 8") == std::string::npos) {
                    return false;
                } else {
                    out << line << '\n';
                }
                break;
            case kSamples:
                if (line == "%-EOD-") {
                    out << line << '\n';
                    part = kTail;
                }
                break;
            case kTail:
                out << line << '\n';
                break;
        }
    }
    out.flush();
    return drawn && static_cast<bool>(out);
}

bool WriteAlphaPicture(const std::string& path, bool tiff, const CRaster& colour, const CRaster& coverage) {
    const int w = colour.m_nWidth, h = colour.m_nHeight;
    if (colour.m_nChannels != 3 || coverage.m_nChannels != 1 || coverage.m_nWidth != w || coverage.m_nHeight != h ||
        w <= 0 || h <= 0)
        return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    std::unique_ptr<ImgWriter> writer;
    if (tiff)
        writer = std::make_unique<TiffWriter>(TiffWriter::RGBA_PREMULTIPLIED);
    else
        writer = std::make_unique<PNGWriter>(PNGWriter::RGBA);
    bool ok = writer->init(f, w, h, 72, 72);
    std::vector<unsigned char> row(static_cast<size_t>(w) * 4);
    for (int y = 0; ok && y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t at = static_cast<size_t>(y) * w + x;
            const int a = coverage.m_data[at];
            for (int k = 0; k < 3; ++k) {
                // The colours were drawn over white: white's share comes off
                // first, which leaves them multiplied by their coverage.
                const int premultiplied = std::max(0, colour.m_data[at * 3 + k] - (255 - a));
                row[static_cast<size_t>(x) * 4 + k] = static_cast<unsigned char>(
                    tiff ? premultiplied : (a > 0 ? std::min(255, (premultiplied * 255 + a / 2) / a) : 0));
            }
            row[static_cast<size_t>(x) * 4 + 3] = static_cast<unsigned char>(a);
        }
        unsigned char* rows[1] = {row.data()};
        ok = writer->writeRow(rows);
    }
    if (std::fflush(f) != 0) ok = false;
    if (!writer->close()) ok = false;
    // The TIFF writer closes the file's descriptor itself; the stream is
    // still let go of here, and only the PNG writer's close can fail.
    if (std::fclose(f) != 0 && !tiff) ok = false;
    return ok;
}
