// The Ghostscript process of a conversion; see ghostscript_session.h.
#include "images/ghostscript_session.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "images/ghostscript.h"

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

}  // namespace

CGhostscriptSession::CGhostscriptSession(std::string device, std::string folder, std::vector<std::string> readable,
                                         std::function<bool()> stop)
    : m_strDevice(std::move(device)),
      m_strFolder(std::move(folder)),
      m_readable(std::move(readable)),
      m_stop(std::move(stop)) {
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
    qm::ChildOptions options;
    options.pipeInput = true;
    options.captureOutput = true;
    options.stopRequested = m_stop;
    if (!m_process.Start(argv, options)) return false;
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
    if (!m_process.HasProcess()) return;
    m_process.CloseInput();  // end of input: Ghostscript quits
    // A stopped conversion does not wait for the pictures under way.
    if (m_bStopped || m_process.StopRequested()) kill = true;
    if (!kill) {
        std::string line;
        bool timedOut = false;
        // Waits for the end of its output, at most a time-out.
        while (ReadAnswer(line, GhostscriptTimeout(), timedOut)) {
        }
        kill = timedOut;
    }
    if (kill) m_process.Kill();
    else m_process.Wait(0);
}

bool CGhostscriptSession::Send(const std::string& text) { return m_process.Write(text); }

bool CGhostscriptSession::ReadAnswer(std::string& line, double timeoutSeconds, bool& timedOut) {
    using Clock = std::chrono::steady_clock;
    const bool unlimited = timeoutSeconds <= 0;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(unlimited ? 0 : timeoutSeconds));
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
        double left = 0;
        if (!unlimited) {
            left = std::chrono::duration<double>(deadline - Clock::now()).count();
            if (left <= 0) {
                timedOut = true;
                return false;
            }
        }
        switch (m_process.ReadOutput(m_strPending, left)) {
            case qm::CChildProcess::ReadResult::kData: break;
            case qm::CChildProcess::ReadResult::kTimedOut: timedOut = true; return false;
            case qm::CChildProcess::ReadResult::kEnd: return false;
            case qm::CChildProcess::ReadResult::kStopped: m_bStopped = true; return false;
        }
    }
}

CGhostscriptSession::Result CGhostscriptSession::Render(const std::string& inputPath, const std::string& outputPath) {
    if (m_bBroken) return Result::kUnavailable;
    if (!m_process.HasProcess() && !Start()) {
        m_bBroken = true;
        return m_bStopped ? Result::kStopped : Result::kUnavailable;
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
        if (m_bStopped) return Result::kStopped;
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
