#include "platform/files.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace qm {

std::string ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

std::string FindDataFile(const std::string& name) {
    std::error_code ec;
    // An install keeps bin/ and share/quillmark/ side by side, so the data
    // is found beside the program wherever the install was put (another
    // --prefix, a moved tree); the configured folder is the last resort.
    const std::string folder = ProgramFolder();
    const std::string candidates[] = {folder + "/" + name, folder + "/data/" + name,
                                      folder + "/../share/quillmark/" + name,
                                      std::string(QUILLMARK_DATA_DIR) + "/" + name};
    for (const auto& c : candidates)
        if (fs::is_regular_file(c, ec)) return c;
    return {};
}

namespace {

constexpr char kWorkspacePrefix[] = "quillmark-";

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "host";
    std::string out;
    for (const char* p = name; *p != '\0' && out.size() < 64; ++p) {
        const char ch = *p;
        const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        out += plain ? ch : '-';
    }
    return out.empty() ? std::string("host") : out;
}

// Splits "<host>.<pid>" off the end of `text`; false when it is not one.
bool SplitOwner(const std::string& text, std::string& host, pid_t& pid) {
    const size_t dot = text.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= text.size() || text.size() - dot > 11) return false;
    long value = 0;
    for (size_t i = dot + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    if (value <= 0) return false;
    host = text.substr(0, dot);
    pid = static_cast<pid_t>(value);
    return true;
}

// Whether process `pid` has ended but was not reaped yet: a worker killed
// with its run is adopted by an init that may be slow to reap it, or (in a
// container without one) never does.
bool IsZombie(pid_t pid) {
    std::FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (f == nullptr) return false;
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    // "pid (name) state ...": the name may hold spaces and parentheses.
    const char* close = read ? std::strrchr(line, ')') : nullptr;
    return close != nullptr && close[1] == ' ' && (close[2] == 'Z' || close[2] == 'X');
}

// Whether the owner "<host>.<pid>" is a process of this host that no
// longer lives. A PID that was reused since counts as alive: the leftover
// then waits for a later run, which is the safe way to be wrong.
bool OwnerIsGone(const std::string& owner) {
    std::string host;
    pid_t pid = 0;
    if (!SplitOwner(owner, host, pid) || host != HostName() || pid == getpid()) return false;
    if (kill(pid, 0) != 0) return errno == ESRCH;
    return IsZombie(pid);
}

// The owner part of a name that ends in "<sep><owner><sep2>XXXXXX", where
// XXXXXX is mkstemp's or mkdtemp's six characters.
std::string OwnerOf(const std::string& name, size_t begin, char sep) {
    if (name.size() < begin + 8 || name[name.size() - 7] != sep) return {};
    return name.substr(begin, name.size() - 7 - begin);
}

}  // namespace

std::string OwnerTag() { return HostName() + "." + std::to_string(getpid()); }

std::string MakeWorkspace() {
    std::string templ = TempFolder() + "/" + kWorkspacePrefix + OwnerTag() + "-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) return {};
    std::string ws = std::string(buf.data()) + "/tmpd";
    std::error_code ec;
    fs::create_directory(ws, ec);
    if (ec) {
        fs::remove(buf.data(), ec);
        return {};
    }
    return ws;
}

void RemoveWorkspace(const std::string& path) {
    // Guard against ever clearing a folder that is not a workspace.
    if (path.find("tmpd") == std::string::npos) return;
    std::error_code ec;
    fs::remove_all(path, ec);
    fs::path parent = fs::path(path).parent_path();
    if (parent.filename().string().rfind(kWorkspacePrefix, 0) == 0) fs::remove(parent, ec);
}

std::string MakePartialFile(const std::string& finalPath) {
    const auto slash = finalPath.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : finalPath.substr(0, slash);
    std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
    // Appended piece by piece: GCC 12 misreports the chained form at -O3.
    std::string templ = dir;
    templ.append("/.~").append(name).append(".").append(OwnerTag()).append(".XXXXXX");
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd < 0) return {};
    // mkstemp makes the file private; the document gets the permissions any
    // new file of the user would get.
    fchmod(fd, 0666 & ~CurrentUmask());
    close(fd);
    return buf.data();
}

int RemoveStalePartials(const std::string& dir) {
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(".~", 0) != 0) continue;
        // ".~<file name>.<host>.<pid>.XXXXXX": the owner is the two fields
        // before the last; the file name itself may hold dots.
        const std::string rest = OwnerOf(name, 2, '.');
        const size_t pidDot = rest.find_last_of('.');
        if (pidDot == std::string::npos || pidDot == 0) continue;
        const size_t hostDot = rest.find_last_of('.', pidDot - 1);
        if (hostDot == std::string::npos || hostDot == 0) continue;
        std::error_code rec;
        if (OwnerIsGone(rest.substr(hostDot + 1)) && it->is_regular_file(rec) && fs::remove(it->path(), rec))
            ++removed;
    }
    return removed;
}

int RemoveStaleWorkspaces() {
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(TempFolder(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kWorkspacePrefix, 0) != 0) continue;
        const std::string owner = OwnerOf(name, sizeof kWorkspacePrefix - 1, '-');
        std::error_code rec;
        if (!owner.empty() && OwnerIsGone(owner) && it->is_directory(rec) && fs::remove_all(it->path(), rec) > 0)
            ++removed;
    }
    return removed;
}

unsigned CurrentUmask() {
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned mask = 022;
        while (std::fgets(line, sizeof line, f) != nullptr) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
        }
        std::fclose(f);
        return mask;
    }
    return 022;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    return !ec;
}

}  // namespace qm
