// Splitting page PostScript into picture files: finding pictures and their
// placement, the working copy and the final file with its case tables. A
// fake Ghostscript copies the final file to the raster path, so the tests
// see exactly what Ghostscript would have been given.
#include "images/image_extractor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "images/ghostscript.h"
#include "images/test_job.h"
#include "support/test_util.h"

using namespace qmtest;

namespace {

std::string PictureCode(int width, int height, const std::string& matrix, bool mask = false) {
    std::string code = mask ? "<<\n" : "/DeviceRGB setcolorspace\n<<\n";
    code += "  /ImageType 1\n  /Width " + std::to_string(width) + "\n  /Height " + std::to_string(height) +
            "\n  /ImageMatrix " + matrix + "\n  /BitsPerComponent 8\n  /Decode [0 1 0 1 0 1]\n" +
            "  /DataSource currentfile\n    /ASCII85Decode filter\n>>\n" + (mask ? "pdfImM\n" : "pdfIm\n") +
            "z~>\n%-EOD-\n";
    return code;
}

class ExtractorTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteScript(m_dir / "fakegs",
                    "for a; do case \"$a\" in -sOutputFile=*) out=\"${a#-sOutputFile=}\";; esac; last=\"$a\"; done\n"
                    "cp \"$last\" \"$out\"\n");
        m_gs = std::make_unique<ScopedEnv>("QUILLMARK_GS", m_dir / "fakegs");
        m_job.m_nKind = kRunExtractImages;
        m_job.m_strOutDir = m_dir.path();
        m_job.m_strBaseName = "doc";
    }

    CRtfImage* AddPicture(const std::string& placement, const std::string& setup = {}) {
        auto picture = std::make_unique<CRtfImage>();
        picture->m_strImageMatrix = placement;
        picture->m_strCmLine = setup;
        CRtfImage* p = picture.get();
        m_objects.push_back(std::move(picture));
        return p;
    }

    // Runs the picture loop over `body` written as the page PostScript.
    int Extract(const std::string& body, int rotation = 0, int page = 1) {
        WriteFile(m_dir / "page.ps", "%!PS-Adobe-3.0\n%%EndPageSetup\n" + body + "Q\nshowpage\n");
        CImageExtractor extractor(m_dir / "page.ps", page, "png16m", &m_objects);
        AttachJob(extractor, m_job);
        extractor.m_nRotation = rotation;
        return static_cast<int>(extractor.ExtractPagePictures(false));
    }

    std::string Rendered(int n, int page = 1) {
        return ReadFile(m_dir / ("doc-" + std::to_string(page) + "/imagefile" + std::to_string(n) + ".png"));
    }

    TempDir m_dir;
    std::unique_ptr<ScopedEnv> m_gs;
    CTestJob m_job;
    std::vector<std::unique_ptr<CRtfShpObject>> m_objects;
};

}  // namespace

TEST_F(ExtractorTest, PlacementCases) {
    const std::string big = PictureCode(100, 80, "[100 0 0 -80 0 80]");
    struct {
        const char* what;
        std::string placement;
        std::string setup;
        std::string picture;
        int rotation;
        std::vector<std::string> parts;  // in the final file
        std::string absent;
    } cases[] = {
        {"straight placement on an unrotated page", "[200 0 0 160 50 300]", "", big, 0,
         {"\n/ImageMatrix [100 0 0 -80 0 80]\n", "\n100 80 false pdfSetup\n%%PageSizeTag\n",
          "%%BeginSetup\nxpdf begin\n", "%%BeginPageSetup\n\npdfStartPage\n",
          "\nq\n[100 0 -0 80 0 0] cm\n%%ImageMatrixTag1\n/DeviceRGB setcolorspace\n<<\n", "z~>\n\n%-EOD-\nQ\n"},
         ""},
        {"straight placement on a page turned by 90", "[200 0 0 160 50 300]", "", big, 90,
         {"\n80 100 false pdfSetup\n%%PageSizeTag\n", "\n[0 -100 80 0 0 100] cm\n%%ImageMatrixTag1\n"}, ""},
        {"negative fourth number turns the rows top down", "[100 0 0 -80 50 380]", "", big, 0,
         {"\n/ImageMatrix [100 0 0 80 0 0]\n"}, "/ImageMatrix [100 0 0 -80 0 80]"},
        // Turned by 90 degrees (a = d = 0, b > 0, c < 0): the picture as
        // seen, 80 wide and 100 high, with a matrix that is not all zero.
        {"turned placement renders turned", "[0 100 -80 0 300 50]", "", big, 0,
         {"\n80 100 false pdfSetup\n", "\n[0 100 -80 0 80 0] cm\n%%ImageMatrixTag1\n"}, ""},
        // The set-up code comes before the placement; the dictionary opener
        // that the search stepped over is restored.
        {"picture found by its dictionary", "[100 0 0 80 0 0]", "/DeviceRGB {} cs\n[1 0 0] sc\n",
         PictureCode(10, 8, "[10 0 0 -8 0 8]", true), 0,
         {"\nq\n/DeviceRGB {} cs\n[1 0 0] sc\n[10 0 -0 8 0 0] cm\n%%ImageMatrixTag1\n<<\n  /ImageType 1\n"}, ""},
    };
    for (const auto& c : cases) {
        m_objects.clear();
        AddPicture(c.placement, c.setup);
        ASSERT_EQ(Extract(c.placement + " cm\n" + c.picture, c.rotation), 0) << c.what;
        const std::string file = Rendered(1);
        for (const std::string& part : c.parts) EXPECT_NE(file.find(part), std::string::npos) << c.what << ": " << part;
        if (!c.absent.empty()) { EXPECT_EQ(file.find(c.absent), std::string::npos) << c.what; }
        EXPECT_EQ(file.rfind("%!PS-Adobe-", 0), 0u) << c.what;
        EXPECT_EQ(file.substr(file.size() - 6), "%%EOF\n") << c.what;
    }
    // The working copy and the final file are gone; only the raster stays.
    EXPECT_FALSE(std::filesystem::exists(m_dir / "doc-1/newfile1.ps"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "doc-1/finalfile1.ps"));
    EXPECT_EQ(m_job.Count("Processing #1 page...(Filtering image #1)"), 5);
}

TEST_F(ExtractorTest, NearestOfTwoPlacementLinesWins) {
    // Without a placement string of its own the picture takes the line
    // found before it; the first line is skewed and would be refused.
    AddPicture("");
    ASSERT_EQ(Extract("[1 0.5 0.25 1 0 0] cm\n[200 0 0 160 50 300] cm\n" +
                      PictureCode(100, 80, "[100 0 0 -80 0 80]")),
              0);
    EXPECT_FALSE(Rendered(1).empty());
}

TEST_F(ExtractorTest, SkewedPictureIsLeftOutAndTheOthersKeepTheirFiles) {
    std::string body;
    const char* placements[] = {"[100 0 0 80 0 0]", "[100 0 0 80 0 100]", "[100 20 -10 80 0 200]",
                                "[100 0 0 80 0 300]"};
    for (const char* p : placements) {
        AddPicture(p);
        body += std::string(p) + " cm\n" + PictureCode(10, 8, "[10 0 0 -8 0 8]");
    }
    EXPECT_EQ(Extract(body), static_cast<int>(PictureResult::kPlacementNotSupported));
    EXPECT_FALSE(Rendered(1).empty());
    EXPECT_FALSE(Rendered(2).empty());
    EXPECT_FALSE(Rendered(3).empty()) << "the picture after the skewed one is extracted too";
    EXPECT_TRUE(Rendered(4).empty());
    EXPECT_EQ(m_job.Count("skewed"), 1);
}

// Renderers that fail in different ways: no picture file is left behind,
// whole or partial, and no temporary either; a picture file of an earlier
// run is replaced, not kept.
TEST_F(ExtractorTest, AFailedRenderLeavesNoFileAndNoTemporary) {
    const std::string writeThen = "for a; do case \"$a\" in -sOutputFile=*) out=\"${a#-sOutputFile=}\";; esac; done\n";
    struct {
        const char* what;
        std::string script;
        int pictures;
    } cases[] = {
        {"fails after writing part of the file", writeThen + "printf 'partial' > \"$out\"\nexit 1\n", 1},
        {"writes an empty file", writeThen + ": > \"$out\"\nexit 0\n", 1},
        {"hangs after writing part of the file", writeThen + "printf 'partial' > \"$out\"\nexec sleep 100\n", 1},
        {"fails for a page of two", writeThen + "printf 'partial' > \"$out\"\nexit 1\n", 2},
    };
    for (const auto& c : cases) {
        WriteScript(m_dir / "gs", c.script);
        ScopedEnv gs("QUILLMARK_GS", m_dir / "gs");
        ScopedEnv timeout("QUILLMARK_GS_TIMEOUT", "0.3");
        m_objects.clear();
        std::string body;
        for (int i = 0; i < c.pictures; ++i) {
            AddPicture("[200 0 0 160 50 300]");
            body += "q\n[200 0 0 160 50 300] cm\n" + PictureCode(2, 2, "[2 0 0 -2 0 2]");
        }
        std::filesystem::remove_all(m_dir / "doc-1");
        std::filesystem::create_directories(m_dir / "doc-1");
        WriteFile(m_dir / "doc-1/imagefile1.png", "old");
        Extract(body);
        EXPECT_TRUE(std::filesystem::is_empty(m_dir / "doc-1")) << c.what;
        for (const auto& obj : m_objects)
            EXPECT_EQ(static_cast<CRtfImage*>(obj.get())->m_strImagePath, "") << c.what;
    }
}

TEST_F(ExtractorTest, DocumentRunsGetAFolderBesideThePagePostScriptAndAHexFile) {
    m_job.m_nKind = kRunFlowing;
    AddPicture("[200 0 0 160 50 300]");
    ASSERT_EQ(Extract("[200 0 0 160 50 300] cm\n" + PictureCode(100, 80, "[100 0 0 -80 0 80]"), 0, 3), 0);
    auto* picture = static_cast<CRtfImage*>(m_objects[0].get());
    EXPECT_EQ(picture->m_strImagePath, m_dir / "page-3/imagefile1.png");
    EXPECT_TRUE(picture->m_bHasPicture);
}

TEST(Ghostscript, PathsAreArgumentsOfTheirOwnAndUnknownDevicesWriteJpeg) {
    ScopedEnv gs("QUILLMARK_GS", "gs");
    std::vector<std::string> argv = GhostscriptArguments("png16m", "/tmp/a \"b\"/image 50%.png", "/tmp/my file.ps");
    std::vector<std::string> expected = {"gs", "-sDEVICE=png16m", "-dBATCH", "-dNOPROMPT", "-dNOPAUSE",
                                         "-sOutputFile=/tmp/a \"b\"/image 50%%.png", "-q", "/tmp/my file.ps"};
    EXPECT_EQ(argv, expected);
    EXPECT_EQ(GhostscriptArguments("jpeg", "o.jpeg", "-x.ps").back(), "./-x.ps");
    // Each format's extension is checked end to end in pipeline_test.
    EXPECT_EQ(DeviceExtension("pngalpha"), "jpeg");
    EXPECT_EQ(DeviceExtension(""), "jpeg");
    ScopedEnv unreadable("QUILLMARK_GS_TIMEOUT", "soon");
    EXPECT_EQ(GhostscriptTimeout(), 120.0) << "an unreadable time-out is the default, not none";
}

