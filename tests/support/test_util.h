// Helpers shared by the tests: temporary folders, files and scripts, PDFs
// made from PostScript, running programs, environment overrides.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qmtest {

// A private temporary folder, removed with everything in it when it goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Writes `postscript` to a file beside `pdfPath` and turns it into a PDF with
// Ghostscript's pdfwrite device; extra arguments go to gs before the input.
// Returns false (and the test should fail) when gs fails.
bool MakePdf(const std::string& postscript, const std::string& pdfPath, const std::vector<std::string>& gsArgs = {});

// A PostScript document of `pages` US-letter pages, each showing
// "Page N" in Helvetica.
std::string NumberedPagesPs(int pages);

struct RunResult {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program with an argument vector (no shell), waits for it however
// long it takes and collects its output.
RunResult Run(const std::vector<std::string>& argv);
// Runs the built quillmark command with the given arguments.
RunResult RunCli(const std::vector<std::string>& args);
// Runs the built quillmark command as on a nearly full disk: no file it
// writes may grow beyond `maxFileBytes` (RLIMIT_FSIZE, with SIGXFSZ blocked
// so that such a write fails with EFBIG instead of killing the program).
RunResult RunCliWithFileSizeLimit(const std::vector<std::string>& args, long maxFileBytes);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
// Writes an executable shell script.
void WriteScript(const std::string& path, const std::string& body);
bool FileExists(const std::string& path);
int CountOccurrences(const std::string& haystack, const std::string& needle);
// A metafile picture of an RTF text, as its records: each record's type
// and the 32-bit words that follow its size.
struct EmfRecord {
    uint32_t type = 0;
    std::vector<uint32_t> words;
};
// The records of every \emfblip picture in `rtf`, one list per picture.
// A picture whose records do not add up to the size its header gives, or
// that does not end with its end record, comes back empty.
std::vector<std::vector<EmfRecord>> EmfPictures(const std::string& rtf);
// Entries of the quillmark-* workspaces under the given temp folder.
std::vector<std::string> Workspaces(const std::string& tmpDir);
// Empty when equal; else the first line where the texts differ.
std::string FirstDifference(const std::string& expected, const std::string& actual);
// The same as an assertion: EXPECT_TRUE(SameText(expected, actual)).
::testing::AssertionResult SameText(const std::string& expected, const std::string& actual);

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

// A test whose conversions keep their workspaces (TMPDIR) and read their
// saved settings (XDG_CONFIG_HOME) in a folder of its own, which must be
// left without a workspace; the test's files go in `m_dir`.
class IsolatedTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(Workspaces(m_tmp.path()).empty()) << "a workspace was left behind"; }
    // A PDF of `pages` numbered pages in `m_dir`.
    std::string Pdf(const std::string& name, int pages, const std::vector<std::string>& gsArgs = {}) {
        const std::string path = m_dir / name;
        EXPECT_TRUE(MakePdf(NumberedPagesPs(pages), path, gsArgs)) << name;
        return path;
    }

    TempDir m_tmp;
    TempDir m_dir;

private:
    ScopedEnv m_tmpEnv{"TMPDIR", m_tmp.path()};
    ScopedEnv m_configEnv{"XDG_CONFIG_HOME", m_tmp.path()};
};

}  // namespace qmtest
