// The command line: fills the conversion job from its options, converts each
// PDF in turn and reports through the job's callbacks.
#include <fcntl.h>
#include <getopt.h>
#include <sys/resource.h>
#include <unistd.h>

#include <Error.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "control/batch_runner.h"
#include "control/convert_doc.h"
#include "control/file_list.h"
#include "control/layout_names.h"
#include "control/outcome_reason.h"
#include "control/page_range.h"
#include "control/result_log.h"
#include "platform/registry.h"
#include "platform/settings_file.h"

namespace {

const char* kUsage =
    "Usage: quillmark [options] FILE.pdf...\n"
    "Converts PDF files into RTF documents, or extracts their pictures.\n"
    "\n"
    "  -o, --output-dir DIR      where documents and picture folders go (default: .)\n"
    "  -p, --pages RANGE         \"1,3,7,10-15\" (default: all pages)\n"
    "  -l, --layout NAME         flowing | exact | no-images | plain-text\n"
    "                            (default: the saved Layout setting, else flowing)\n"
    "  -f, --format rtf|doc      output format (default: the saved DocFormat setting, else rtf)\n"
    "      --remove-images       leave pictures out of FLOWING and EXACT documents\n"
    "      --password PASSWORD   the password that opens locked PDFs (default: the\n"
    "                            environment variable QUILLMARK_PASSWORD, which stays\n"
    "                            out of the process list)\n"
    "  -x, --extract-images      extract pictures instead of converting\n"
    "      --image-format NAME   jpg | png | bmp | tiff | pcx | pbm | pnm | ppm (default jpg)\n"
    "      --page-xml FILE       write the intermediate page XML document of the (single)\n"
    "                            input to FILE instead of converting it\n"
    "      --from-list FILE      also convert the files listed in FILE, one path a line\n"
    "                            (- reads the list from standard input)\n"
    "  -0, --null                the list's paths end with NUL bytes, not line ends\n"
    "      --shard I/N           convert only the files whose place in the list (counted\n"
    "                            from 0) leaves I when divided by N\n"
    "      --mirror-tree ROOT    put each output at its source's path relative to ROOT\n"
    "                            under the output folder (folders are made as needed);\n"
    "                            every input must lie below ROOT (else a usage error)\n"
    "      --skip-existing       skip a file whose document already exists (documents\n"
    "                            are put in place only when complete); not with -x\n"
    "      --result-log FILE     append one JSON line per input to FILE (- : standard\n"
    "                            output, which then carries nothing else): input,\n"
    "                            output, status (ok, failed, skipped, timeout,\n"
    "                            interrupted), reason, warnings, pages, seconds, peak_kib\n"
    "  -j, --jobs N              convert up to N files at once, each in a process of its\n"
    "                            own (the documents are the same as one at a time)\n"
    "      --timeout SEC         stop a file that takes longer than SEC seconds (it\n"
    "                            fails with status timeout) and go on with the next\n"
    "      --max-memory MB       a file's conversion, and its Ghostscript, may each map\n"
    "                            at most MB mebibytes; a file that needs more fails\n"
    "                            (--jobs, --timeout and --max-memory convert every\n"
    "                            file in a process of its own)\n"
    "      --exit-codes MODE     standard (the default) or batch (see below)\n"
    "      --keep-partial        Ctrl-C at a terminal keeps the pages of the file under\n"
    "                            way converted so far (without it, that file is dropped)\n"
    "  -q, --quiet               print nothing but errors\n"
    "  -v, --verbose             print the conversion's log lines\n"
    "  -h, --help                show this text\n"
    "      --version             show the version\n"
    "\n"
    "Exit status: 0 when every file converted, 1 when any failed, 2 on a usage error,\n"
    "130 when stopped by SIGINT (Ctrl-C), 143 when stopped by SIGTERM. A stopped run\n"
    "writes nothing for the file under way (an earlier document of its name is kept)\n"
    "and reports the files after it as not converted.\n"
    "With --exit-codes=batch, 75 (EX_TEMPFAIL) says a file failed for a reason that\n"
    "may be gone when the run is retried (a full disk, an output folder that cannot\n"
    "be written, Ghostscript missing or failing, a result log that cannot be written);\n"
    "it wins over 1, which then means only inputs that will not convert as they are.\n"
    "Otherwise 124 says a file ran past --timeout (it may convert with more time).\n"
    "Skipped files count as converted.\n";

// The job of the command line: log lines with -v, a progress bar on a
// terminal, one result line per file.
class CliJob : public CConvertPara {
public:
    bool m_bVerbose = false;
    bool m_bQuiet = false;
    bool m_bTty = false;
    // The progress bar: on a terminal, when files convert in this process.
    bool m_bBar = false;
    bool m_bKeepPartial = false;
    // The result log (-1: none) and whether it is standard output, which
    // then carries nothing but its lines.
    int m_nLogFd = -1;
    bool m_bLogOnStdout = false;
    bool m_bLogFailed = false;
    // Failures a retry may not meet (IsRetryable), and log lines lost.
    int m_nRetryable = 0;
    // The signal that stopped the run (0: none); set by the handler.
    std::atomic<int> m_nSignal{0};
    // The file under way, for warnings.
    std::string m_strSource;

    void ShowProgress(int32_t percent) override {
        if (!m_bBar || m_bQuiet) return;
        int p = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
        int filled = p * 30 / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "==============================", 30 - filled, "", p);
        std::fflush(stderr);
        m_bBarShown = true;
    }
    void ShowMessage(const char* text) override {
        if (!m_bVerbose) return;
        EndBar();
        std::fprintf(stderr, "%s\n", text);
    }
    // Warnings reach the user without -v: the file converted, but not all of it.
    void ShowWarning(const char* text) override {
        EndBar();
        if (m_bVerbose) std::fprintf(stderr, "%s\n", text);
        else if (!m_bQuiet) std::fprintf(stderr, "quillmark: %s: %s\n", m_strSource.c_str(), text);
        ++m_nWarnings;
        if (m_nLogFd >= 0) m_warnings.emplace_back(text);
    }
    int m_nWarnings = 0;
    int m_nFailed = 0;
    int m_nTimedOut = 0;
    void FileBegins(const std::string& source) override {
        m_strSource = source;
        m_warnings.clear();
    }
    void FileStarted(const std::string&, const std::string&) override {}
    void FileConverted(CFileOutcome& outcome) override;
    void FileFinished(const CFileOutcome& outcome) override;
    void EndBar() {
        if (m_bBarShown) {
            std::fprintf(stderr, "\r%*s\r", 40, "");
            m_bBarShown = false;
        }
    }

private:
    void LogResult(const CFileOutcome& outcome);

    bool m_bBarShown = false;
    std::vector<std::string> m_warnings;
};

// The job being run, for the interrupt handler. The cancel flag and the
// signal are lock-free atomics, so setting them from the handler is safe.
CliJob* g_job = nullptr;
// The run's own process: its workers (copies of it) share the handler but
// leave the saying to the run, so a stop is announced once.
pid_t g_runPid = 0;

// A job engine (a batch system, GNU parallel, a container runtime) stops a
// run with SIGTERM, or SIGINT when no terminal is attached, and then takes
// whatever is left under a document's final name as done: the file under
// way is abandoned, never put in place cut short. Only a user at a terminal
// who asked for it with --keep-partial gets the pages done so far on a
// first Ctrl-C; a second one stops at once. The handler only sets flags:
// the page loop and the waits for Ghostscript see them and unwind, which
// kills Ghostscript and removes the partial document and the workspace.
void OnInterrupt(int sig) {
    if (g_job == nullptr) return;
    int none = 0;
    g_job->m_nSignal.compare_exchange_strong(none, sig);
    const bool keepPages = sig == SIGINT && g_job->m_bTty && g_job->m_bKeepPartial;
    const bool announce = getpid() == g_runPid;
    if (keepPages && g_job->m_nCancel.load() == 0) {
        g_job->m_nCancel = kCancelAfterPage;
        static const char kMsg[] = "\nquillmark: stopping after this page (Ctrl-C again to stop now)\n";
        ssize_t ignored = announce ? write(STDERR_FILENO, kMsg, sizeof kMsg - 1) : 0;
        (void)ignored;
    } else if (g_job->m_nCancel.exchange(kCancelNow) != kCancelNow && announce) {
        static const char kMsg[] = "\nquillmark: stopping now; the file under way is not written\n";
        ssize_t ignored = write(STDERR_FILENO, kMsg, sizeof kMsg - 1);
        (void)ignored;
    }
}

// The exit status of a run a signal stopped: 128 plus the signal, as a
// shell reports a program the signal killed.
int StoppedStatus(int sig) { return 128 + sig; }

// --exit-codes=batch: a failure a retry may not meet (sysexits' EX_TEMPFAIL,
// which job engines and mail systems already read as "try again"), and a
// file that ran out of time (the status timeout(1) gives).
constexpr int kExitRetryable = 75;
constexpr int kExitTimedOut = 124;

// The PDF core reports damaged input through its error channel. Its
// messages are shown with -v; otherwise they are counted, and a file that
// had any gets one line saying so.
bool g_showPdfErrors = false;
int g_pdfErrors = 0;

void OnPdfError(ErrorCategory category, Goffset pos, const char* msg) {
    if (category == errInternal || category == errSyntaxError || category == errSyntaxWarning ||
        category == errIO) {
        ++g_pdfErrors;
    }
    if (!g_showPdfErrors) return;
    if (pos >= 0) std::fprintf(stderr, "pdf: %s (at byte %lld)\n", msg, static_cast<long long>(pos));
    else std::fprintf(stderr, "pdf: %s\n", msg);
}

struct ImageFormat {
    const char* name;
    const char* device;
};
const ImageFormat kImageFormats[] = {{"jpg", "jpeg"},     {"jpeg", "jpeg"},  {"png", "png16m"}, {"bmp", "bmp16m"},
                                     {"tiff", "tiff24nc"}, {"tif", "tiff24nc"}, {"pcx", "pcx24b"}, {"pbm", "pbm"},
                                     {"pnm", "pnm"},       {"ppm", "ppm"}};

// A whole number from `low` to `high`, all of `text`.
bool ParseWhole(const char* text, int32_t low, int32_t high, int32_t& value) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || n < low || n > high) return false;
    value = static_cast<int32_t>(n);
    return true;
}
constexpr int32_t kMaxJobs = 1024;
constexpr int32_t kMaxMemoryMiB = 1 << 24;  // 16 TiB

// The highest resident size of this process or of any child it waited for
// (Ghostscript), in KiB: the run's high-water mark so far, not the file's.
long PeakKiB() {
    rusage self = {};
    rusage children = {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return self.ru_maxrss > children.ru_maxrss ? self.ru_maxrss : children.ru_maxrss;
}

void CliJob::LogResult(const CFileOutcome& outcome) {
    CResultRecord record;
    record.m_strInput = outcome.m_strSource;
    if (!outcome.m_bNotStarted) record.m_strOutput = outcome.m_strTarget;
    record.m_strStatus = StatusOf(outcome);
    record.m_strReason = ReasonCodeFor(outcome, !m_strUserPassword.empty());
    record.m_nPages = outcome.m_nPages;
    record.m_warnings = outcome.m_warnings;
    record.m_fSeconds = outcome.m_fSeconds;
    // A worker measured its file; a run converting in its own process
    // knows only its high-water mark so far.
    record.m_nPeakKiB = outcome.m_nPeakKiB > 0 ? outcome.m_nPeakKiB : PeakKiB();
    const std::string line = ResultLogLine(record);
    // One write per line: with O_APPEND the kernel places it whole at the
    // end, so workers sharing a log never split each other's lines.
    ssize_t written;
    do {
        written = write(m_nLogFd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(line.size())) {
        // A log short of a line would make a resume redo or miss the file.
        if (!m_bLogFailed)
            std::fprintf(stderr, "quillmark: the result log cannot be written: %s\n",
                         written < 0 ? std::strerror(errno) : "short write");
        m_bLogFailed = true;
        ++m_nFailed;
        ++m_nRetryable;
    }
}

void CliJob::FileConverted(CFileOutcome& outcome) {
    outcome.m_warnings = std::move(m_warnings);
    m_warnings.clear();
    outcome.m_nPdfProblems = g_pdfErrors;
    g_pdfErrors = 0;
}

void CliJob::FileFinished(const CFileOutcome& outcome) {
    EndBar();
    if (m_nLogFd >= 0) LogResult(outcome);
    const bool printResults = !m_bQuiet && !m_bLogOnStdout;
    const char* file = outcome.m_strSource.c_str();
    if (outcome.m_bSkipped) {
        if (printResults) std::printf("%s -> %s (skipped: it exists)\n", file, outcome.m_strTarget.c_str());
        return;
    }
    if (outcome.m_bNotStarted) {
        std::fprintf(stderr, "quillmark: %s: not converted (cancelled)\n", file);
        ++m_nFailed;
        return;
    }
    // Problems the PDF core skipped matter only for a file that converted.
    const int problems = outcome.m_nPdfProblems;
    if (outcome.m_result == ConvertResult::kOk && problems > 0 && !m_bQuiet && !m_bVerbose)
        std::fprintf(stderr, "quillmark: %s: the PDF is damaged; %d problem%s skipped (-v shows them)\n", file,
                     problems, problems == 1 ? " was" : "s were");
    if (outcome.m_bAbandoned) {
        ++m_nFailed;
        std::fprintf(stderr, "quillmark: %s: stopped, no document written\n", file);
    } else if (outcome.m_result != ConvertResult::kOk) {
        ++m_nFailed;
        if (IsRetryable(outcome)) ++m_nRetryable;
        if (outcome.m_result == ConvertResult::kTimedOut) ++m_nTimedOut;
        std::fprintf(stderr, "quillmark: %s: %s\n", file, ReasonFor(outcome, !m_strUserPassword.empty()).c_str());
    } else {
        if (printResults)
            std::printf("%s -> %s%s\n", file, outcome.m_strTarget.c_str(),
                        outcome.m_bPagesLeft ? " (cancelled: pages converted so far)" : "");
        // A document cut short by --keep-partial is not a finished one.
        if (outcome.m_bPagesLeft) {
            ++m_nFailed;
            std::fprintf(stderr, "quillmark: %s: interrupted; %s holds only the pages converted so far\n", file,
                         outcome.m_strTarget.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    CliJob job;
    std::string pages;
    std::string pageXml;
    std::string layout;  // empty: not given
    std::string format;
    std::string imageFormat = "jpg";
    bool extract = false;
    bool removeImages = false;
    std::string outDir = ".";
    bool pagesGiven = false;
    if (const char* password = std::getenv("QUILLMARK_PASSWORD")) job.m_strUserPassword = password;
    std::string fromList;
    bool nulSeparated = false;
    CShard shard;
    bool sharded = false;
    std::string mirrorRoot;
    std::string resultLog;
    bool batchExitCodes = false;

    enum {
        kOptRemoveImages = 1000,
        kOptImageFormat,
        kOptPageXml,
        kOptVersion,
        kOptPassword,
        kOptKeepPartial,
        kOptFromList,
        kOptShard,
        kOptMirrorTree,
        kOptSkipExisting,
        kOptResultLog,
        kOptExitCodes,
        kOptTimeout,
        kOptMaxMemory
    };
    static const option kOptions[] = {
        {"output-dir", required_argument, nullptr, 'o'},
        {"pages", required_argument, nullptr, 'p'},
        {"layout", required_argument, nullptr, 'l'},
        {"format", required_argument, nullptr, 'f'},
        {"remove-images", no_argument, nullptr, kOptRemoveImages},
        {"extract-images", no_argument, nullptr, 'x'},
        {"image-format", required_argument, nullptr, kOptImageFormat},
        {"page-xml", required_argument, nullptr, kOptPageXml},
        {"password", required_argument, nullptr, kOptPassword},
        {"keep-partial", no_argument, nullptr, kOptKeepPartial},
        {"from-list", required_argument, nullptr, kOptFromList},
        {"null", no_argument, nullptr, '0'},
        {"shard", required_argument, nullptr, kOptShard},
        {"mirror-tree", required_argument, nullptr, kOptMirrorTree},
        {"skip-existing", no_argument, nullptr, kOptSkipExisting},
        {"result-log", required_argument, nullptr, kOptResultLog},
        {"exit-codes", required_argument, nullptr, kOptExitCodes},
        {"jobs", required_argument, nullptr, 'j'},
        {"timeout", required_argument, nullptr, kOptTimeout},
        {"max-memory", required_argument, nullptr, kOptMaxMemory},
        {"quiet", no_argument, nullptr, 'q'},
        {"verbose", no_argument, nullptr, 'v'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kOptVersion},
        {nullptr, 0, nullptr, 0},
    };
    int c;
    while ((c = getopt_long(argc, argv, "o:p:l:f:j:xqvh0", kOptions, nullptr)) != -1) {
        switch (c) {
            case 'o': outDir = optarg; break;
            case 'p':
                pages = optarg;
                pagesGiven = true;
                break;
            case 'l': layout = optarg; break;
            case 'f': format = optarg; break;
            case 'x': extract = true; break;
            case 'q': job.m_bQuiet = true; break;
            case 'v': job.m_bVerbose = true; break;
            case 'h': std::fputs(kUsage, stdout); return 0;
            case kOptRemoveImages: removeImages = true; break;
            case kOptImageFormat: imageFormat = optarg; break;
            case kOptPageXml: pageXml = optarg; break;
            case kOptPassword: job.m_strUserPassword = optarg; break;
            case kOptKeepPartial: job.m_bKeepPartial = true; break;
            case kOptFromList: fromList = optarg; break;
            case '0': nulSeparated = true; break;
            case kOptShard:
                if (!ParseShard(optarg, shard)) {
                    std::fprintf(stderr, "quillmark: --shard wants I/N with 0 <= I < N, not '%s'\n", optarg);
                    return 2;
                }
                sharded = true;
                break;
            case kOptMirrorTree: mirrorRoot = optarg; break;
            case kOptSkipExisting: job.m_bSkipExisting = true; break;
            case kOptResultLog: resultLog = optarg; break;
            case kOptExitCodes:
                if (std::strcmp(optarg, "batch") == 0) batchExitCodes = true;
                else if (std::strcmp(optarg, "standard") == 0) batchExitCodes = false;
                else {
                    std::fprintf(stderr, "quillmark: --exit-codes is standard or batch, not '%s'\n", optarg);
                    return 2;
                }
                break;
            case 'j':
                if (!ParseWhole(optarg, 1, kMaxJobs, job.m_nJobs)) {
                    std::fprintf(stderr, "quillmark: --jobs wants a number from 1 to %d, not '%s'\n", kMaxJobs, optarg);
                    return 2;
                }
                break;
            case kOptTimeout: {
                char* end = nullptr;
                errno = 0;
                const double seconds = std::strtod(optarg, &end);
                if (end == optarg || *end != '\0' || errno != 0 || !(seconds > 0) || seconds > 1e7) {
                    std::fprintf(stderr, "quillmark: --timeout wants seconds above 0, not '%s'\n", optarg);
                    return 2;
                }
                job.m_fTimeoutSeconds = seconds;
                break;
            }
            case kOptMaxMemory: {
                int32_t mebibytes = 0;
                if (!ParseWhole(optarg, 1, kMaxMemoryMiB, mebibytes)) {
                    std::fprintf(stderr, "quillmark: --max-memory wants mebibytes from 1 to %d, not '%s'\n",
                                 kMaxMemoryMiB, optarg);
                    return 2;
                }
                job.m_nMaxMemoryMiB = mebibytes;
                break;
            }
            case kOptVersion: std::printf("quillmark %s\n", QUILLMARK_VERSION); return 0;
            default: std::fputs(kUsage, stderr); return 2;
        }
    }
    std::vector<std::string> files(argv + optind, argv + argc);
    if (nulSeparated && fromList.empty()) {
        std::fputs("quillmark: -0 applies to the list of --from-list\n", stderr);
        return 2;
    }
    if (!fromList.empty()) {
        const char separator = nulSeparated ? '\0' : '\n';
        std::vector<std::string> listed;
        if (fromList == "-") {
            listed = ReadFileList(std::cin, separator);
        } else {
            std::ifstream list(fromList, std::ios::binary);
            if (!list) {
                std::fprintf(stderr, "quillmark: %s: the list cannot be read\n", fromList.c_str());
                return 2;
            }
            listed = ReadFileList(list, separator);
        }
        files.insert(files.end(), listed.begin(), listed.end());
    }
    if (sharded) files = SelectShard(files, shard);
    // A list, or a shard of one, may hold nothing for this worker.
    if (files.empty() && (!fromList.empty() || sharded)) return 0;
    if (files.empty()) {
        std::fputs("quillmark: no input file\n", stderr);
        std::fputs(kUsage, stderr);
        return 2;
    }

    if (!mirrorRoot.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_directory(mirrorRoot, ec)) {
            std::fprintf(stderr, "quillmark: --mirror-tree %s: not a folder\n", mirrorRoot.c_str());
            return 2;
        }
        // Checked before anything converts: an input outside the tree has
        // no place in the mirror, and a run that stopped half-way over it
        // would leave an engine a partial result to sort out.
        std::string folder;
        for (const std::string& file : files) {
            if (!CConvertDoc::RelativeFolderUnder(mirrorRoot, file, folder)) {
                std::fprintf(stderr, "quillmark: %s is not below the --mirror-tree folder %s\n", file.c_str(),
                             mirrorRoot.c_str());
                return 2;
            }
        }
        job.m_strMirrorRoot = mirrorRoot;
    }

    // Options not given come from the settings the desktop application saved.
    std::string savedLayout = "flowing";
    std::string savedFormat = "rtf";
    const char* const kNames[] = {"flowing", "exact", "no-images", "plain-text"};
    if (int code = qm::LayoutCode(qm::ReadRegistryString(qm::kSettingsKey, "Layout")); code >= 0)
        savedLayout = kNames[code];
    if (qm::ReadRegistryString(qm::kSettingsKey, "DocFormat") == "doc") savedFormat = "doc";
    if (layout.empty()) layout = savedLayout;
    if (format.empty()) format = savedFormat;

    if (layout == "flowing") job.m_nKind = kRunFlowing;
    else if (layout == "exact") job.m_nKind = kRunExact;
    else if (layout == "no-images") job.m_nKind = kRunNoImages;
    else if (layout == "plain-text") job.m_nKind = kRunPlainText;
    else {
        std::fprintf(stderr, "quillmark: unknown layout '%s'\n", layout.c_str());
        return 2;
    }
    if (format != "rtf" && format != "doc") {
        std::fprintf(stderr, "quillmark: unknown format '%s'\n", format.c_str());
        return 2;
    }
    job.m_nOutputFormat = format == "doc" ? 1 : 0;
    if (extract) {
        const ImageFormat* f = nullptr;
        for (const auto& it : kImageFormats)
            if (imageFormat == it.name) f = &it;
        if (f == nullptr) {
            std::fprintf(stderr, "quillmark: unknown image format '%s'\n", imageFormat.c_str());
            return 2;
        }
        job.m_nKind = kRunExtractImages;
        job.m_strDevice = f->device;
        // Pictures land in a folder per page, none of which marks the file
        // as finished.
        if (job.m_bSkipExisting) {
            std::fputs("quillmark: --skip-existing applies to documents, not to --extract-images\n", stderr);
            return 2;
        }
    }
    job.m_nRemoveImages = removeImages ? 1 : 0;
    if (pagesGiven) {
        if (const std::string error = ParsePageRange(pages, job.m_pages); !error.empty()) {
            std::fprintf(stderr, "quillmark: page range '%s': %s\n", pages.c_str(), error.c_str());
            return 2;
        }
        job.m_nPageFlags &= ~0xFu;
    }
    job.m_bTty = isatty(STDERR_FILENO) != 0;
    // A bar drawn by a worker is not the run's to clear before its result
    // line, and side by side workers would draw over each other.
    job.m_bBar = job.m_bTty && !job.UsesWorkers();
    g_showPdfErrors = job.m_bVerbose;
    setErrorCallback(OnPdfError);
    g_job = &job;
    g_runPid = getpid();
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    job.m_strOutDir = outDir;
    if (!pageXml.empty()) {
        if (files.size() != 1) {
            std::fputs("quillmark: --page-xml takes exactly one input file\n", stderr);
            return 2;
        }
        const CFileOutcome outcome = CConvertDoc::WritePageXml(&job, files[0], pageXml);
        if (job.m_nSignal != 0) return StoppedStatus(job.m_nSignal);
        if (outcome.m_result != ConvertResult::kOk) {
            std::fprintf(stderr, "quillmark: %s: %s\n", files[0].c_str(),
                         ReasonFor(outcome, !job.m_strUserPassword.empty()).c_str());
            return batchExitCodes && IsRetryable(outcome) ? kExitRetryable : 1;
        }
        return 0;
    }

    if (!resultLog.empty()) {
        if (resultLog == "-") {
            job.m_nLogFd = STDOUT_FILENO;
            job.m_bLogOnStdout = true;
        } else {
            job.m_nLogFd = open(resultLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            if (job.m_nLogFd < 0) {
                std::fprintf(stderr, "quillmark: %s: the result log cannot be opened: %s\n", resultLog.c_str(),
                             std::strerror(errno));
                return 2;
            }
        }
    }

    CBatchRunner(&job).Run(files);
    if (job.m_nLogFd >= 0 && !job.m_bLogOnStdout) close(job.m_nLogFd);
    if (job.m_nSignal != 0) return StoppedStatus(job.m_nSignal);
    if (batchExitCodes && job.m_nRetryable > 0) return kExitRetryable;
    if (batchExitCodes && job.m_nTimedOut > 0) return kExitTimedOut;
    return job.m_nFailed == 0 ? 0 : 1;
}
