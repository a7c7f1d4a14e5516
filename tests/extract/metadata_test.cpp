// Tests of the document information written into the page XML root line:
// the date conversion, the decoding of UTF-16 values, and the root line
// of documents with and without an information dictionary.
#include <gtest/gtest.h>

#include "extract/metadata.h"
#include "support/pdf_fixture.h"

namespace {

using namespace qmtest;

TEST(ConvertPdfDate, ReadsFourteenDigitsAndNormalises) {
    struct { const char* raw; const char* expected; } cases[] = {
        {"D:20240131120000Z", "2024-01-31T12:00:00+00:00"},
        {"D:19981223195200-08'00'", "1998-12-23T19:52:00+00:00"},  // the zone is ignored
        {"20240131120000", "2024-01-31T12:00:00+00:00"},            // "D:" is optional
        {"D:20240131235960", "2024-02-01T00:00:00+00:00"},          // second 60 carries over
        {"D:20240230120000", "2024-03-01T12:00:00+00:00"},          // 30 February
        {"D:2024", "2024"},                                         // too short: raw, without "D:"
        {"D:yesterday", "yesterday"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ConvertPdfDate(c.raw), c.expected) << c.raw;
}

TEST(MetadataToLatin1, DecodesUtf16AndDropsWhatLatin1Lacks) {
    using namespace std::string_literals;
    struct { const char* what; std::string raw; std::string expected; } cases[] = {
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

TEST(PageXmlRootLine, InformationDictionaryValues) {
    struct { const char* what; const char* info; const char* expected; } cases[] = {
        {"no information dictionary", "", "<pdf2xml author=\"\" keywords=\"\" date=\"\" subject=\"\">"},
        // Author "École", Keywords "😀x", Subject "€1"; the title is not written.
        {"UTF-16 values no longer cut the line",
         "/Title (T) /Author <FEFF00C90063006F006C0065> /Keywords <FEFFD83DDE000078> /Subject <FEFF20AC0031>",
         "<pdf2xml author=\"\xc9""cole\" keywords=\"x\" date=\"\" subject=\"1\">"},
        {"values are raw and the date comes from ModDate",
         "/Author (A \"quoted\" <name> & co) /Keywords 42 /Subject (S\\351) "
         "/CreationDate (D:19990101000000) /ModDate (D:20240131235960Z)",
         "<pdf2xml author=\"A \"quoted\" <name> & co\" keywords=\"\" date=\"2024-02-01T00:00:00+00:00\" "
         "subject=\"S\xe9\">"},
        {"CreationDate stands in for a missing ModDate", "/CreationDate (D:1999)",
         "<pdf2xml author=\"\" keywords=\"\" date=\"1999\" subject=\"\">"},
    };
    TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        PdfBuilder pdf;
        pdf.AddPage("");
        pdf.SetInfo(c.info);
        const std::string xml = ExtractXml(pdf.Write(dir, "info" + std::to_string(++n)));
        const size_t line2 = xml.find('\n') + 1;
        EXPECT_EQ(xml.substr(line2, xml.find('\n', line2) - line2), c.expected) << c.what;
    }
}

}  // namespace
