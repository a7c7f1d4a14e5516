// The picture loop: finding each picture's code in the page PostScript,
// making its one-page PostScript file and rendering it.
#include "images/image_extractor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <tuple>

#include "images/alpha_picture.h"
#include "images/ghostscript_session.h"
#include "images/picture_step.h"
#include "images/start_text.h"

const char* const g_strImageKeys =
    "/DeviceRGB /CIEBasedABC /DeviceGray /DeviceBasedA /CIEBasedDEF /CIEBasedDEFG /DeviceCMYK /ImageType";
const char* const g_strPagePrologue =
    "\n%%EndSetup\n%%Page: 1 1\n%%BeginPageSetup\n%%PageOrientation: Portrait\npdfStartPage\n%%EndPageSetup\n"
    "[] 0 d\n0 i\n0 j\n0 J\n10 M\n1 w\n0 g\n0 G\nq";
const char* const g_strEndOfData = "%-EOD-";
const char* const g_strPageTrailer =
    "\n%-EOD-\nQ\n[1 0 0 1 0 0] Tm\n0 0 Td\n300.75 466.5 Td\n0 g\n0 Tc\n-0.1875 Tw\n/F10_0 9.75 Tf\nshowpage\n"
    "%%PageTrailer\npdfEndPage\n%%Trailer\nend\n%%DocumentSuppliedResources:\n%%EOF";

namespace {

namespace fs = std::filesystem;
using Mat = std::array<double, 6>;
constexpr Mat kIdentity = {1, 0, 0, 1, 0, 0};

Mat Then(const Mat& a, const Mat& b) {
    return {a[0] * b[0] + a[1] * b[2],        a[0] * b[1] + a[1] * b[3],        a[2] * b[0] + a[3] * b[2],
            a[2] * b[1] + a[3] * b[3],        a[4] * b[0] + a[5] * b[2] + b[4], a[4] * b[1] + a[5] * b[3] + b[5]};
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
    char buf[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

// Numbers of a bracketed list "[a b c ...]" (brackets optional), split at
// spaces; at most `max` are read.
std::vector<double> ParseNumbers(const std::string& text, size_t max) {
    std::string s = text;
    for (char& ch : s)
        if (ch == '[' || ch == ']' || ch == '\t') ch = ' ';
    std::vector<double> out;
    const char* p = s.c_str();
    while (out.size() < max) {
        char* end = nullptr;
        double v = std::strtod(p, &end);
        if (end == p) break;
        out.push_back(v);
        p = end;
    }
    return out;
}

// Whether a line is a placement line: "[", then "]", then "cm", with
// exactly six numbers between the brackets.
bool IsPlacementLine(const std::string& line, bool checkNumbers) {
    size_t open = line.find('[');
    if (open == std::string::npos) return false;
    size_t close = line.find(']', open + 1);
    if (close == std::string::npos) return false;
    if (line.find("cm", close + 1) == std::string::npos) return false;
    if (!checkNumbers) return true;
    std::istringstream words(line.substr(open + 1, close - open - 1));
    std::string word;
    int count = 0;
    while (words >> word) {
        char* end = nullptr;
        std::strtod(word.c_str(), &end);
        if (end == word.c_str() || *end != '\0') return false;
        ++count;
    }
    return count == 6;
}

// Entries that only rounding made non-zero count as zero when the
// placement's turn is judged.
void SnapToZero(float* m) {
    float scale = std::max({std::fabs(m[0]), std::fabs(m[1]), std::fabs(m[2]), std::fabs(m[3])});
    for (int i = 0; i < 4; ++i)
        if (std::fabs(m[i]) <= scale * 1e-6f) m[i] = 0.0f * (std::signbit(m[i]) ? -1.0f : 1.0f);
}

int CaseOf(const float* m) {
    const float a = m[0], b = m[1], c = m[2], d = m[3];
    if (a == 0 && b < 0 && c > 0) return 1;
    if (a == 0 && b > 0 && c < 0) return 2;
    if (a == 0 && b > 0 && c > 0 && d == 0) return 3;
    if (a > 0 && b == 0 && c == 0 && d > 0) return 4;
    return 5;
}

struct FinalLines {
    std::string pageSize;     // before the page-size marker
    std::string orientation;  // replaces the page-orientation line
    std::string placement;    // before the image-matrix marker
};

// The lines of the case tables, and the matrices they amount to.
struct TableEntry {
    FinalLines lines;
    bool determined = true;
    int width = 0, height = 0;  // page size
    Mat orientation = kIdentity, placement = kIdentity, extra = kIdentity;
};

// A picture side in whole pixels. A damaged picture can claim any width
// (or none that is a number); beyond 2^24 pixels no renderer goes, and the
// page size must stay an int.
int PixelSide(float v) {
    constexpr float kMaxSide = 16777216.0f;
    if (v != v) return 0;
    return static_cast<int>(std::ceil(std::clamp(v, -kMaxSide, kMaxSide)));
}

TableEntry TableFor(int cs, int R, const float* cm, float fw, float fh) {
    TableEntry t;
    const int W = PixelSide(fw);
    const int H = PixelSide(fh);
    const double m0 = cm[0], m1 = cm[1], m2 = cm[2], m3 = cm[3], m4 = cm[4], m5 = cm[5];
    const bool quarter = (R == 90 || R == 270);

    // Page size.
    bool swap;
    if (cs == 1) swap = !quarter;
    else if (cs == 3) swap = false;
    else swap = quarter;
    t.width = swap ? H : W;
    t.height = swap ? W : H;
    t.lines.pageSize = Format("%d %d false pdfSetup\n", t.width, t.height);

    // Orientation.
    if (cs == 2 && quarter) {
        t.lines.orientation = Format("[0 -1 1 0  0 %g] cm\n", m1);
        t.orientation = {0, -1, 1, 0, 0, m1};
    } else if (cs == 3) {
        t.lines.orientation = Format("90 rotate\n 0 -%d translate", W);
        t.orientation = Then({1, 0, 0, 1, 0, static_cast<double>(-W)}, {0, 1, -1, 0, 0, 0});
    } else if ((cs == 4 || cs == 5) && R == 180) {
        t.lines.orientation = Format("[-1 0 0 -1 %g %g] concat\n", m0, m3);
        t.orientation = {-1, 0, 0, -1, m0, m3};
    }

    // Placement of the rendered picture.
    auto set = [&t](std::string text, Mat m) {
        t.lines.placement = std::move(text);
        t.placement = m;
    };
    switch (cs) {
        case 1:
            if (R == 90) set(Format("[0 %g %g 0 %g 0] cm\n", m3, m0, m0), {0, m3, m0, 0, m0, 0});
            else if (R == 180) set(Format("[0 %g -%g 0 %g 0] cm\n", m0, m3, m3), {0, m0, -m3, 0, m3, 0});
            else if (R == 270) set(Format("[0 %g -%g 0 0 0] cm\n", m3, m0), {0, m3, -m0, 0, 0, 0});
            else set(Format("[0 -%g %g 0 0 %g] cm\n", m0, m3, m0), {0, -m0, m3, 0, 0, m0});
            if (quarter) {
                t.lines.placement += "[0 -1 1 0 0 0] cm\n";
                t.extra = {0, -1, 1, 0, 0, 0};
            }
            break;
        case 2:
            if (R == 180) set(Format("[0 -%g %g 0 0 %g] cm\n", m1, m1, std::fabs(m2)), {0, -m1, m1, 0, 0, std::fabs(m2)});
            else if (R == 0) set(Format("[0 %g %g 0 0 0] cm\n", m1, m2), {0, m1, m2, 0, 0, 0});
            else t.determined = false;
            break;
        case 3:
            set(Format("[0 -%g %g 0 0 %g] cm\n", m0, m3, std::fabs(m0)), {0, -m0, m3, 0, 0, std::fabs(m0)});
            break;
        case 4:
        case 5:
            if (R == 90 && cs == 4) set(Format("[0 -%g %g 0 0 %g] cm\n", m0, m3, m0), {0, -m0, m3, 0, 0, m0});
            else if (R == 90) set(Format("[0 -%g -%g 0 %g %g] cm\n", m0, m3, m3, m0), {0, -m0, -m3, 0, m3, m0});
            else if (R == 180) set(Format("[%g 0 0 -%g 0 %g] cm\n", m0, m3, m3), {m0, 0, 0, -m3, 0, m3});
            else if (R == 270 && cs == 4) set(Format("[0 %g -%g 0 %g 0] cm\n", m0, m3, m3), {0, m0, -m3, 0, m3, 0});
            else if (R == 270) set(Format("[0 %g %g 0 0 0] cm\n", m0, m3), {0, m0, m3, 0, 0, 0});
            else set(Format("[%g %g %g %g %g %g] cm\n", m0, m1, m2, m3, m4, m5), {m0, m1, m2, m3, m4, m5});
            break;
    }
    return t;
}

bool Near(const Mat& a, const Mat& b, double tolerance) {
    for (int i = 0; i < 6; ++i)
        if (std::fabs(a[i] - b[i]) > tolerance) return false;
    return true;
}

// The picture as it is seen on the page: the placement's turn and mirror at
// the picture's own pixel scale, then the page rotation (clockwise, as a
// viewer shows it), moved to the origin. Returns the page size too.
Mat SeenOnPage(const float* mat, float fw, float fh, int R, double* width, double* height) {
    double ax = mat[0], ay = mat[1], bx = mat[2], by = mat[3];
    double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    Mat m = {la > 0 ? ax / la * fw : fw, la > 0 ? ay / la * fw : 0, lb > 0 ? bx / lb * fh : 0,
             lb > 0 ? by / lb * fh : fh, 0, 0};
    Mat rot = kIdentity;
    if (R == 90) rot = {0, -1, 1, 0, 0, 0};
    else if (R == 180) rot = {-1, 0, 0, -1, 0, 0};
    else if (R == 270) rot = {0, 1, -1, 0, 0, 0};
    m = Then(m, rot);
    double xs[4] = {0, m[0], m[2], m[0] + m[2]};
    double ys[4] = {0, m[1], m[3], m[1] + m[3]};
    double x0 = *std::min_element(xs, xs + 4), x1 = *std::max_element(xs, xs + 4);
    double y0 = *std::min_element(ys, ys + 4), y1 = *std::max_element(ys, ys + 4);
    m[4] = -x0;
    m[5] = -y0;
    *width = x1 - x0;
    *height = y1 - y0;
    return m;
}

}  // namespace

CImageExtractor::CImageExtractor(std::string psPath, int page, std::string device,
                                 std::vector<std::unique_ptr<CRtfShpObject>>* objects)
    : m_strPsPath(std::move(psPath)), m_nPage(page), m_strDevice(std::move(device)), m_pObjects(objects) {}

CImageExtractor::~CImageExtractor() {
    Close();
    std::free(m_pLineBuf);
}

void CImageExtractor::Close() {
    if (m_pFile != nullptr) std::fclose(m_pFile);
    m_pFile = nullptr;
}

bool CImageExtractor::ReadLine(std::string& line) {
    if (m_pFile == nullptr) return false;
    m_nLinePos = ftello(m_pFile);
    ssize_t n = getline(&m_pLineBuf, &m_nLineBufSize, m_pFile);
    if (n < 0) return false;
    while (n > 0 && (m_pLineBuf[n - 1] == '\n' || m_pLineBuf[n - 1] == '\r')) --n;
    line.assign(m_pLineBuf, static_cast<size_t>(n));
    return true;
}

void CImageExtractor::Seek(int64_t pos) {
    if (m_pFile != nullptr) fseeko(m_pFile, pos, SEEK_SET);
}

void CImageExtractor::Log(const char* text) const {
    if (m_pLog != nullptr) m_pLog->ShowMessage(text);
}

bool CImageExtractor::Stopped() const { return m_pLog != nullptr && m_pLog->Cancelled(); }

std::function<bool()> CImageExtractor::StopNow() const {
    if (m_pLog == nullptr) return {};
    IPictureLog* log = m_pLog;
    return [log] { return log->StoppedNow(); };
}

bool CImageExtractor::IsExtractionRun() const { return m_bExtraction; }

bool CImageExtractor::OpenPagePs() {
    if (m_strPsPath.empty()) return false;
    Close();
    m_pFile = std::fopen(m_strPsPath.c_str(), "rb");
    if (m_pFile == nullptr) return false;
    struct stat st;
    m_nLength = fstat(fileno(m_pFile), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    return true;
}

bool CImageExtractor::PrepareOutput() {
    std::string folder = fs::path(m_strPsPath).parent_path().string();
    if (folder.empty()) folder = ".";
    if (m_strTemplate.empty()) m_strTemplate = folder + "/starttext.ps";
    if (!WriteStartText(m_strTemplate)) return false;

    if (IsExtractionRun()) {
        m_strOutDir = m_strExtractPrefix + "-" + std::to_string(m_nPage);
    } else {
        std::string stem = m_strPsPath;
        size_t dot = stem.find_last_of('.');
        size_t slash = stem.find_last_of('/');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.erase(dot);
        m_strOutDir = stem + "-" + std::to_string(m_nPage);
    }
    std::error_code ec;
    fs::create_directories(m_strOutDir, ec);
    return fs::is_directory(m_strOutDir, ec);
}

CRtfImage* CImageExtractor::NextPicture(size_t& position) {
    if (m_pObjects == nullptr) return nullptr;
    while (position < m_pObjects->size()) {
        CRtfShpObject* obj = (*m_pObjects)[position++].get();
        if (obj != nullptr && obj->m_nKind == CRtfShpObject::kImage) return static_cast<CRtfImage*>(obj);
    }
    return nullptr;
}

bool CImageExtractor::FindNextImage(std::string& firstLine, std::string& keyword) {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> words;
        std::istringstream in(g_strImageKeys);
        std::string w;
        while (in >> w) words.push_back(w);
        return words;
    }();
    std::string line;
    for (;;) {
        std::string candidate;
        for (;;) {
            if (!ReadLine(line)) return false;
            if (IsPlacementLine(line, true)) break;
        }
        candidate = line;
        if (!ReadLine(line)) return false;
        for (int i = 0; i < 3 && line.size() < 8 && line != "<<"; ++i)
            if (!ReadLine(line)) return false;
        if (line == "<<" && !ReadLine(line)) return false;
        if (IsPlacementLine(line, false)) {
            // The nearest placement line before the picture wins.
            Seek(m_nLinePos);
            continue;
        }
        for (const auto& key : keys) {
            if (line.find(key) != std::string::npos) {
                m_strCmLine = candidate;
                keyword = key;
                firstLine = line;
                return true;
            }
        }
        // A colour space the device defined before, set by its name (the
        // picture's set-up code carries the definition).
        static const std::string kSetColourSpace = " setcolorspace";
        if (line.size() > kSetColourSpace.size() && line.find(' ') == line.size() - kSetColourSpace.size() &&
            line.compare(line.size() - kSetColourSpace.size(), kSetColourSpace.size(), kSetColourSpace) == 0) {
            m_strCmLine = candidate;
            keyword = "setcolorspace";
            firstLine = line;
            return true;
        }
    }
}

bool CImageExtractor::ParsePlacement(const std::string& text) {
    std::vector<double> v = ParseNumbers(text, 6);
    for (size_t i = 0; i < 6; ++i) m_place[i] = i < v.size() ? static_cast<float>(v[i]) : 0.0f;
    float m[6];
    std::copy(m_place, m_place + 6, m);
    SnapToZero(m);
    // Pictures turned by a quarter (a second number that is not 0) are
    // rendered turned; only a placement that is neither straight nor turned
    // by quarters (a skewed or freely rotated picture) cannot be.
    const bool straight = m[1] == 0 && m[2] == 0;
    const bool turned = m[0] == 0 && m[3] == 0;
    if (!straight && !turned) {
        m_bSkewed = 1;
        return false;
    }
    return true;
}

void CImageExtractor::ComputeOutputMatrix() {
    std::vector<double> v = ParseNumbers(m_strCmLine, 6);
    for (size_t i = 0; i < 6; ++i) m_mat[i] = i < v.size() ? static_cast<float>(v[i]) : 0.0f;
    SnapToZero(m_mat);
    // A placement turned by 90 degrees gets the same output matrix as a
    // straight one; the case tables (or the turn computed in
    // WriteFinalFile) turn the rendered picture. Left at zero it would
    // render an empty picture.
    if (m_fWidth > 0 && m_fHeight > 0) {
        m_cm[0] = m_fWidth;
        m_cm[1] = 0;
        m_cm[2] = -0.0f;
        m_cm[3] = m_fHeight;
        m_cm[4] = 0;
        m_cm[5] = 0;
    }
}

int CImageExtractor::OrientationCode() const {
    switch (CaseOf(m_mat)) {
        case 1: return 3;
        case 2: return 4;
        case 3: return 7;
        case 4: return 5;
        default: return 2;
    }
}

bool CImageExtractor::WriteFinalFile(std::FILE* workFile, std::string& finalPath) {
    finalPath = m_strOutDir + "/finalfile" + std::to_string(m_nImage) + ".ps";
    std::FILE* out = std::fopen(finalPath.c_str(), "wb");
    if (out == nullptr) return false;

    const int R = (m_nRotation == 90 || m_nRotation == 180 || m_nRotation == 270) ? m_nRotation : 0;
    const int cs = CaseOf(m_mat);
    TableEntry entry = TableFor(cs, R, m_cm, m_fWidth, m_fHeight);
    FinalLines lines = entry.lines;

    // The case tables turn or mirror some placements wrongly (and leave
    // two undetermined). Each entry is checked against the picture as it
    // is seen on the page, and where it does not give that, the turn is
    // computed instead. The rows made top-down for a placement with a
    // negative fourth number are part of the check.
    double seenW = 0, seenH = 0;
    const Mat seen = SeenOnPage(m_mat, m_fWidth, m_fHeight, R, &seenW, &seenH);
    const Mat flip = m_place[3] < 0 ? Mat{1, 0, 0, -1, 0, 1} : kIdentity;
    bool sound = entry.determined && m_fWidth > 0 && m_fHeight > 0;
    if (sound) {
        Mat total = Then(Then(flip, Then(entry.extra, entry.placement)), entry.orientation);
        double tolerance = 1e-4 * std::max<double>(1.0, std::max(m_fWidth, m_fHeight));
        sound = Near(total, seen, tolerance) && std::fabs(entry.width - seenW) < 1.0 &&
                std::fabs(entry.height - seenH) < 1.0;
    }
    if (!sound && m_fWidth > 0 && m_fHeight > 0) {
        Mat m = Then(flip, seen);  // the flip is its own inverse
        for (double& x : m)
            if (std::fabs(x) < 1e-9) x = 0;
        lines.pageSize = Format("%d %d false pdfSetup\n", static_cast<int>(std::lround(seenW)),
                                static_cast<int>(std::lround(seenH)));
        lines.orientation.clear();
        lines.placement = Format("[%g %g %g %g %g %g] cm\n", m[0], m[1], m[2], m[3], m[4], m[5]);
    }

    std::fseek(workFile, 0, SEEK_SET);
    char* buf = nullptr;
    size_t size = 0;
    ssize_t n;
    bool ok = true;
    bool markersDone = false;
    while ((n = getline(&buf, &size, workFile)) >= 0) {
        std::string line(buf, static_cast<size_t>(n));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (!markersDone) {
            if (line.find("%%PageSizeTag") != std::string::npos) {
                std::fputs(lines.pageSize.c_str(), out);
            } else if (line.find("%%PageOrientation:") != std::string::npos) {
                line = lines.orientation;
            } else if (line.find("%%ImageMatrixTag1") != std::string::npos) {
                std::fputs(lines.placement.c_str(), out);
                // Only picture data follows; its bytes are not searched.
                markersDone = true;
            }
        }
        line += '\n';
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size()) ok = false;
    }
    std::free(buf);
    if (std::fclose(out) != 0) ok = false;
    return ok;
}

void CImageExtractor::Reset() {
    m_bSkewed = 0;
    m_fWidth = m_fHeight = 0;
    std::fill(m_place, m_place + 6, 0.0f);
    std::fill(m_cm, m_cm + 6, 0.0f);
    std::fill(m_mat, m_mat + 6, 0.0f);
    m_strImageMatrix.clear();
    m_strCmLine.clear();
    m_strImagePath.clear();
}

namespace {

// Private names in the raster file's own folder: a picture file is renamed
// into place only once Ghostscript has made it whole, so an interrupted or
// failed render never leaves a partial picture under its real name.
std::string PartialName(const std::string& outputPath) {
    const size_t slash = outputPath.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : outputPath.substr(0, slash);
    const std::string name = slash == std::string::npos ? outputPath : outputPath.substr(slash + 1);
    return dir + "/.~" + name + "." + std::to_string(getpid()) + ".part";
}

bool NonEmpty(const std::string& path) {
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    return !ec && size > 0;
}

// Where the final files are copied before they are deleted, for timing
// Ghostscript on the same files (QUILLMARK_KEEP_PICTURE_PS); empty for none.
std::string KeepFolder() {
    const char* dir = std::getenv("QUILLMARK_KEEP_PICTURE_PS");
    return dir != nullptr ? dir : "";
}

}  // namespace

bool CImageExtractor::RenderWithGhostscript(const std::string& outputPath, const std::string& inputPath) {
    std::error_code ec;
    fs::remove(outputPath, ec);
    const std::string partial = PartialName(outputPath);
    int exitCode = -1;
    RenderStatus status = RunAndWaitFor(GhostscriptArguments(m_strDevice, partial, inputPath), GhostscriptTimeout(),
                                        &exitCode, StopNow());
    bool ok = false;
    if (status == RenderStatus::kStopped) {
        m_bRenderStopped = true;
    } else if (status == RenderStatus::kNoProgram) {
        m_bNoRenderer = true;
    } else if (status == RenderStatus::kTimedOut) {
        m_bRendererTimedOut = true;
    } else if (exitCode == 0 && NonEmpty(partial)) {
        // A render that failed, or wrote nothing, is a failed picture: what
        // it left may be cut short.
        fs::rename(partial, outputPath, ec);
        ok = !ec;
    } else {
        m_bRenderFailed = true;
    }
    fs::remove(partial, ec);
    return ok;
}

void CImageExtractor::RenderFinished(std::vector<Finished>& pictures) {
    std::vector<Finished*> queue;
    for (Finished& f : pictures)
        if (f.render) queue.push_back(&f);
    std::error_code ec;
    const std::string keep = KeepFolder();
    if (!keep.empty()) {
        fs::create_directories(keep, ec);
        for (Finished* f : queue) {
            char name[32];
            std::snprintf(name, sizeof name, "/%06d.ps", ++m_nKeptFiles);
            fs::copy_file(f->finalPath, keep + name, fs::copy_options::overwrite_existing, ec);
        }
    }

    if (m_pSession != nullptr && m_pSession->Usable() && m_pSession->Device() == m_strDevice) {
        for (Finished* f : queue) {
            if (m_bNoRenderer || m_bRenderStopped) break;
            fs::remove(f->raster, ec);
            switch (m_pSession->Render(f->finalPath, f->raster)) {
                case CGhostscriptSession::Result::kOk:
                    f->ok = true;
                    break;
                case CGhostscriptSession::Result::kStopped:
                    m_bRenderStopped = true;
                    break;
                case CGhostscriptSession::Result::kTimedOut:
                    // Killed at the time-out: a failed picture, as on its own.
                    m_bRendererTimedOut = true;
                    break;
                case CGhostscriptSession::Result::kUnavailable:
                    f->ok = RenderWithGhostscript(f->raster, f->finalPath);
                    break;
            }
        }
        for (Finished* f : queue) fs::remove(f->finalPath, ec);
        return;
    }

    // One Ghostscript run for all of the page's pictures spares a start-up
    // per picture. Its n-th page is the n-th file, so the run only counts
    // when it ended well and made every page; otherwise its pages are
    // dropped and each file is rendered on its own, as a failure in one
    // file stops the run for the files after it.
    bool batched = false;
    if (queue.size() >= 2) {
        const std::string tag = ".~qm-render-" + std::to_string(getpid()) + "-";
        const std::string ext = "." + DeviceExtension(m_strDevice);
        std::vector<std::string> inputs;
        for (Finished* f : queue) {
            fs::remove(f->raster, ec);
            inputs.push_back(f->finalPath);
        }
        auto partialOf = [&](size_t i) { return m_strOutDir + "/" + tag + std::to_string(i + 1) + ext; };
        int exitCode = -1;
        const RenderStatus status =
            RunAndWaitFor(GhostscriptBatchArguments(m_strDevice, m_strOutDir, tag + "%d" + ext, inputs),
                          GhostscriptTimeout() * static_cast<double>(queue.size()), &exitCode, StopNow());
        if (status == RenderStatus::kStopped) {
            m_bRenderStopped = true;
            batched = true;
        } else if (status == RenderStatus::kNoProgram) {
            m_bNoRenderer = true;
            batched = true;
        } else if (status == RenderStatus::kOk && exitCode == 0) {
            batched = true;
            for (size_t i = 0; i < queue.size(); ++i) batched = batched && NonEmpty(partialOf(i));
            if (!fs::exists(partialOf(queue.size()), ec)) {
                for (size_t i = 0; batched && i < queue.size(); ++i) {
                    fs::rename(partialOf(i), queue[i]->raster, ec);
                    queue[i]->ok = !ec;
                }
            } else {
                batched = false;  // more pages than files: none can be trusted
            }
        }
        for (size_t i = 0; i <= queue.size(); ++i) fs::remove(partialOf(i), ec);
        fs::remove(m_strOutDir + "/" + tag + "%d" + ext, ec);
    }
    if (!batched) {
        for (Finished* f : queue) {
            // Without a renderer the other pictures would fail the same way.
            if (m_bNoRenderer || m_bRenderStopped) break;
            f->ok = RenderWithGhostscript(f->raster, f->finalPath);
        }
    }
    for (Finished* f : queue) fs::remove(f->finalPath, ec);
}

bool CImageExtractor::RenderWithAlpha(const std::string& finalPath, const std::vector<unsigned char>& alpha,
                                      int width, int height, const std::string& raster) {
    if (m_bNoRenderer || m_bRenderStopped) return false;
    std::error_code ec;
    const std::string partial = PartialName(raster);
    const std::string coveragePs = partial + ".coverage.ps";
    const std::string colourPnm = partial + ".ppm";
    const std::string coveragePnm = partial + ".pgm";
    bool ok = WriteCoverageFile(finalPath, alpha, width, height, coveragePs);
    // Both renders go through the single-file run: the conversion's
    // Ghostscript process renders with the extraction's own device.
    for (const auto& [device, input, output] :
         {std::tuple<const char*, const std::string&, const std::string&>{"ppmraw", finalPath, colourPnm},
          {"pgmraw", coveragePs, coveragePnm}}) {
        if (!ok) break;
        int exitCode = -1;
        const RenderStatus status =
            RunAndWaitFor(GhostscriptArguments(device, output, input), GhostscriptTimeout(), &exitCode, StopNow());
        if (status == RenderStatus::kStopped) m_bRenderStopped = true;
        else if (status == RenderStatus::kNoProgram) m_bNoRenderer = true;
        else if (status == RenderStatus::kTimedOut) m_bRendererTimedOut = true;
        else if (exitCode != 0 || !NonEmpty(output)) m_bRenderFailed = true;
        ok = status == RenderStatus::kOk && exitCode == 0 && NonEmpty(output);
    }
    CRaster colour, coverage;
    ok = ok && ReadPnm(colourPnm, colour) && ReadPnm(coveragePnm, coverage) &&
         WriteAlphaPicture(partial, DeviceExtension(m_strDevice) == "tiff", colour, coverage);
    if (ok) {
        fs::rename(partial, raster, ec);
        ok = !ec;
    }
    if (!ok && !m_bRenderStopped && !m_bNoRenderer && !m_bRendererTimedOut) m_bRenderFailed = true;
    for (const std::string& path : {partial, coveragePs, colourPnm, coveragePnm}) fs::remove(path, ec);
    return ok;
}

bool CImageExtractor::WritePictureFile(CRtfImage* picture, const std::string& firstLine, const std::string& keyword) {
    if (m_strTemplateText.empty()) {
        std::FILE* t = std::fopen(m_strTemplate.c_str(), "rb");
        if (t == nullptr) return false;
        char chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, t)) > 0) m_strTemplateText.append(chunk, n);
        std::fclose(t);
        if (m_strTemplateText.empty()) return false;
    }
    const std::string workPath = m_strOutDir + "/newfile" + std::to_string(m_nImage) + ".ps";
    std::FILE* work = std::fopen(workPath.c_str(), "w+b");
    if (work == nullptr) return false;

    std::string head = m_strTemplateText;
    head += g_strPagePrologue;
    head += '\n';
    if (!picture->m_strCmLine.empty()) head += picture->m_strCmLine;
    head += "%%ImageMatrixTag1\n";
    if (keyword == "/ImageType") head += "<<\n";
    bool ok = std::fwrite(head.data(), 1, head.size(), work) == head.size();

    std::string line = firstLine;
    bool first = true;
    for (;;) {
        if (!first && !ReadLine(line)) break;
        first = false;
        if (line == g_strEndOfData) break;
        if (line.find("/Width") != std::string::npos) {
            m_fWidth = static_cast<float>(std::atof(line.c_str() + line.find("/Width") + 6));
        } else if (line.find("/Height") != std::string::npos) {
            m_fHeight = static_cast<float>(std::atof(line.c_str() + line.find("/Height") + 7));
        } else if (line.find("/ImageMatrix") != std::string::npos) {
            std::string value = line.substr(line.find("/ImageMatrix") + 12);
            value.erase(0, value.find_first_not_of(' '));
            m_strImageMatrix = value;
            if (m_place[3] >= 0) {
                line = "/ImageMatrix " + value;
            } else {
                // The placement turns the rows upside down: the picture's
                // rows are turned top-down and the vertical offset dropped.
                std::vector<double> w = ParseNumbers(value, 6);
                w.resize(6, 0);
                line = Format("/ImageMatrix [%d %d %d %d %d %d]", static_cast<int>(w[0]), static_cast<int>(w[1]),
                              static_cast<int>(w[2]), std::abs(static_cast<int>(w[3])), static_cast<int>(w[4]), 0);
            }
        }
        line += '\n';
        if (std::fwrite(line.data(), 1, line.size(), work) != line.size()) ok = false;
    }
    const size_t trailerLength = std::strlen(g_strPageTrailer);
    if (std::fwrite(g_strPageTrailer, 1, trailerLength, work) != trailerLength) ok = false;
    if (std::fflush(work) != 0) ok = false;

    bool result = false;
    if (ok) {
        ComputeOutputMatrix();
        std::string finalPath;
        if (WriteFinalFile(work, finalPath)) {
            const std::string raster =
                m_strOutDir + "/imagefile" + std::to_string(m_nImage) + "." + DeviceExtension(m_strDevice);
            Log(Format("Processing #%d page...(Filtering image #%d)", m_nPage, m_nImage).c_str());
            m_strImagePath = raster;
            result = true;
            std::error_code ec;
            if (m_bRemoveImages) {
                fs::remove(finalPath, ec);
            } else {
                // Rendered with the page's other pictures.
                m_strFinalPath = finalPath;
            }
        }
    }
    std::fclose(work);
    std::error_code ec;
    fs::remove(workPath, ec);
    return result;
}

PictureResult CImageExtractor::ExtractPagePictures(bool keepGoing) {
    if (m_pObjects == nullptr ||
        std::none_of(m_pObjects->begin(), m_pObjects->end(),
                     [](const auto& o) { return o && o->m_nKind == CRtfShpObject::kImage; }))
        return PictureResult::kOk;
    if (!OpenPagePs()) return PictureResult::kOk;
    if (!PrepareOutput()) {
        Close();
        return PictureResult::kOk;
    }
    PictureResult result = PictureResult::kOk;
    size_t position = 0;
    std::vector<Finished> finished;
    while (!Stopped()) {
        CRtfImage* picture = NextPicture(position);
        if (picture == nullptr) break;
        // The device recorded where the picture's code lies; starting there
        // keeps pictures and records together even when some code in the
        // file is not found or looks like a picture without being one.
        if (picture->m_nPsStart >= 0) Seek(picture->m_nPsStart);
        std::string firstLine, keyword;
        if (!FindNextImage(firstLine, keyword)) {
            if (picture->m_nPsStart >= 0) {
                Reset();
                continue;
            }
            Close();
            break;
        }
        if (picture->m_nPsEnd >= 0 && m_nLinePos >= picture->m_nPsEnd) {
            Log(Format("Picture of page %d left out: its code was not recognised.", m_nPage).c_str());
            Reset();
            continue;
        }
        if (!ParsePlacement(picture->m_strImageMatrix.empty() ? m_strCmLine : picture->m_strImageMatrix)) {
            // Only this picture is left out; the page's later pictures
            // still get their files.
            Log(Format("Picture of page %d left out: its placement %s is skewed.", m_nPage,
                       picture->m_strImageMatrix.empty() ? m_strCmLine.c_str() : picture->m_strImageMatrix.c_str())
                    .c_str());
            result = PictureResult::kPlacementNotSupported;
            Reset();
            continue;
        }
        ++m_nImage;
        picture->SetPlaceOrigin(m_place[4], m_place[5]);
        m_strFinalPath.clear();
        if (WritePictureFile(picture, firstLine, keyword)) {
            Finished f;
            f.picture = picture;
            std::copy(m_place, m_place + 6, f.place);
            std::copy(m_cm, m_cm + 6, f.cm);
            f.orientation = OrientationCode();
            f.raster = m_strImagePath;
            f.finalPath = m_strFinalPath;
            f.render = !m_strFinalPath.empty();
            f.ok = !f.render;
            if (f.render && IsExtractionRun() && !picture->m_alpha.empty() && DeviceKeepsAlpha(m_strDevice)) {
                f.ok = RenderWithAlpha(m_strFinalPath, picture->m_alpha, PixelSide(m_fWidth), PixelSide(m_fHeight),
                                       f.raster);
                f.render = false;
                std::error_code ec;
                fs::remove(m_strFinalPath, ec);
            }
            finished.push_back(std::move(f));
        }
        Reset();
    }
    RenderFinished(finished);
    const bool extraction = IsExtractionRun();
    for (const Finished& f : finished) {
        if (!f.ok) continue;
        CRtfImage* picture = f.picture;
        if (!extraction) picture->SetImageFile(f.raster, keepGoing);
        if (extraction || !keepGoing) {
            picture->SetPlace(f.place[0], f.place[1], f.place[2], f.place[3]);
            picture->m_n1 = m_nPage;
            picture->m_n2 = f.orientation;
            picture->m_n3 = m_nRotation;
            if (m_nRotation == 90 || m_nRotation == 180 || m_nRotation == 270) {
                picture->m_d1 = f.place[4];
                picture->m_d2 = f.place[5];
            } else if (f.place[0] >= 0) {
                picture->m_d1 = f.place[4] - f.cm[4];
                picture->m_d2 = f.place[5] + f.cm[5];
            }
        }
    }
    if (Stopped()) Close();
    return result;
}
