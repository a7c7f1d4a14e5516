// Tests of the document information written into the page XML root line:
// the date conversion, the decoding of UTF-16 values, and the root line
// of documents with and without an information dictionary.
#include <gtest/gtest.h>

#include "extract/metadata.h"
#include "extract_test_support.h"

namespace {

using extract_test::ExtractXml;
using extract_test::PdfBuilder;
using extract_test::SplitLines;
using extract_test::TempDir;

TEST(ConvertPdfDate, ReadsFourteenDigitsAndNormalises) {
    struct {
        const char* raw;
        const char* expected;
    } cases[] = {
        {"D:20240131120000Z", "2024-01-31T12:00:00+00:00"},
        {"D:19981223195200-08'00'", "1998-12-23T19:52:00+00:00"},  // the zone is ignored
        {"20240131120000", "2024-01-31T12:00:00+00:00"},            // "D:" is optional
        {"D:20240131235960", "2024-02-01T00:00:00+00:00"},          // second 60 carries over
        {"D:20231301000000", "2024-01-01T00:00:00+00:00"},          // month 13 carries over
        {"D:20240230120000", "2024-03-01T12:00:00+00:00"},          // 30 February
        {"D:2024", "2024"},                                         // too short: raw, without "D:"
        {"D:yesterday", "yesterday"},
        {"Monday", "Monday"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ConvertPdfDate(c.raw), c.expected) << c.raw;
}

TEST(MetadataToLatin1, DecodesUtf16AndDropsWhatLatin1Lacks) {
    using namespace std::string_literals;
    struct {
        const char* what;
        std::string raw;
        std::string expected;
    } cases[] = {
        {"raw bytes unchanged", "Caf\xe9 \"<&>\"", "Caf\xe9 \"<&>\""},
        {"big-endian UTF-16", "\xfe\xff\x00\xc9\x00""c\x00o\x00l\x00""e"s, "\xc9""cole"},
        {"little-endian UTF-16", "\xff\xfe""A\x00\xe9\x00"s, "A\xe9"},
        {"characters above U+00FF dropped", "\xfe\xff\x20\xac\x00""1\x01\x53"s, "1"},
        {"surrogate pair dropped whole", "\xfe\xff\xd8\x3d\xde\x00\x00x"s, "x"},
        {"odd trailing byte dropped", "\xfe\xff\x00y\x00"s, "y"},
        {"zero bytes of a raw value dropped", "a\0b"s, "ab"},
        {"U+0000 dropped", "\xfe\xff\x00\x00\x00z"s, "z"},
        {"bare byte order mark", "\xfe\xff"s, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(MetadataToLatin1(c.raw), c.expected) << c.what;
}

std::string RootLine(const std::string& xml) {
    std::vector<std::string> lines = SplitLines(xml);
    return lines.size() > 1 ? lines[1] : std::string();
}

TEST(PageXmlRootLine, WithoutInformationDictionaryAllAttributesAreEmpty) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddPage("");
    std::string xml = ExtractXml(pdf.Write(dir, "noinfo"));
    EXPECT_EQ(RootLine(xml), "<pdf2xml author=\"\" keywords=\"\" date=\"\" subject=\"\">");
}

TEST(PageXmlRootLine, Utf16ValuesNoLongerCutTheLine) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddPage("");
    // Author "École", Keywords "😀x", Subject "€1", no dates, a title that
    // is not written.
    pdf.SetInfo("/Title (T) /Author <FEFF00C90063006F006C0065> /Keywords <FEFFD83DDE000078> /Subject <FEFF20AC0031>");
    std::string xml = ExtractXml(pdf.Write(dir, "utf16"));
    EXPECT_EQ(RootLine(xml), "<pdf2xml author=\"\xc9""cole\" keywords=\"x\" date=\"\" subject=\"1\">");
}

TEST(PageXmlRootLine, ValuesAreRawAndTheDateComesFromModDate) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddPage("");
    pdf.SetInfo(
        "/Author (A \"quoted\" <name> & co) /Keywords 42 /Subject (S\\351) "
        "/CreationDate (D:19990101000000) /ModDate (D:20240131235960Z)");
    std::string xml = ExtractXml(pdf.Write(dir, "raw"));
    EXPECT_EQ(RootLine(xml),
              "<pdf2xml author=\"A \"quoted\" <name> & co\" keywords=\"\" date=\"2024-02-01T00:00:00+00:00\" "
              "subject=\"S\xe9\">");
}

TEST(PageXmlRootLine, CreationDateStandsInForAMissingModDate) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.AddPage("");
    pdf.SetInfo("/CreationDate (D:1999)");
    std::string xml = ExtractXml(pdf.Write(dir, "created"));
    EXPECT_EQ(RootLine(xml), "<pdf2xml author=\"\" keywords=\"\" date=\"1999\" subject=\"\">");
}

}  // namespace
