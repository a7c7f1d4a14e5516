// Picture files with an alpha channel. Ghostscript's PNG and TIFF devices
// write no coverage, so a picture with a mask is rendered twice, its
// colours over white and its coverage as a gray picture of the same
// placement, and the two are put together here.
#pragma once

#include <string>
#include <vector>

// A raster read back from Ghostscript's ppmraw or pgmraw device.
struct CRaster {
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nChannels = 0;  // 3 for a colour file, 1 for a gray one
    std::vector<unsigned char> m_data;
};

// Reads a binary PPM (P6) or PGM (P5) file of 8-bit samples.
bool ReadPnm(const std::string& path, CRaster& raster);

// The picture file of the coverage: the picture file `colourPs` (a final
// picture file whose picture is an 8-bit RGB picture of `width` x `height`)
// with the picture's samples replaced by `alpha`, one gray byte a pixel,
// in the same placement. False when the file does not have that form.
bool WriteCoverageFile(const std::string& colourPs, const std::vector<unsigned char>& alpha, int width,
                       int height, const std::string& coveragePs);

// Writes `colour` (3 channels) with the gray samples of `coverage` as its
// alpha channel to `path`: PNG, or TIFF when `tiff`. The two must be of one
// size.
bool WriteAlphaPicture(const std::string& path, bool tiff, const CRaster& colour, const CRaster& coverage);
