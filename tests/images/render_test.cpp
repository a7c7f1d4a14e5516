// Rendering the picture files: the conversion's one Ghostscript process
// gives the same bytes as a process per file and survives a failing file;
// the page PostScript sink finds the end of picture data however the
// device splits its writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "images/ghostscript.h"
#include "images/ghostscript_session.h"
#include "images/page_ps_device.h"
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
