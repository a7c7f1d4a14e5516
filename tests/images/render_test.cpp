// Rendering the picture files: the conversion's one Ghostscript process
// gives the same bytes as a process per file and survives a failing file;
// a picture file appears whole or not at all, whatever the renderer does;
// the page PostScript sink finds the end of picture data however the
// device splits its writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "images/ghostscript.h"
#include "images/ghostscript_session.h"
#include "images/image_extractor.h"
#include "images/page_ps_device.h"
#include "images/test_job.h"
#include "support/test_util.h"

using namespace qmtest;

namespace {

namespace fs = std::filesystem;

// A one-page document of `w` x `h` points filled with one grey.
std::string GreyPage(int w, int h, double grey) {
    return "%!PS\n<< /PageSize [" + std::to_string(w) + " " + std::to_string(h) + "] >> setpagedevice\n" +
           std::to_string(grey) + " setgray 0 0 " + std::to_string(w) + " " + std::to_string(h) +
           " rectfill showpage\n";
}

// Every file below `folder`, as names relative to it.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file()) names.push_back(fs::relative(it->path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += n + "\n";
    return out;
}

}  // namespace

TEST(GhostscriptSession, SameBytesAsAProcessPerFileAndAFailingFileIsLeftToItsOwnRun) {
    TempDir dir;
    fs::create_directories(dir / "in");
    WriteFile(dir / "in/a.ps", GreyPage(30, 20, 0.25));
    WriteFile(dir / "in/bad.ps", "%!PS\nthis-is-no-operator\nshowpage\n");
    // A file that prints what looks like an answer must not be taken for one.
    WriteFile(dir / "in/b.ps", "%!PS\n(%%QM-RENDER ok 99\\n) print flush\n" + GreyPage(12, 40, 0.75));
    CGhostscriptSession session("png16m", dir / "render", {dir.path()});

    EXPECT_EQ(session.Render(dir / "in/a.ps", dir / "a.png"), CGhostscriptSession::Result::kOk);
    EXPECT_EQ(session.Render(dir / "in/bad.ps", dir / "bad.png"), CGhostscriptSession::Result::kUnavailable);
    EXPECT_FALSE(FileExists(dir / "bad.png"));
    EXPECT_EQ(session.Render(dir / "in/b.ps", dir / "b.png"), CGhostscriptSession::Result::kOk);
    EXPECT_TRUE(session.Usable());

    for (const char* name : {"a", "b"}) {
        const std::string own = dir / (std::string(name) + "-own.png");
        ASSERT_EQ(RunAndWait(GhostscriptArguments("png16m", own, dir / ("in/" + std::string(name) + ".ps"))),
                  RenderStatus::kOk);
        const std::string mine = ReadFile(dir / (std::string(name) + ".png"));
        ASSERT_FALSE(mine.empty()) << name;
        EXPECT_TRUE(mine == ReadFile(own)) << name << ": " << FirstDifference(ReadFile(own), mine);
    }
}

TEST(GhostscriptSession, AProgramThatIsNoGhostscriptIsNotUsed) {
    TempDir dir;
    WriteFile(dir / "a.ps", GreyPage(10, 10, 0.5));
    struct {
        const char* what;
        const char* script;  // nullptr: no program at all
    } cases[] = {
        {"missing", nullptr},
        {"says nothing and ends", "exit 0\n"},
        {"hangs", "exec sleep 100\n"},
    };
    for (const auto& c : cases) {
        if (c.script != nullptr) WriteScript(dir / "gs", c.script);
        else std::filesystem::remove(dir / "gs");
        ScopedEnv gs("QUILLMARK_GS", dir / "gs");
        ScopedEnv timeout("QUILLMARK_GS_TIMEOUT", "0.3");
        CGhostscriptSession session("png16m", dir / "render", {dir.path()});
        EXPECT_EQ(session.Render(dir / "a.ps", dir / "a.png"), CGhostscriptSession::Result::kUnavailable) << c.what;
        EXPECT_FALSE(session.Usable()) << c.what;
        EXPECT_FALSE(FileExists(dir / "a.png")) << c.what;
    }
}

// The picture loop with renderers that fail in different ways: no picture
// file is left behind, whole or partial, and no temporary either.
TEST(PictureFiles, AFailedRenderLeavesNoFileAndNoTemporary) {
    const std::string picture =
        "q\n[200 0 0 160 50 300] cm\n/DeviceRGB setcolorspace\n<<\n  /ImageType 1\n  /Width 2\n  /Height 2\n"
        "  /ImageMatrix [2 0 0 -2 0 2]\n  /BitsPerComponent 8\n  /Decode [0 1 0 1 0 1]\n"
        "  /DataSource currentfile\n    /ASCII85Decode filter\n>>\npdfIm\nz~>\n%-EOD-\n";
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
        TempDir dir;
        WriteScript(dir / "gs", c.script);
        ScopedEnv gs("QUILLMARK_GS", dir / "gs");
        ScopedEnv timeout("QUILLMARK_GS_TIMEOUT", "0.3");
        CTestJob job;
        job.m_nKind = kRunExtractImages;
        job.m_strOutDir = dir.path();
        job.m_strBaseName = "doc";
        std::vector<std::unique_ptr<CRtfShpObject>> objects;
        std::string body;
        for (int i = 0; i < c.pictures; ++i) {
            auto p = std::make_unique<CRtfImage>();
            p->m_strImageMatrix = "[200 0 0 160 50 300]";
            objects.push_back(std::move(p));
            body += picture;
        }
        WriteFile(dir / "page.ps", "%!PS-Adobe-3.0\n%%EndPageSetup\n" + body + "Q\nshowpage\n");
        // A picture file of an earlier run is replaced, not kept.
        fs::create_directories(dir / "doc-1");
        WriteFile(dir / "doc-1/imagefile1.png", "old");
        CImageExtractor extractor(dir / "page.ps", 1, "png16m", &objects);
        AttachJob(extractor, job);
        extractor.ExtractPagePictures(false);
        extractor.Close();
        EXPECT_EQ(Join(FilesIn(dir / "doc-1")), "") << c.what;
        for (const auto& obj : objects)
            EXPECT_EQ(static_cast<CRtfImage*>(obj.get())->m_strImagePath, "") << c.what;
    }
}

TEST(PageSink, EndOfPictureDataIsFoundHoweverTheWritesAreSplit) {
    const std::string data = "abc\n%-EOD-\nQ\n";
    struct {
        const char* what;
        std::vector<size_t> cuts;  // lengths of the writes
        bool discard;
    } cases[] = {
        {"one write", {data.size()}, false},
        {"a character at a time", std::vector<size_t>(data.size(), 1), false},
        {"split inside the marker", {6, 3, data.size() - 9}, false},
        {"discarding sink", {5, data.size() - 5}, true},
    };
    for (const auto& c : cases) {
        TempDir dir;
        CPsSink sink;
        if (c.discard) sink.m_bDiscard = true;
        else sink.m_pFile = std::fopen((dir / "out.ps").c_str(), "wb");
        sink.m_bArmed = true;
        sink.m_strPending = "[1 0 0 1 0 0] cm\n";
        size_t at = 0;
        for (size_t n : c.cuts) {
            CPsSink::Write(&sink, data.data() + at, n);
            at += n;
        }
        EXPECT_TRUE(sink.m_bSawEndOfData) << c.what;
        EXPECT_EQ(sink.m_nWritten, static_cast<int64_t>(data.size() + 17)) << c.what;
        if (!c.discard) {
            EXPECT_TRUE(sink.Flush()) << c.what;
            std::fclose(sink.m_pFile);
            EXPECT_EQ(ReadFile(dir / "out.ps"), "[1 0 0 1 0 0] cm\n" + data) << c.what;
        }
    }
    CPsSink none;
    none.m_bDiscard = true;
    none.m_bArmed = true;
    CPsSink::Write(&none, "%-EOD-", 6);
    CPsSink::Write(&none, "Q\n", 2);
    EXPECT_FALSE(none.m_bSawEndOfData);
}
