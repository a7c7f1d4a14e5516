#include "support/test_util.h"

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/process.h"

namespace fs = std::filesystem;

namespace qmtest {

TempDir::TempDir() {
    std::string templ = (fs::temp_directory_path() / "qmtest-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) != nullptr) m_path = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) fs::remove_all(m_path, ec);
}

bool MakePdf(const std::string& postscript, const std::string& pdfPath, const std::vector<std::string>& gsArgs) {
    std::string psPath = pdfPath + ".ps";
    {
        std::ofstream ps(psPath, std::ios::binary);
        ps << postscript;
    }
    std::vector<std::string> argv = {"gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                                     "-sOutputFile=" + pdfPath};
    argv.insert(argv.end(), gsArgs.begin(), gsArgs.end());
    argv.push_back(psPath);
    RunResult r = Run(argv);
    return r.status == 0 && FileExists(pdfPath);
}

std::string NumberedPagesPs(int pages) {
    std::ostringstream ps;
    ps << "%!PS\n/Helvetica findfont 24 scalefont setfont\n";
    for (int i = 1; i <= pages; ++i) ps << "72 700 moveto (Page " << i << ") show showpage\n";
    return ps.str();
}

namespace {
RunResult RunWith(const std::vector<std::string>& argv, qm::ChildOptions options) {
    RunResult result;
    options.captureOutput = true;
    options.captureErrors = true;
    qm::CChildProcess child;
    if (!child.Start(argv, options)) return result;
    child.WaitCollecting(&result.out, &result.err, 0);
    result.status = child.ExitCode();
    return result;
}
}  // namespace

RunResult Run(const std::vector<std::string>& argv) { return RunWith(argv, {}); }

RunResult RunCli(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {QUILLMARK_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

RunResult RunCliWithFileSizeLimit(const std::vector<std::string>& args, long maxFileBytes) {
    // prlimit sets the limit on itself and then becomes the program, so the
    // limit holds in the child only. SIGXFSZ stays blocked across both
    // execs, which turns the oversized write into an EFBIG error instead
    // of killing the program.
    std::vector<std::string> argv = {"prlimit", "--fsize=" + std::to_string(maxFileBytes), QUILLMARK_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    qm::ChildOptions options;
    options.blockedSignals = {SIGXFSZ};
    return RunWith(argv, options);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

void WriteScript(const std::string& path, const std::string& body) {
    WriteFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

int CountOccurrences(const std::string& haystack, const std::string& needle) {
    int n = 0;
    for (size_t pos = haystack.find(needle); pos != std::string::npos; pos = haystack.find(needle, pos + 1)) ++n;
    return n;
}

std::vector<std::vector<EmfRecord>> EmfPictures(const std::string& rtf) {
    std::vector<std::vector<EmfRecord>> pictures;
    for (size_t at = rtf.find("\\emfblip"); at != std::string::npos; at = rtf.find("\\emfblip", at + 1)) {
        // The hexadecimal bytes start after the picture's control words.
        size_t i = rtf.find('\n', at);
        std::string bytes;
        int half = -1;
        for (; i < rtf.size() && rtf[i] != '}'; ++i) {
            const char c = rtf[i];
            const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (v < 0) continue;
            if (half < 0) half = v;
            else bytes += static_cast<char>(half * 16 + v), half = -1;
        }
        auto word = [&](size_t off) {
            uint32_t w = 0;
            for (int k = 3; k >= 0; --k) w = w * 256 + static_cast<unsigned char>(bytes[off + k]);
            return w;
        };
        std::vector<EmfRecord> records;
        size_t off = 0;
        while (off + 8 <= bytes.size()) {
            const uint32_t size = word(off + 4);
            if (size < 8 || size % 4 != 0 || off + size > bytes.size()) break;
            EmfRecord r;
            r.type = word(off);
            for (size_t k = off + 8; k < off + size; k += 4) r.words.push_back(word(k));
            records.push_back(std::move(r));
            off += size;
        }
        const bool whole = off == bytes.size() && !records.empty() && records.front().type == 1 &&
                           records.front().words.size() >= 12 && records.front().words[10] == bytes.size() &&
                           records.back().type == 14 && records.front().words[11] == records.size();
        pictures.push_back(whole ? records : std::vector<EmfRecord>{});
    }
    return pictures;
}

std::vector<std::string> Workspaces(const std::string& tmpDir) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(tmpDir, ec))
        if (e.path().filename().string().rfind("quillmark-", 0) == 0) found.push_back(e.path().string());
    return found;
}

std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream se(expected), sa(actual);
    std::string le, la;
    for (int n = 1;; ++n) {
        bool ge = static_cast<bool>(std::getline(se, le));
        bool ga = static_cast<bool>(std::getline(sa, la));
        if (!ge && !ga) return expected == actual ? std::string() : "the texts differ in their line ends";
        if (!ge || !ga || le != la)
            return "line " + std::to_string(n) + " differs:\n  expected: " + (ge ? le : "<no line>") +
                   "\n  actual:   " + (ga ? la : "<no line>");
    }
}

::testing::AssertionResult SameText(const std::string& expected, const std::string& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << FirstDifference(expected, actual);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    const char* old = std::getenv(name);
    m_had = old != nullptr;
    if (m_had) m_old = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_had) setenv(m_name.c_str(), m_old.c_str(), 1);
    else unsetenv(m_name.c_str());
}

}  // namespace qmtest
