// The command line's --page-xml goes through the conversion's own
// extraction step and must write the same document as the device does.
#include <gtest/gtest.h>

#include <string>

#include "extract_test_support.h"

namespace {

TEST(PageXmlCommandLine, WritesTheDocumentOfTheExtractionStep) {
    extract_test::TempDir dir;
    extract_test::PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (One) Tj ET");
    pdf.AddPage("");
    pdf.SetInfo("/Author <FEFF00C9> /ModDate (D:20240131120000)");
    const std::string input = pdf.Write(dir, "cli");
    const std::string out = dir.File("out.xml");
    ASSERT_TRUE(extract_test::RunProgram({QUILLMARK_CLI, "--page-xml", out, input}));
    const std::string expected = extract_test::ExtractXml(input);
    ASSERT_FALSE(expected.empty());
    const std::string diff = extract_test::FirstDifference(expected, extract_test::ReadFile(out));
    EXPECT_TRUE(diff.empty()) << diff;
}

}  // namespace
