// The quillmark command given bad input: files that are not PDFs or are
// damaged, locked or empty, pages too large for a document, output folders
// that cannot be written, a full disk, awkward path names, a Ghostscript
// that is missing, fails or hangs, and a font map that is not text. Every
// case must say which file failed and why, exit with the right status (75
// with batch exit codes where a retry may succeed), keep
// a document of the same name that is already there, and leave neither a
// partial file nor a workspace behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_fixture.h"
#include "support/pdf_fixture.h"

namespace {

using qmtest::FileExists;
using qmtest::ReadFile;
using qmtest::RunCli;
using qmtest::ScopedEnv;
using qmtest::WriteFile;

namespace fs = std::filesystem;

using BadInputTest = qmtest::CliTest;

// Inputs that cannot be converted: the message names the file and the
// reason, the status is 1, and the earlier document stays as it was.
TEST_F(BadInputTest, UnreadableInputsFailClearlyAndKeepTheEarlierDocument) {
    const std::string good = Pdf("good.pdf", 3);
    const std::string goodBytes = ReadFile(good);
    // Cut before the catalog, whose page tree Poppler cannot rebuild.
    const std::string truncated = goodBytes.substr(0, goodBytes.find("/Type /Catalog") - 40);
    std::string noCatalog = goodBytes;
    for (size_t at; (at = noCatalog.find("/Catalog")) != std::string::npos;) noCatalog.replace(at, 8, "/Catxlog");
    for (size_t at; (at = noCatalog.find("/Pages")) != std::string::npos;) noCatalog.replace(at, 6, "/Pxges");

    struct Case {
        const char* name;
        std::string bytes;  // written as <name>.pdf; empty: made otherwise
        const char* reason;
    } cases[] = {
        {"notes", "just some text, not a PDF\n", "the file is not a PDF or is damaged beyond repair"},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "the file is not a PDF or is damaged beyond repair"},
        {"header-only", "%PDF-1.4\ngarbage", "the file is not a PDF or is damaged beyond repair"},
        {"truncated", truncated, "the file is not a PDF or is damaged beyond repair"},
        {"no-catalog", noCatalog, "the PDF has no pages that can be read"},
        {"empty-tree", qmtest::PdfBuilder().Build(), "the PDF has no pages that can be read"},
        {"locked", "", "the PDF needs a password"},
        {"absent", "", "the file cannot be read"},
        {"empty", "", "the file is not a PDF or is damaged beyond repair"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pdf = m_dir / (std::string(c.name) + ".pdf");
        if (!c.bytes.empty()) WriteFile(pdf, c.bytes);
        if (std::string(c.name) == "locked") LockedPdf();
        if (std::string(c.name) == "empty") WriteFile(pdf, "");
        // An input that will never convert is no reason for a retry: 1 with
        // batch exit codes as well.
        for (const auto& [layout, codes] : {std::pair{"flowing", "--exit-codes=standard"},
                                            std::pair{"plain-text", "--exit-codes=batch"}}) {
            const std::string earlier = Earlier(c.name);
            auto r = RunCli({codes, "-l", layout, "-o", fs::path(earlier).parent_path(), pdf});
            EXPECT_EQ(r.status, 1) << layout;
            EXPECT_NE(r.err.find(pdf + ": " + c.reason), std::string::npos) << layout << "\n" << r.err;
            EXPECT_EQ(r.err.find("problems were skipped"), std::string::npos) << r.err;
            ExpectKeptAlone(earlier);
        }
        // The picture extraction run fails the same way and writes nothing.
        auto r = RunCli({"-x", "-o", m_out + "/pictures", pdf});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(pdf + ": "), std::string::npos) << r.err;
        EXPECT_FALSE(FileExists(m_out + "/pictures/" + c.name + "-1"));
    }
}

// A PDF whose cross-reference table is damaged or missing (its trailer
// kept) still has all its pages: Poppler rebuilds the table, the pages are
// converted, the damage is reported, the status is 0. (A PDF cut short
// loses its trailer as well and fails above.)
TEST_F(BadInputTest, DamagedCrossReferenceIsRebuiltWithAWarning) {
    const std::string good = ReadFile(Pdf("good.pdf", 3));
    const size_t table = good.rfind("\nxref\n") + 1;
    const size_t start = good.rfind("startxref\n") + 10;
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"no-xref", good.substr(0, table) + good.substr(good.find("trailer", table))},
        {"bad-offset", good.substr(0, start) + "99" + good.substr(good.find('\n', start))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pdf = m_dir / (std::string(c.name) + ".pdf");
        WriteFile(pdf, c.bytes);
        const std::string earlier = Earlier(c.name);
        auto r = RunCli({"-o", fs::path(earlier).parent_path(), pdf});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(qmtest::CountOccurrences(r.err, pdf + ": the PDF is damaged"), 1) << r.err;
        const std::string rtf = ReadFile(earlier);
        for (const char* text : {"Page 1", "Page 2", "Page 3"}) EXPECT_NE(rtf.find(text), std::string::npos) << text;
        EXPECT_EQ(Entries(m_out + "/" + c.name), 1) << "a partial is left";
    }
}

// A 200-inch page is larger than a document page can be: the document is
// written with the page at its largest size, and what lies beyond it is
// reported as left out.
TEST_F(BadInputTest, PageLargerThanADocumentPageIsClampedAndReported) {
    const std::string pdf = PdfAt(m_dir / "poster.pdf", 1,
                                  "%!PS\n<< /PageSize [14400 14400] >> setpagedevice\n"
                                  "/Helvetica findfont 24 scalefont setfont\n"
                                  "72 14000 moveto (Top) show 72 72 moveto (Bottom) show showpage\n");
    for (const char* layout : {"flowing", "exact", "no-images", "plain-text"}) {
        SCOPED_TRACE(layout);
        auto r = RunCli({"-l", layout, "-o", m_out, pdf});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find(pdf + ": Page 1 is 200 x 200 inches, larger than a document page can be"),
                  std::string::npos)
            << r.err;
        const std::string rtf = ReadFile(m_out + "/poster.rtf");
        EXPECT_NE(rtf.find("Top"), std::string::npos);
        EXPECT_NE(rtf.find("\\paperh31666"), std::string::npos);
        // Braces balance: the document is complete.
        int depth = 0;
        for (size_t i = 0; i < rtf.size(); ++i) {
            if (rtf[i] == '\\') ++i;
            else if (rtf[i] == '{') ++depth;
            else if (rtf[i] == '}') --depth;
        }
        EXPECT_EQ(depth, 0);
    }
}

TEST_F(BadInputTest, OutputFolderThatCannotBeWritten) {
    const std::string pdf = Pdf("one.pdf", 1);
    // A missing folder is made, however deep.
    auto made = RunCli({"-q", "--exit-codes=standard", "-o", m_out + "/new/deeper", pdf});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(FileExists(m_out + "/new/deeper/one.rtf"));

    // A folder below a regular file can never be made, whoever runs this.
    WriteFile(m_dir / "plain-file", "x");
    const std::string under = m_dir / "plain-file/out";
    auto r = RunCli({"-o", under, pdf});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(pdf + ": the document cannot be written in " + under), std::string::npos) << r.err;
    auto x = RunCli({"-x", "-o", under, pdf});
    EXPECT_EQ(x.status, 1);
    EXPECT_NE(x.err.find(pdf + ": the document cannot be written in " + under), std::string::npos) << x.err;
    // Batch exit codes call for a retry, even when a damaged input failed too.
    WriteFile(m_dir / "text.pdf", "this is not a PDF\n");
    EXPECT_EQ(RunCli({"--exit-codes=batch", "-o", under, m_dir / "text.pdf", pdf}).status, 75);

    // A read-only folder: root writes into it anyway, so only other users
    // can see this fail.
    if (geteuid() != 0) {
        const std::string earlier = Earlier("one");
        fs::permissions(m_out, fs::perms::owner_read | fs::perms::owner_exec);
        const std::string folder = m_out + "/one";
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        auto ro = RunCli({"-o", folder, pdf});
        fs::permissions(folder, fs::perms::owner_all);
        EXPECT_EQ(ro.status, 1);
        EXPECT_NE(ro.err.find(pdf + ": the document cannot be written in " + folder), std::string::npos) << ro.err;
        ExpectKeptAlone(earlier);
    }
}

// On a full disk writes fail with EFBIG: wherever that happens, the file
// fails with a reason, the earlier document stays and nothing partial is
// left in the output folder. Batch exit codes call for a retry.
TEST_F(BadInputTest, FullDiskFailsClearlyAndKeepsTheEarlierDocument) {
    std::string ps = "%!PS\n/Courier findfont 9 scalefont setfont\n";
    for (int page = 0; page < 6; ++page) {
        for (int line = 0; line < 60; ++line)
            ps += "30 " + std::to_string(760 - line * 12) + " moveto (" + std::to_string(page) +
                  " The quick brown fox jumps over the lazy dog again and again.) show\n";
        ps += "showpage\n";
    }
    const std::string pdf = PdfAt(m_dir / "long.pdf", 0, ps);
    const long pdfSize = static_cast<long>(fs::file_size(pdf));
    // The limit meets the workspace copy of the PDF, then the page XML.
    for (const long limit : {pdfSize / 2, pdfSize + 4096}) {
        for (const bool batch : {false, true}) {
            SCOPED_TRACE(std::to_string(limit) + (batch ? " batch" : ""));
            const std::string earlier = Earlier("long");
            auto r = qmtest::RunCliWithFileSizeLimit(
                {batch ? "--exit-codes=batch" : "-v", "-o", m_out + "/long", pdf}, limit);
            EXPECT_EQ(r.status, batch ? 75 : 1) << r.err;
            EXPECT_NE(r.err.find(pdf + ": the temporary folder cannot be written (is the disk full?)"),
                      std::string::npos) << r.err;
            ExpectKeptAlone(earlier);
        }
    }
}

// Awkward names pass through untouched: spaces, quotes, bytes that are not
// UTF-8, and a leading '-' (after "--", or as ./-name).
TEST_F(BadInputTest, AwkwardPathNames) {
    const std::string nonAscii = "caf\xe9 \xc3\xa9t\xc3\xa9";
    const struct {
        std::string folder;  // below m_dir
        std::string name;    // without .pdf
        std::vector<std::string> input;  // as given in that folder
    } cases[] = {
        {"with space", "a report", {"./a report.pdf"}},
        {"quote\"d 'folder'", "it's \"here\"", {"./it's \"here\".pdf"}},
        {nonAscii, nonAscii, {"./" + nonAscii + ".pdf"}},
        {"-out", "-x", {"--", "-x.pdf"}},
        {"-out2", "-p", {"./-p.pdf"}},
    };
    // Made under a plain name: Ghostscript itself balks at names that are
    // not UTF-8.
    const std::string plain = Pdf("plain.pdf", 1);
    const fs::path home = fs::current_path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(m_dir / c.folder);
        const std::string pdf = m_dir / (c.folder + "/" + c.name + ".pdf");
        fs::copy_file(plain, pdf);
        // Relative names, so that the leading '-' is what the command sees.
        fs::current_path(m_dir / c.folder);
        const std::vector<std::string> args = qmtest::Args({"-o", "-result dir"}, c.input);
        auto r = RunCli(args);
        fs::current_path(home);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string out = m_dir / (c.folder + "/-result dir/" + c.name + ".rtf");
        EXPECT_NE(ReadFile(out).find("Page 1"), std::string::npos) << r.err;
        // Absolute names in other folders work as well.
        auto abs = RunCli({"-q", "-o", m_dir / (c.folder + "/again " + c.name), pdf});
        EXPECT_EQ(abs.status, 0) << abs.err;
        EXPECT_TRUE(FileExists(m_dir / (c.folder + "/again " + c.name + "/" + c.name + ".rtf")));
    }
    // Without "--" a file name starting with '-' is an option.
    EXPECT_EQ(RunCli({"-o", m_out, "-unknown.pdf"}).status, 2);
}

// Ghostscript missing, failing or hanging: a document is still written,
// without the picture, and says so; a picture extraction fails.
TEST_F(BadInputTest, GhostscriptMissingFailingOrHanging) {
    const std::string pdf = PdfAt(m_dir / "picture.pdf", 0, qmtest::PicturePagesPs(1));
    qmtest::WriteScript(m_dir / "gs-fails", "exit 1\n");
    qmtest::WriteScript(m_dir / "gs-hangs", "exec sleep 30\n");
    struct Case {
        const char* what;
        std::string gs;  // QUILLMARK_GS; empty: "gs", with PATH lacking it
        const char* warning;
    } cases[] = {
        {"not on PATH", "", "could not be started: pictures are left out"},
        {"named but missing", m_dir / "no-such-gs", "could not be started: pictures are left out"},
        {"failing", m_dir / "gs-fails", "failed on a picture; the picture is left out"},
        {"hanging", m_dir / "gs-hangs", "did not finish a picture in time and was stopped"},
    };
    ScopedEnv timeout("QUILLMARK_GS_TIMEOUT", "0.5");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedEnv gs("QUILLMARK_GS", c.gs);
        ScopedEnv path("PATH", c.gs.empty() ? m_dir.path() : std::getenv("PATH"));
        const std::string earlier = Earlier("picture");
        // A warning is no failure, with batch exit codes too.
        auto r = RunCli({"--exit-codes=batch", "-l", "flowing", "-o", m_out + "/picture", pdf});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find(pdf + ": Ghostscript"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
        const std::string rtf = ReadFile(earlier);
        EXPECT_NE(rtf.find("Page 1"), std::string::npos);
        EXPECT_EQ(rtf.find("\\jpegblip"), std::string::npos);
        EXPECT_EQ(Entries(m_out + "/picture"), 1) << "a partial is left";

        // A picture extraction fails, and with batch exit codes calls for a retry.
        const bool batch = &c - cases == 1 || &c - cases == 3;
        auto x = RunCli({batch ? "--exit-codes=batch" : "-v", "-x", "-o", m_out + "/pictures", pdf});
        EXPECT_EQ(x.status, batch ? 75 : 1) << x.err;
        EXPECT_NE(x.err.find(pdf + ": Ghostscript is missing or failed, so pictures could not be written"),
                  std::string::npos)
            << x.err;
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(m_out + "/pictures", ec))
            EXPECT_FALSE(e.is_regular_file()) << "left behind: " << e.path();
        fs::remove_all(m_out + "/pictures", ec);
    }
}

// A font map file of binary bytes: no substitute comes of it, the document
// is written and its font table holds only names.
TEST_F(BadInputTest, FontMapThatIsNotText) {
    const std::string maps = m_dir / "maps";
    fs::create_directories(maps);
    // Futura is in the name table but not installed here, so the map is
    // asked; without care the NUL would cut "Arial" out for fontconfig and
    // the rest would land in the font table.
    std::string binary = "Futura=Arial";
    binary += std::string("\0junk\x01\x02{\\}\n\xff\xfe\x00\x10", 14);
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    binary += "\nArial=Liberation\0Sans}\n";
    WriteFile(maps + "/xml2rtffont.map", binary);
    fs::create_directories(m_tmp / "Quillmark");
    WriteFile(m_tmp / "Quillmark/Quillmark.conf", "[General]\nDLL_FONT=" + maps + "\n");
    // The font is named, not embedded, so its name reaches the document.
    qmtest::PdfBuilder builder;
    builder.AddFont("Futura");
    builder.AddPage("BT /F1 24 Tf 72 700 Td (Page 1) Tj ET");
    const std::string pdf = builder.Write(m_dir, "fonts");
    auto r = RunCli({"-o", m_out, pdf});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string rtf = ReadFile(m_out + "/fonts.rtf");
    const size_t table = rtf.find("{\\fonttbl");
    ASSERT_NE(table, std::string::npos);
    const std::string fonts = rtf.substr(table, rtf.find("}}", table) - table);
    for (char ch : fonts) {
        if (ch == '\r' || ch == '\n') continue;
        EXPECT_GE(static_cast<unsigned char>(ch), 0x20) << fonts;
    }
    EXPECT_EQ(fonts.find("junk"), std::string::npos) << fonts;
}

}  // namespace
