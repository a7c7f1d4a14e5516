// The Ghostscript process of a conversion; see ghostscript_session.h.
#include "images/ghostscript_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "images/ghostscript.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;


// A PostScript string of any bytes.
std::string HexString(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "<";
    for (unsigned char ch : bytes) {
        out += kDigits[ch >> 4];
        out += kDigits[ch & 0x0F];
    }
    return out + ">";
}

// Writing to a process that has ended must fail, not end this program.
class CNoSigPipe {
public:
    CNoSigPipe() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~CNoSigPipe() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        timespec zero{0, 0};
        while (sigtimedwait(&set, nullptr, &zero) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }

private:
    sigset_t m_old;
};

}  // namespace

CGhostscriptSession::CGhostscriptSession(std::string device, std::string folder, std::vector<std::string> readable)
    : m_strDevice(std::move(device)), m_strFolder(std::move(folder)), m_readable(std::move(readable)) {
    // Every answer line starts with a marker that no picture file can know,
    // so whatever a file prints itself is never taken for an answer.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    m_strMarker = "%%QM-RENDER-" + std::to_string(getpid()) + "-" + std::to_string(now) + "-" +
                  std::to_string(reinterpret_cast<uintptr_t>(this)) + " ";
}

CGhostscriptSession::~CGhostscriptSession() {
    Stop(false);
    std::error_code ec;
    if (!m_strFolder.empty()) fs::remove_all(m_strFolder, ec);
}

bool CGhostscriptSession::Start() {
    std::error_code ec;
    fs::create_directories(m_strFolder, ec);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return false;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return false;
    }
    std::string folder;
    for (char ch : m_strFolder) {
        folder += ch;
        if (ch == '%') folder += '%';
    }
    std::vector<std::string> argv = {GhostscriptProgram(), "-sDEVICE=" + m_strDevice, "-dNOPROMPT", "-dNOPAUSE",
                                     "-sOutputFile=" + folder + "/%d." + DeviceExtension(m_strDevice), "-q"};
    for (const auto& dir : m_readable) argv.push_back("--permit-file-read=" + dir + "/*");
    // No input file: Ghostscript's interactive loop reads its standard
    // input a line at a time, where reading it as a file ("-") would wait
    // for a whole buffer.
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // As for any child: its own process group (a time-out ends all it
    // started) and default signal handling.
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(in[0]);
    close(out[1]);
    if (rc != 0) {
        close(in[1]);
        close(out[0]);
        return false;
    }
    m_pid = pid;
    m_nIn = in[1];
    m_nOut = out[0];
    m_strPending.clear();
    // A handshake: a program that is not a working Ghostscript says nothing.
    std::string line;
    bool timedOut = false;
    if (!Send("(" + m_strMarker + "ready\\n) print flush\n") ||
        !ReadAnswer(line, GhostscriptTimeout(), timedOut) || line != "ready") {
        Stop(true);
        return false;
    }
    return true;
}

void CGhostscriptSession::Stop(bool kill) {
    if (m_pid < 0) return;
    if (m_nIn >= 0) close(m_nIn);  // end of input: Ghostscript quits
    m_nIn = -1;
    if (!kill) {
        std::string line;
        bool timedOut = false;
        // Waits for the end of its output, at most a time-out.
        while (ReadAnswer(line, GhostscriptTimeout(), timedOut)) {
        }
        kill = timedOut;
    }
    if (kill) {
        ::kill(-m_pid, SIGKILL);
        ::kill(m_pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (m_nOut >= 0) close(m_nOut);
    m_nOut = -1;
    m_pid = -1;
}

bool CGhostscriptSession::Send(const std::string& text) {
    CNoSigPipe guard;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(m_nIn, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CGhostscriptSession::ReadAnswer(std::string& line, double timeoutSeconds, bool& timedOut) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds > 0 ? timeoutSeconds : 0));
    timedOut = false;
    const std::string& marker = m_strMarker;
    for (;;) {
        size_t nl;
        while ((nl = m_strPending.find('\n')) != std::string::npos) {
            std::string got = m_strPending.substr(0, nl);
            m_strPending.erase(0, nl + 1);
            if (got.compare(0, marker.size(), marker) == 0) {
                line = got.substr(marker.size());
                return true;
            }
        }
        if (m_nOut < 0) return false;
        int waitMs = -1;
        if (timeoutSeconds > 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                timedOut = true;
                return false;
            }
            waitMs = static_cast<int>(std::min<long long>(left, 1000000));
        }
        pollfd p{m_nOut, POLLIN, 0};
        int r = poll(&p, 1, waitMs);
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) continue;  // the deadline is checked above
        char buf[4096];
        ssize_t n = read(m_nOut, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        m_strPending.append(buf, static_cast<size_t>(n));
    }
}

CGhostscriptSession::Result CGhostscriptSession::Render(const std::string& inputPath, const std::string& outputPath) {
    if (m_bBroken) return Result::kUnavailable;
    if (m_pid < 0 && !Start()) {
        m_bBroken = true;
        return Result::kUnavailable;
    }
    // The page counter of the device numbers the pages; an answer tells
    // which page the file made. Leftovers of a failed file (operands,
    // dictionaries) are cleared before the state is restored.
    std::error_code ec;
    const std::string input = fs::absolute(inputPath, ec).string();
    const std::string command = "{ /qm_n countdictstack def /qm_s save def { " + HexString(input) +
                                " run } stopped { (err ) } { (ok ) } ifelse (" + m_strMarker +
                                ") print print currentpagedevice /PageCount get ==only (\\n) print flush clear "
                                "{ countdictstack qm_n gt { end } { exit } ifelse } loop qm_s restore } stopped "
                                "{ (" + m_strMarker + "fail\\n) print flush } if\n";
    std::string line;
    bool timedOut = false;
    if (!Send(command) || !ReadAnswer(line, GhostscriptTimeout(), timedOut)) {
        Stop(true);
        m_bBroken = true;
        return timedOut ? Result::kTimedOut : Result::kUnavailable;
    }
    if (line.compare(0, 3, "ok ") != 0) {
        // The file failed (or left a state that could not be restored):
        // it is rendered on its own, as a process of its own would have.
        if (line == "fail") {
            Stop(true);
            m_bBroken = true;
        }
        return Result::kUnavailable;
    }
    const std::string page = m_strFolder + "/" + line.substr(3) + "." + DeviceExtension(m_strDevice);
    auto size = fs::file_size(page, ec);
    if (ec || size == 0) {
        fs::remove(page, ec);
        return Result::kUnavailable;
    }
    fs::rename(page, outputPath, ec);
    if (ec) {
        // Another file system: copied beside the target, then renamed.
        const size_t slash = outputPath.find_last_of('/');
        const std::string partial = slash == std::string::npos
                                        ? ".~" + outputPath + ".part"
                                        : outputPath.substr(0, slash + 1) + ".~" + outputPath.substr(slash + 1) + ".part";
        fs::copy_file(page, partial, fs::copy_options::overwrite_existing, ec);
        if (!ec) fs::rename(partial, outputPath, ec);
        std::error_code ignored;
        fs::remove(partial, ignored);
        fs::remove(page, ignored);
        if (ec) return Result::kUnavailable;
    }
    return Result::kOk;
}
