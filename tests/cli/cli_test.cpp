// The quillmark command as users run it: exit statuses, messages, names.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/test_util.h"

namespace {

using qmtest::RunCli;
using qmtest::TempDir;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TMPDIR", m_tmp.path().c_str(), 1);
        // The command takes its defaults from the user's saved settings.
        setenv("XDG_CONFIG_HOME", m_tmp.path().c_str(), 1);
    }
    void TearDown() override {
        EXPECT_TRUE(qmtest::Workspaces(m_tmp.path()).empty());
        // The folders go with the fixture: later tests in this process must
        // not be pointed at them.
        unsetenv("TMPDIR");
        unsetenv("XDG_CONFIG_HOME");
    }
    TempDir m_tmp;
    TempDir m_dir;
};

TEST_F(CliTest, ConvertsSelectedPagesVerbosely) {
    std::string pdf = m_dir / "ten.pdf";
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(10), pdf));
    auto r = RunCli({"-v", "-p", "3,7", "-o", m_dir.path() + "/out/", pdf});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(qmtest::CountOccurrences(r.err, "page started."), 2);
    EXPECT_NE(r.err.find("Conversion of <3> page started."), std::string::npos);
    EXPECT_NE(r.err.find("Conversion of <7> page started."), std::string::npos);
    EXPECT_NE(r.out.find(m_dir.path() + "/out/ten.rtf"), std::string::npos);
    EXPECT_TRUE(qmtest::FileExists(m_dir.path() + "/out/ten.rtf"));
}

TEST_F(CliTest, FailuresGiveStatusOneAndAReasonButOtherFilesStillConvert) {
    std::string good = m_dir / "good.pdf";
    std::string locked = m_dir / "locked.pdf";
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(1), good));
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(1), locked,
                                {"-sOwnerPassword=o", "-sUserPassword=u", "-dEncryptionR=3", "-dKeyLength=128"}));
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

TEST_F(CliTest, WordFormatStoresTheRtfUnderTheDocName) {
    std::string pdf = m_dir / "memo.pdf";
    ASSERT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(1), pdf));
    auto r = RunCli({"-q", "-f", "doc", "-o", m_dir.path(), pdf});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(qmtest::ReadFile(m_dir / "memo.doc").rfind("{\\rtf", 0), 0u);
    EXPECT_FALSE(qmtest::FileExists(m_dir / "memo.rtf"));
}

}  // namespace
