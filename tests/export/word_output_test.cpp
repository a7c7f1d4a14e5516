// Word document output: the RTF text moved to the ".doc" name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/word_output.h"

namespace fs = std::filesystem;

namespace {

class WordOutput : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("quillmark-word-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    static void Write(const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path m_dir;
};

TEST_F(WordOutput, DocumentPathReplacesTheLastExtension) {
    EXPECT_EQ(WordDocumentPath("/out/report.final.rtf"), "/out/report.final.doc");
    EXPECT_EQ(WordDocumentPath("/out/plain"), "/out/plain.doc");
}

TEST_F(WordOutput, MovesTheRtfTextAndOverwritesAnOldDocument) {
    const std::string rtf = "{\\rtf\\ansi\\deff0\r\nHello\\par\r\n}";
    Write(m_dir / "a.rtf", rtf);
    Write(m_dir / "a.doc", "an older, longer document that must not leave a tail behind");
    {
        CRtf2Doc scope;
        ASSERT_TRUE(SaveAsWordDocument((m_dir / "a.rtf").string(), (m_dir / "a.doc").string()));
    }
    EXPECT_FALSE(fs::exists(m_dir / "a.rtf"));
    EXPECT_EQ(Read(m_dir / "a.doc"), rtf);
}

TEST_F(WordOutput, FailedCopyKeepsTheRtfFile) {
    Write(m_dir / "b.rtf", "{\\rtf1}");
    EXPECT_FALSE(SaveAsWordDocument((m_dir / "b.rtf").string(), (m_dir / "missing" / "b.doc").string()));
    EXPECT_TRUE(fs::exists(m_dir / "b.rtf"));
    EXPECT_FALSE(SaveAsWordDocument((m_dir / "nothing.rtf").string(), (m_dir / "nothing.doc").string()));
}

}  // namespace
