// What the command-line tests share: the PDFs they feed the quillmark
// command, an earlier document that a failed or stopped run must keep, and
// the look for anything such a run left beside it.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace qmtest {

constexpr const char* kEarlierDocument = "{\\rtf1 my earlier document}";

// Ghostscript's arguments for a PDF that opens with the password "u".
inline std::vector<std::string> LockedWithU() {
    return {"-sOwnerPassword=o", "-sUserPassword=u", "-dEncryptionR=3", "-dKeyLength=128"};
}

// PostScript of `pages` pages, each with a line of text ("Page N") and a
// picture, so that every page goes through Ghostscript.
inline std::string PicturePagesPs(int pages) {
    std::ostringstream ps;
    ps << "%!PS\n/Helvetica findfont 24 scalefont setfont\n";
    for (int i = 1; i <= pages; ++i) {
        ps << "72 700 moveto (Page " << i << ") show gsave 100 100 translate 200 200 scale "
           << "4 4 8 [4 0 0 4 0 0] {<";
        for (int b = 0; b < 48; ++b) ps << (b % 2 ? "3c" : "c3");
        ps << ">} false 3 colorimage grestore showpage\n";
    }
    return ps.str();
}

// "<host>.<pid>" of a process that has ended, as the owner tag of the
// leftovers a killed run of this host would carry.
inline std::string DeadOwner() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    std::string host;
    for (const char* p = name; *p != '\0' && host.size() < 64; ++p)
        host += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '-';
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return host + "." + std::to_string(pid);
}

inline std::vector<std::string> Args(std::vector<std::string> first, const std::vector<std::string>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

// An isolated test that runs the command: its PDFs go in `m_dir`, its
// outputs below `m_out`.
class CliTest : public IsolatedTest {
protected:
    // A PDF at `path` (folders made) of `ps` or, when empty, numbered pages.
    std::string PdfAt(const std::string& path, int pages, const std::string& ps = std::string()) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(MakePdf(ps.empty() ? NumberedPagesPs(pages) : ps, path)) << path;
        return path;
    }
    std::string LockedPdf() { return Pdf("locked.pdf", 1, LockedWithU()); }
    // Puts an earlier document where the conversion of `base`.pdf writes
    // into the folder `m_out`/`base`, and returns its path.
    std::string Earlier(const std::string& base) {
        std::filesystem::create_directories(m_out + "/" + base);
        const std::string path = m_out + "/" + base + "/" + base + ".rtf";
        WriteFile(path, kEarlierDocument);
        return path;
    }
    // Checks that `earlier` is as Earlier() wrote it and alone in its folder:
    // no partial document or other output beside it.
    static void ExpectKeptAlone(const std::string& earlier) {
        EXPECT_EQ(ReadFile(earlier), kEarlierDocument) << "the earlier document was replaced";
        EXPECT_EQ(Entries(std::filesystem::path(earlier).parent_path()), 1) << "left beside the earlier document";
    }
    // How many names `dir` holds.
    static int Entries(const std::string& dir) {
        int n = 0;
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
             it.increment(ec))
            ++n;
        return n;
    }

    std::string m_out = m_dir / "out";
};

}  // namespace qmtest
