#include "platform/files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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
    const std::string candidates[] = {ProgramFolder() + "/" + name, ProgramFolder() + "/data/" + name,
                                      std::string(QUILLMARK_DATA_DIR) + "/" + name};
    for (const auto& c : candidates)
        if (fs::is_regular_file(c, ec)) return c;
    return {};
}

std::string MakeWorkspace() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    std::string templ = base + "/quillmark-XXXXXX";
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
    if (parent.filename().string().rfind("quillmark-", 0) == 0) fs::remove(parent, ec);
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
