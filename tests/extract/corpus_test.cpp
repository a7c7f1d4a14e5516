// Every PDF of the shared corpus goes through the text output device
// without a crash and gives a well-formed page XML document: one page
// element per page, and every line one of the document's line kinds (a
// line end inside a run or a metadata value would break that). Without the
// corpus the test is skipped, or fails when QUILLMARK_REQUIRE_CORPUS=1 (CI).
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/pdf_fixture.h"

namespace {

// Whether the line starting at `at` is one of the document's line kinds.
bool KnownLine(const std::string& xml, size_t at) {
    static const std::string_view kPrefixes[] = {"<?xml ", "<pdf2xml ", "<page ", "\t<fontspec ", "<margin ",
                                                 "<text ",  "<data ",    "</text>", "</page>", "</pdf2xml>"};
    const std::string_view rest = std::string_view(xml).substr(at);
    for (std::string_view p : kPrefixes) {
        if (rest.substr(0, p.size()) == p) return true;
    }
    return false;
}

TEST(PageXmlCorpus, EveryPdfGivesOnePageElementPerPage) {
    const std::filesystem::path corpus = QUILLMARK_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) {
        const char* require = std::getenv("QUILLMARK_REQUIRE_CORPUS");
        if (require != nullptr && std::string(require) == "1") FAIL() << "no corpus at " << corpus;
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    qmtest::TempDir dir;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".pdf") continue;
        const std::string name = entry.path().filename().string();
        const std::string base = dir / entry.path().stem().string();
        int pages = -1;
        const std::string xml = qmtest::ExtractXml(entry.path().string(), &pages, base);
        if (pages < 0) continue;  // does not open (a password, say): no document is written
        ++files;
        size_t count = 0;
        for (size_t at = xml.find("<page "); at != std::string::npos; at = xml.find("<page ", at + 1)) ++count;
        EXPECT_EQ(count, static_cast<size_t>(pages)) << name;
        ASSERT_GE(xml.size(), 11u) << name;
        EXPECT_EQ(xml.substr(xml.size() - 11), "</pdf2xml>\n") << name;
        int bad = 0;
        for (size_t start = 0; start < xml.size();) {
            size_t end = xml.find('\n', start);
            if (end == std::string::npos) end = xml.size();
            if (!KnownLine(xml, start) && ++bad <= 3) {
                ADD_FAILURE() << name << ": stray line: " << xml.substr(start, std::min<size_t>(end - start, 120));
            }
            start = end + 1;
        }
        std::filesystem::remove(base + ".xml");
    }
    EXPECT_GT(files, 0);
}

}  // namespace
