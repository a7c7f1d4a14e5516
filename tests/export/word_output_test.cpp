// Word document output: the RTF text moved to the ".doc" name.
#include <gtest/gtest.h>

#include "export/word_output.h"
#include "support/test_util.h"

using namespace qmtest;

TEST(WordOutput, DocumentPathReplacesTheLastExtension) {
    EXPECT_EQ(WordDocumentPath("/out/report.final.rtf"), "/out/report.final.doc");
    EXPECT_EQ(WordDocumentPath("/out/plain"), "/out/plain.doc");
}

TEST(WordOutput, MovesTheRtfTextAndOverwritesAnOldDocumentOrKeepsTheRtfOnFailure) {
    TempDir dir;
    const std::string rtf = "{\\rtf\\ansi\\deff0\r\nHello\\par\r\n}";
    WriteFile(dir / "a.rtf", rtf);
    WriteFile(dir / "a.doc", "an older, longer document that must not leave a tail behind");
    {
        CRtf2Doc scope;
        ASSERT_TRUE(SaveAsWordDocument(dir / "a.rtf", dir / "a.doc"));
    }
    EXPECT_FALSE(FileExists(dir / "a.rtf"));
    EXPECT_EQ(ReadFile(dir / "a.doc"), rtf);

    WriteFile(dir / "b.rtf", "{\\rtf1}");
    EXPECT_FALSE(SaveAsWordDocument(dir / "b.rtf", dir / "missing/b.doc"));
    EXPECT_TRUE(FileExists(dir / "b.rtf"));
    EXPECT_FALSE(SaveAsWordDocument(dir / "nothing.rtf", dir / "nothing.doc"));
}
