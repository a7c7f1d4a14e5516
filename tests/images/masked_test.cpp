// Pictures with a mask (soft masks, stencil masks, colour keys) and
// pictures on turned pages: what the picture files and documents get.
#include <gtest/gtest.h>

#include <GfxState.h>
#include <Stream.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "images/alpha_picture.h"
#include "images/page_ps_device.h"
#include "support/pdf_fixture.h"
#include "support/test_util.h"

using namespace qmtest;

namespace {

// A 4 x 2 RGB picture, rows top first: red, black, green, black / black,
// blue, black, black. The black pixels are the ones a mask takes away
// (all but the last, which is half covered).
constexpr const char* kPictureHex = "FF0000 000000 00C000 000000 000000 0000FF 000000 000000>";

// A one-page PDF (200 x 200) that draws the picture over 80 x 40 points;
// `extra` goes into the picture's dictionary, `objects` are appended from
// object 6 on.
std::string PictureWithMaskPdf(const std::string& extra, const std::vector<std::string>& objects = {}) {
    std::vector<std::string> all = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /XObject << /Im1 5 0 R >> >> "
        "/Contents 4 0 R >>",
        StreamObject("", "q 80 0 0 40 20 20 cm /Im1 Do Q"),
        StreamObject("/Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                     "/Filter /ASCIIHexDecode " + extra,
                     kPictureHex),
    };
    all.insert(all.end(), objects.begin(), objects.end());
    return RawPdf(all);
}

// A picture file read back: Ghostscript's ppm device (plain P3) or an
// uncompressed RGBA TIFF as the alpha files are written.
struct Pixels {
    int width = 0, height = 0, channels = 0;
    std::vector<int> v;
    const int* At(int x, int y) const { return v.data() + (static_cast<size_t>(y) * width + x) * channels; }

    bool LoadPpm(const std::string& path) {
        std::istringstream in(ReadFile(path));
        std::string magic, token;
        int header[3] = {0, 0, 0};
        in >> magic;
        for (int& n : header) {
            while (in >> token && token[0] == '#') std::getline(in, token);
            n = std::atoi(token.c_str());
        }
        if (magic != "P3" || header[2] != 255) return false;
        width = header[0], height = header[1], channels = 3;
        for (int x; v.size() < static_cast<size_t>(width) * height * 3 && in >> x;) v.push_back(x);
        return v.size() == static_cast<size_t>(width) * height * 3;
    }

    bool LoadTiff(const std::string& path) {
        const std::string d = ReadFile(path);
        if (d.size() < 8 || d.compare(0, 4, "II*\0", 4) != 0) return false;
        auto u16 = [&d](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(d[at]) | static_cast<uint8_t>(d[at + 1]) << 8); };
        auto u32 = [&u16](size_t at) { return u16(at) | u16(at + 2) << 16; };
        const size_t ifd = u32(4);
        uint32_t offset = 0, samples = 0;
        for (uint32_t i = 0, n = u16(ifd); i < n; ++i) {
            const size_t e = ifd + 2 + i * 12;
            const uint32_t tag = u16(e), type = u16(e + 2);
            const uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
            if (tag == 256) width = static_cast<int>(value);
            if (tag == 257) height = static_cast<int>(value);
            if (tag == 277) samples = value;
            if (tag == 259 && value != 1) return false;  // compressed
            if (tag == 273) offset = u32(e + 4) == 1 ? value : u32(value);
        }
        channels = static_cast<int>(samples);
        const size_t size = static_cast<size_t>(width) * height * channels;
        if (channels == 0 || offset + size > d.size()) return false;
        for (size_t i = 0; i < size; ++i) v.push_back(static_cast<uint8_t>(d[offset + i]));
        return true;
    }
};

int Extract(const std::string& pdf, const std::string& out, const std::string& format) {
    return RunCli({"-q", "-x", "--image-format", format, "-o", out, pdf}).status;
}

}  // namespace

TEST(MaskedPictures, ColoursOverWhite) {
    const struct {
        int c, a;
        bool matte;
        int m;
        int expected;
    } cases[] = {
        {0, 255, false, 0, 0},        // covered: the colour itself
        {0, 0, false, 0, 255},        // uncovered: white, whatever the colour
        {0, 128, false, 0, 127},      // half covered black: half white
        {200, 128, false, 0, 227},    // (200 * 128 + 255 * 127) / 255
        {100, 128, true, 0, 227},     // blended with a black matte: 100 is 200 at half coverage
        {255, 0, true, 0, 255},       // uncovered with a matte: white still
        {228, 128, true, 255, 228},   // blended with a white matte: over white it is as stored
    };
    for (const auto& c : cases)
        EXPECT_EQ(OverWhite(c.c, c.a, c.matte, c.m), c.expected) << c.c << " at " << c.a << (c.matte ? " with matte" : "");
}

TEST(MaskedPictures, MaskCoverageTakesTheNearestSample) {
    // A 2 x 1 one-bit mask "01" over a 4 x 2 picture: the left half painted.
    const char mask[] = {0x40};
    MemStream in(mask, 0, 1, Object(objNull));
    auto value = [](const unsigned char* pix) -> unsigned char { return pix[0] != 0 ? 0 : 255; };
    std::vector<unsigned char> got = MaskCoverage(&in, 2, 1, 1, 1, value, 4, 2);
    EXPECT_EQ(got, (std::vector<unsigned char>{255, 255, 0, 0, 255, 255, 0, 0}));
    // Sizes no picture has are refused rather than decoded.
    EXPECT_TRUE(MaskCoverage(&in, 0, 1, 1, 1, value, 4, 2).empty());
    EXPECT_TRUE(MaskCoverage(&in, 2, 1, 1, 1, value, 1 << 20, 1 << 20).empty());
}

// The device defines a named colour space in the first picture that uses
// it; every later picture file needs that definition in its set-up code.
TEST(MaskedPictures, NamedColourSpacesGoWithEachPicture) {
    std::vector<std::pair<std::string, std::string>> known;
    const std::string definition = "userdict /ICCBased-7-0-1 [ /CIEBasedABC\n<<\n/MatrixABC [1 0 0 0 1 0 0 0 1]\n>>\n]\n put\n";
    CRtfImage first, second, other;
    NoteColourSpace(first, definition + "ICCBased-7-0-1 setcolorspace\n<<\n", known);
    EXPECT_EQ(first.m_strCmLine, "") << "the first picture defines it itself";
    second.m_strCmLine = "q\n";
    NoteColourSpace(second, "ICCBased-7-0-1 setcolorspace\n<<\n  /ImageType 1\n", known);
    EXPECT_EQ(second.m_strCmLine, definition + "q\n");
    NoteColourSpace(other, "ICCBased-9-0-1 setcolorspace\n<<\n", known);
    EXPECT_EQ(other.m_strCmLine, "") << "a space never defined is not invented";
}

// The masked part of a picture is white in a picture file without alpha
// (it was the picture's own colour there, often black), and uncovered in
// PNG and TIFF files.
TEST(MaskedPictures, MaskedPartIsWhiteOrTransparent) {
    const struct {
        const char* what;
        std::string pdf;
        int halfCovered;  // coverage of the last pixel
    } cases[] = {
        {"soft mask",
         PictureWithMaskPdf("/SMask 6 0 R",
                            {StreamObject("/Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceGray "
                                          "/BitsPerComponent 8 /Filter /ASCIIHexDecode",
                                          "FF 00 FF 00 00 FF 00 80>")}),
         128},
        {"soft mask of another size",
         PictureWithMaskPdf("/SMask 6 0 R",
                            {StreamObject("/Type /XObject /Subtype /Image /Width 8 /Height 4 /ColorSpace /DeviceGray "
                                          "/BitsPerComponent 8 /Filter /ASCIIHexDecode",
                                          "FFFF0000FFFF0000 FFFF0000FFFF0000 0000FFFF00008080 0000FFFF00008080>")}),
         128},
        // Mask samples of 1 are not painted.
        {"stencil mask",
         PictureWithMaskPdf("/Mask 6 0 R", {StreamObject("/Type /XObject /Subtype /Image /Width 4 /Height 2 "
                                                         "/ImageMask true /BitsPerComponent 1 /Filter /ASCIIHexDecode",
                                                         "50 B0>")}),
         0},
        {"colour key", PictureWithMaskPdf("/Mask [0 0 0 0 0 0]"), 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "m.pdf", c.pdf);
        ASSERT_EQ(Extract(dir / "m.pdf", dir / "ppm", "ppm"), 0) << c.what;
        Pixels ppm;
        ASSERT_TRUE(ppm.LoadPpm(dir / "ppm/m-1/imagefile1.ppm")) << c.what;
        ASSERT_EQ(ppm.width, 4) << c.what;
        ASSERT_EQ(ppm.height, 2) << c.what;
        const int expected[8][3] = {{255, 0, 0},   {255, 255, 255}, {0, 192, 0},   {255, 255, 255},
                                    {255, 255, 255}, {0, 0, 255},   {255, 255, 255}, {0, 0, 0}};
        for (int i = 0; i < 8; ++i) {
            const int* px = ppm.At(i % 4, i / 4);
            const int want = i == 7 ? 255 - c.halfCovered : -1;
            for (int k = 0; k < 3; ++k) {
                const int e = want >= 0 ? (c.halfCovered == 0 ? 255 : 127) : expected[i][k];
                EXPECT_NEAR(px[k], e, 2) << c.what << ": pixel " << i << " channel " << k;
            }
        }

        ASSERT_EQ(Extract(dir / "m.pdf", dir / "tiff", "tiff"), 0) << c.what;
        Pixels tiff;
        ASSERT_TRUE(tiff.LoadTiff(dir / "tiff/m-1/imagefile1.tiff")) << c.what;
        ASSERT_EQ(tiff.channels, 4) << c.what << ": the TIFF file keeps the coverage";
        EXPECT_EQ(std::vector<int>(tiff.At(0, 0), tiff.At(0, 0) + 4), (std::vector<int>{255, 0, 0, 255})) << c.what;
        EXPECT_EQ(std::vector<int>(tiff.At(1, 0), tiff.At(1, 0) + 4), (std::vector<int>{0, 0, 0, 0})) << c.what;
        EXPECT_NEAR(tiff.At(3, 1)[3], c.halfCovered, 2) << c.what;

        ASSERT_EQ(Extract(dir / "m.pdf", dir / "png", "png"), 0) << c.what;
        const std::string png = ReadFile(dir / "png/m-1/imagefile1.png");
        ASSERT_GT(png.size(), 26u) << c.what;
        EXPECT_EQ(png.substr(12, 4), "IHDR") << c.what;
        EXPECT_EQ(static_cast<int>(png[25]), 6) << c.what << ": the PNG file is RGBA";
    }
}

// A picture without a mask stays as it is: no alpha channel, and the same
// colours as before.
TEST(MaskedPictures, PicturesWithoutMaskKeepNoAlpha) {
    TempDir dir;
    WriteFile(dir / "p.pdf", PictureWithMaskPdf(""));
    ASSERT_EQ(Extract(dir / "p.pdf", dir / "png", "png"), 0);
    const std::string png = ReadFile(dir / "png/p-1/imagefile1.png");
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(static_cast<int>(png[25]), 2) << "RGB";
    ASSERT_EQ(Extract(dir / "p.pdf", dir / "ppm", "ppm"), 0);
    Pixels ppm;
    ASSERT_TRUE(ppm.LoadPpm(dir / "ppm/p-1/imagefile1.ppm"));
    EXPECT_EQ(std::vector<int>(ppm.At(1, 0), ppm.At(1, 0) + 3), (std::vector<int>{0, 0, 0}));
}

TEST(MaskedPictures, CoverageFileIsTheColourFileWithGraySamples) {
    TempDir dir;
    const std::string colour =
        "%!PS\n[2 0 -0 1 0 0] cm\n%%ImageMatrixTag1\n/DeviceRGB setcolorspace\n<<\n  /ImageType 1\n  /Width 2\n"
        "  /Height 1\n/ImageMatrix [2 0 0 -1 0 1]\n  /BitsPerComponent 8\n  /Decode [0 1 0 1 0 1]\n"
        "  /DataSource currentfile\n    /ASCII85Decode filter\n    /RunLengthDecode filter\n>>\npdfIm\n"
        "data line 1\ndata line 2\n%-EOD-\nQ\nshowpage\n";
    WriteFile(dir / "c.ps", colour);
    ASSERT_TRUE(WriteCoverageFile(dir / "c.ps", {0x00, 0xAB}, 2, 1, dir / "a.ps"));
    EXPECT_EQ(ReadFile(dir / "a.ps"),
              "%!PS\n[2 0 -0 1 0 0] cm\n%%ImageMatrixTag1\n/DeviceGray setcolorspace\n<<\n  /ImageType 1\n"
              "  /Width 2\n  /Height 1\n/ImageMatrix [2 0 0 -1 0 1]\n  /BitsPerComponent 8\n  /Decode [0 1]\n"
              "  /DataSource currentfile /ASCIIHexDecode filter\n>>\npdfIm\n00AB>\n%-EOD-\nQ\nshowpage\n");
    EXPECT_FALSE(WriteCoverageFile(dir / "c.ps", {0x00}, 2, 1, dir / "b.ps")) << "too few samples";
    WriteFile(dir / "d.ps", "%!PS\nno picture here\n");
    EXPECT_FALSE(WriteCoverageFile(dir / "d.ps", {0x00, 0xAB}, 2, 1, dir / "e.ps"));
}

// A page stored turned (/Rotate 90) with six JPEG pictures in ICC-based
// colour, drawn under nested quarter turns: every picture gets its file
// and its place in the document, each at its own pixel size.
TEST(MaskedPictures, EveryPictureOfATurnedPageUnderNestedTurns) {
    TempDir dir;
    const std::string ps = R"(%!PS
<< /PageSize [612 792] >> setpagedevice
[ {ThisPage} << /Rotate 90 >> /PUT pdfmark
/pic { /b exch def /g exch def /r exch def
  /s 9216 string def
  0 3 9213 { dup s exch r put dup 1 add s exch g put 2 add s exch b put } for
  0 1 191 { s exch 0 put } for
  /DeviceRGB setcolorspace
  << /ImageType 1 /Width 64 /Height 48 /BitsPerComponent 8 /Decode [0 1 0 1 0 1]
     /ImageMatrix [64 0 0 -48 0 48] /DataSource s >> image } def
gsave 100 100 translate 90 rotate gsave 0 -100 translate 80 60 scale 255 0 0 pic grestore
  gsave 200 0 translate 90 rotate gsave 80 60 scale 0 255 0 pic grestore
    gsave 100 0 translate 90 rotate 80 60 scale 0 0 255 pic grestore
  grestore
grestore
gsave 400 600 translate -90 rotate 80 60 scale 255 255 0 pic grestore
gsave 300 300 translate 180 rotate 80 60 scale 0 255 255 pic grestore
gsave 450 150 translate 90 rotate 90 rotate 90 rotate 80 60 scale 255 0 255 pic grestore
showpage
)";
    ASSERT_TRUE(MakePdf(ps, dir / "turned.pdf",
                        {"-dAutoFilterColorImages=false", "-dColorImageFilter=/DCTEncode",
                         "-sColorConversionStrategy=UseDeviceIndependentColor", "-dAutoRotatePages=/None"}));
    const RunResult list = qmtest::Run({"pdfimages", "-list", dir / "turned.pdf"});
    ASSERT_NE(list.out.find("icc"), std::string::npos) << "the test needs ICC-based pictures: " << list.out;
    ASSERT_NE(list.out.find("jpeg"), std::string::npos) << list.out;

    ASSERT_EQ(Extract(dir / "turned.pdf", dir / "x", "ppm"), 0);
    int straight = 0, turned = 0;
    for (int n = 1; n <= 6; ++n) {
        Pixels p;
        ASSERT_TRUE(p.LoadPpm(dir / ("x/turned-1/imagefile" + std::to_string(n) + ".ppm"))) << "picture " << n;
        // Seen on the page a picture is 64 x 48 or, turned, 48 x 64.
        if (p.width == 64 && p.height == 48) ++straight;
        else if (p.width == 48 && p.height == 64) ++turned;
        else ADD_FAILURE() << "picture " << n << " is " << p.width << " x " << p.height;
    }
    EXPECT_EQ(straight + turned, 6);
    EXPECT_FALSE(std::filesystem::exists(dir / "x/turned-1/imagefile7.ppm"));

    ASSERT_EQ(RunCli({"-q", "-o", dir / "doc", dir / "turned.pdf"}).status, 0);
    const std::string rtf = ReadFile(dir / "doc/turned.rtf");
    size_t pictures = 0;
    for (size_t at = rtf.find("\\pict"); at != std::string::npos; at = rtf.find("\\pict", at + 1)) ++pictures;
    EXPECT_EQ(pictures, 6u);
}
