// The command line's --page-xml goes through the conversion's own
// extraction step and must write the same document as the device does.
#include <gtest/gtest.h>

#include <string>

#include "support/pdf_fixture.h"

namespace {

TEST(PageXmlCommandLine, WritesTheDocumentOfTheExtractionStep) {
    qmtest::TempDir dir;
    qmtest::PdfBuilder pdf;
    pdf.AddFont("Quillsans");
    pdf.AddPage("BT /F1 12 Tf 72 700 Td (One) Tj ET");
    pdf.AddPage("");
    pdf.SetInfo("/Author <FEFF00C9> /ModDate (D:20240131120000)");
    const std::string input = pdf.Write(dir, "cli");
    const std::string out = dir / "out.xml";
    ASSERT_EQ(qmtest::RunCli({"--page-xml", out, input}).status, 0);
    const std::string expected = qmtest::ExtractXml(input);
    ASSERT_FALSE(expected.empty());
    const std::string diff = qmtest::FirstDifference(expected, qmtest::ReadFile(out));
    EXPECT_TRUE(diff.empty()) << diff;
}

}  // namespace
