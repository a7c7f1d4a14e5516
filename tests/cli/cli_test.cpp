// The quillmark command as users run it: exit statuses, messages, names.
#include <gtest/gtest.h>

#include "support/test_util.h"

namespace {

using qmtest::RunCli;

using CliTest = qmtest::IsolatedTest;

TEST_F(CliTest, ConvertsSelectedPagesVerbosely) {
    const std::string pdf = Pdf("ten.pdf", 10);
    auto r = RunCli({"-v", "-p", "3,7", "-o", m_dir.path() + "/out/", pdf});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(qmtest::CountOccurrences(r.err, "page started."), 2);
    EXPECT_NE(r.err.find("Conversion of <3> page started."), std::string::npos);
    EXPECT_NE(r.err.find("Conversion of <7> page started."), std::string::npos);
    EXPECT_NE(r.out.find(m_dir.path() + "/out/ten.rtf"), std::string::npos);
    // A complete document: its header, one page break, CR LF line ends.
    const std::string rtf = qmtest::ReadFile(m_dir.path() + "/out/ten.rtf");
    const std::string header = "{\\rtf\\ansi\\deff0\\ansicpg1252\r\n{\\fonttbl\r\n{\\f0\\froman Times New Roman;}";
    ASSERT_EQ(rtf.compare(0, header.size(), header), 0) << rtf.substr(0, 200);
    EXPECT_EQ(rtf.back(), '}');
    EXPECT_EQ(qmtest::CountOccurrences(rtf, "\\pard\\sect\\sectd\\sbkpage"), 1);
    for (std::size_t i = 0; i < rtf.size(); ++i)
        if (rtf[i] == '\n') { ASSERT_TRUE(i > 0 && rtf[i - 1] == '\r') << "bare line feed at byte " << i; }

    // The Word format stores the RTF text under the ".doc" name.
    r = RunCli({"-q", "-f", "doc", "-o", m_dir.path(), pdf});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(qmtest::ReadFile(m_dir / "ten.doc").rfind("{\\rtf", 0), 0u);
    EXPECT_FALSE(qmtest::FileExists(m_dir / "ten.rtf"));
}

TEST_F(CliTest, FailuresGiveStatusOneAndAReasonButOtherFilesStillConvert) {
    const std::string good = Pdf("good.pdf", 1);
    const std::string locked =
        Pdf("locked.pdf", 1, {"-sOwnerPassword=o", "-sUserPassword=u", "-dEncryptionR=3", "-dKeyLength=128"});
    auto r = RunCli({"-q", "-o", m_dir.path(), locked, good});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(locked + ": the PDF needs a password"), std::string::npos) << r.err;
    EXPECT_TRUE(qmtest::FileExists(m_dir / "good.rtf"));
    EXPECT_FALSE(qmtest::FileExists(m_dir / "locked.rtf"));
}

TEST_F(CliTest, UsageErrorsGiveStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {}, {"--layout", "sideways", "x.pdf"}, {"--format", "odt", "x.pdf"}, {"--no-such-option", "x.pdf"},
        {"-x", "--image-format", "gif", "x.pdf"},
    };
    for (const auto& args : cases) EXPECT_EQ(RunCli(args).status, 2) << (args.empty() ? "" : args[0]);
}

}  // namespace
