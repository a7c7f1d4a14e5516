#include "control/convert_doc.h"

#include <ErrorCodes.h>
#include <GlobalParams.h>
#include <Outline.h>
#include <PDFDoc.h>

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <system_error>

#include "control/rtf_document.h"
#include "export/word_output.h"
#include "extract/html_output_dev.h"
#include "extract/metadata.h"
#include "platform/files.h"
#include "platform/pdf_core.h"
#include "platform/registry.h"

// A picture run passes the picture step's result of its last page on.
static_assert(static_cast<int>(PictureResult::kNoRenderer) == static_cast<int>(ConvertResult::kNoRenderer));
static_assert(static_cast<int>(PictureResult::kPlacementNotSupported) ==
              static_cast<int>(ConvertResult::kPictureLeftOut));

namespace {

// A picture of a scanned page that covers this share of the page is the
// scan itself rather than a figure on it.
constexpr double kScanShareOfPage = 0.5;

std::string FileNameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithRootClose(const std::string& path);

std::string BaseNameOf(const std::string& path) {
    std::string name = FileNameOf(path);
    auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The job's output folder as the conversion names its files in it.
std::string OutputFolder(const CConvertPara* job) {
    std::string dir = job->m_strOutDir;
    if (dir.empty()) dir.assign(1, '.');  // assign(): GCC 12 misreports `= "."` at -O3
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}
}  // namespace

CConvertDoc::CConvertDoc(CConvertPara* job, const std::string& source) : m_pJob(job), m_strSource(source) {
    // A private workspace per conversion; the program's folder is not
    // writable once installed and two runs must never share one.
    m_strWorkspace = qm::MakeWorkspace();
    m_bOwnsWorkspace = !m_strWorkspace.empty();
    m_strBaseName = BaseNameOf(source);

    m_strOutDir = OutputFolderFor(job, source);
    // A missing output folder is made rather than failing the file.
    std::error_code ec;
    std::filesystem::create_directories(m_strOutDir, ec);
    m_bOutDirOk = std::filesystem::is_directory(m_strOutDir, ec);

    if (m_bOwnsWorkspace) m_bCopied = qm::CopyFile(source, m_strWorkspace + "/" + m_strBaseName + ".pdf");
    m_strXmlPath = m_strWorkspace + "/" + m_strBaseName + ".xml";
    m_strRtfPath = m_strOutDir + "/" + m_strBaseName + ".rtf";

    // Read once per conversion, so that a settings change shows in the next.
    m_layout.m_strFontFolder = qm::ReadRegistryString(job->m_strFontKey, "DLL_FONT");
    m_layout.m_bRemoveImages = job->m_nRemoveImages != 0;
    m_layout.m_bPreserveSpacing = job->m_bPreserveSpacing;
}

CConvertDoc::CConvertDoc(const std::string& pdfPath) {
    auto slash = pdfPath.find_last_of('/');
    m_strWorkspace = slash == std::string::npos ? "." : pdfPath.substr(0, slash);
    m_strBaseName = BaseNameOf(pdfPath);
}

CConvertDoc::~CConvertDoc() {
    // Ghostscript ends before its folder in the workspace goes.
    m_pPictures.reset();
    ClosePdf();
    if (m_bOwnsWorkspace) ClearWorkspace();
}

void CConvertDoc::ShowMessage(const char* text) { m_pJob->ShowMessage(text); }
void CConvertDoc::ShowWarning(const char* text) { m_pJob->ShowWarning(text); }
bool CConvertDoc::Cancelled() const { return m_pJob->m_nCancel != 0; }
bool CConvertDoc::StoppedNow() const { return m_pJob->m_nCancel >= kCancelNow; }

CPagePictures CConvertDoc::ImagesForPage(int page, int zero, const std::string& device) {
    if (!m_pPdf || m_pJob == nullptr) return {};
    if (!m_pPictures) {
        CPictureRequest request;
        request.m_strWorkspace = m_strWorkspace;
        request.m_strBaseName = m_strBaseName;
        request.m_strOutDir = m_strOutDir;
        request.m_bExtraction = m_pJob->m_nKind == kRunExtractImages;
        request.m_bRemoveImages = m_pJob->m_nRemoveImages != 0;
        IPictureLog* log = this;
        m_pPictures = std::make_unique<CPictureStep>(std::move(request), log);
    }
    CPagePictures pictures = m_pPictures->ImagesForPage(m_pPdf.get(), page, zero, device);
    if (page >= 1 && page <= m_pPdf->getNumPages()) m_nRotation = pictures.m_nRotation;
    return pictures;
}

void CConvertDoc::ClearWorkspace() { qm::RemoveWorkspace(m_strWorkspace); }

void CConvertDoc::ClosePdf() { m_pPdf.reset(); }

PDFDoc* CConvertDoc::OpenPdf(const char* ownerPassword) {
    if (!globalParams) return nullptr;
    ClosePdf();
    std::string path = m_strWorkspace + "/" + m_strBaseName + ".pdf";
    std::optional<GooString> owner;
    std::optional<GooString> user;
    if (ownerPassword != nullptr) owner = GooString(ownerPassword);
    const std::string password = m_pJob != nullptr ? m_pJob->PasswordFor(m_strSource) : m_strQueryPassword;
    if (!password.empty()) user = GooString(password);
    // Poppler rebuilds a damaged cross-reference table without a word on
    // its error channel; the rebuilt document may lack objects, so the user
    // hears of it (once per file).
    auto rebuilt = [this] {
        if (m_pJob == nullptr || m_bRebuiltReported) return;
        m_bRebuiltReported = true;
        m_pJob->ShowWarning("the PDF is damaged (its cross-reference table was rebuilt); check the document for "
                            "missing parts.");
    };
    auto doc = std::make_unique<PDFDoc>(std::make_unique<GooString>(path), owner, user, nullptr, rebuilt);
    if (!doc->isOk()) {
        m_nPdfError = doc->getErrorCode();
        return nullptr;
    }
    m_pPdf = std::move(doc);
    return m_pPdf.get();
}

int CConvertDoc::PageCount(const std::string& pdfPath, const std::string& password, bool* locked) {
    CConvertDoc query(pdfPath);
    query.m_strQueryPassword = password;
    qm::CPdfCoreSettings settings;
    globalParams->setErrQuiet(false);
    globalParams->setTextEncoding("Latin1");
    int count = 0;
    if (query.OpenPdf(nullptr) != nullptr) count = query.m_pPdf->getNumPages();
    if (locked != nullptr) *locked = query.m_nPdfError == errEncrypted;
    query.ClosePdf();
    return count;
}

std::string CConvertDoc::OutputFolderOf(const CConvertPara* job) { return OutputFolder(job); }

bool CConvertDoc::RelativeFolderUnder(const std::string& root, const std::string& source, std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::absolute(fs::path(root), ec).lexically_normal();
    if (ec) return false;
    const fs::path file = fs::absolute(fs::path(source), ec).lexically_normal();
    if (ec) return false;
    const fs::path rel = file.lexically_relative(base);
    // Empty: not comparable; "." : the root itself, which is no file below it.
    if (rel.empty() || rel == "." || *rel.begin() == "..") return false;
    folder = rel.parent_path().string();
    return true;
}

std::string CConvertDoc::OutputFolderFor(const CConvertPara* job, const std::string& source) {
    std::string dir = OutputFolder(job);
    std::string folder;
    // A source outside the root keeps the flat name; the command line
    // refuses such a run before it starts, and the name-collision check
    // still keeps it from replacing another file's output.
    if (!job->m_strMirrorRoot.empty() && RelativeFolderUnder(job->m_strMirrorRoot, source, folder) && !folder.empty())
        dir += "/" + folder;
    return dir;
}

std::string CConvertDoc::TargetFor(const CConvertPara* job, const std::string& source) {
    const std::string stem = OutputFolderFor(job, source) + "/" + BaseNameOf(source);
    return job->m_nKind == kRunExtractImages ? stem : stem + ".rtf";
}

std::string CConvertDoc::FinalOutputFor(const CConvertPara* job, const std::string& source) {
    if (job->m_nKind == kRunExtractImages) return {};
    const std::string rtf = TargetFor(job, source);
    if (job->m_nOutputFormat == 0) return rtf;
    return WordDocumentPath(rtf);
}

CFileOutcome CConvertDoc::Convert(CConvertPara* job, const std::string& source) {
    CConvertDoc conv(job, source);
    CFileOutcome outcome;
    outcome.m_strSource = source;
    outcome.m_strTarget = job->m_nKind == kRunExtractImages ? conv.m_strOutDir + "/" + conv.m_strBaseName
                                                            : conv.m_strRtfPath;
    outcome.m_result = conv.Run();
    outcome.m_nPdfError = conv.m_nPdfError;
    outcome.m_bAbandoned = job->m_nCancel >= kCancelNow && !conv.m_bFinished;
    outcome.m_bPagesLeft = conv.m_bPagesLeft;
    outcome.m_nPages = conv.m_nPagesDone;
    return outcome;
}

CFileOutcome CConvertDoc::WritePageXml(CConvertPara* job, const std::string& source, const std::string& xmlPath) {
    CConvertDoc conv(job, source);
    CFileOutcome outcome;
    outcome.m_strSource = source;
    outcome.m_strTarget = xmlPath;
    {
        qm::CPdfCoreSettings settings;
        outcome.m_result = conv.ExtractText(1, -1, "jpeg");
    }
    if (outcome.m_result == ConvertResult::kOk && !qm::CopyFile(conv.m_strXmlPath, xmlPath))
        outcome.m_result = ConvertResult::kOutputFailed;
    outcome.m_nPdfError = conv.m_nPdfError;
    return outcome;
}

ConvertResult CConvertDoc::Run() {
    // A copy that failed on a readable source means the temporary folder
    // cannot take the file (a full disk): say so rather than blame the PDF
    // for the truncated copy.
    if (m_bOwnsWorkspace && !m_bCopied && access(m_strSource.c_str(), R_OK) == 0) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(m_strSource, ec)) return ConvertResult::kWorkspaceFailed;
    }
    // Without its output folder a run could only fail later, or, picture by
    // picture, silently.
    if (!m_bOutDirOk) return ConvertResult::kOutputFailed;
    qm::CPdfCoreSettings settings;
    ConvertResult result = ConvertResult::kOk;
    switch (m_pJob->m_nKind) {
        case kRunFlowing:
        case kRunExact:
        case kRunNoImages:
        case kRunPlainText:
            result = ExtractText(m_nFirstPage, m_nLastPage, "jpeg");
            // A PDF that does not open fails below with its own code; only a
            // page XML document that could not be written stops here.
            if (result != ConvertResult::kWorkspaceFailed)
                result = ConvertPages(m_pJob->m_nKind == kRunFlowing || m_pJob->m_nKind == kRunExact);
            break;
        case kRunExtractImages:
            result = ExtractImages();
            break;
        default:
            break;
    }
    ClosePdf();
    return result;
}

ConvertResult CConvertDoc::ExtractText(int, int, const std::string& device) {
    m_pJob->ShowMessage("Reading text content from pdf started.");
    globalParams->setErrQuiet(false);
    globalParams->setTextEncoding("Latin1");
    PDFDoc* doc = OpenPdf(nullptr);
    if (doc == nullptr) return ConvertResult::kPdfFailed;

    DocMetadata meta = ReadDocMetadata(doc);

    // Names background images of the web-page forms of the device, which
    // this program never writes; kept so the device is set up as designed.
    std::string ext = "png";
    for (const char* e : {"png", "jpeg", "bmp", "pcx", "tiff", "pbm"}) {
        if (device.find(e) != std::string::npos) {
            ext = e;
            break;
        }
    }

    Outline* outline = doc->getOutline();
    bool hasOutline = outline != nullptr && outline->getItems() != nullptr && !outline->getItems()->empty();
    {
        HtmlOutputDev dev(m_strWorkspace + "/" + m_strBaseName, meta.title, meta.author, meta.keywords,
                          meta.subject, meta.date, ext, true, 1, hasOutline);
        if (dev.isOk()) {
            int n = doc->getNumPages();
            m_nLastPage = n;
            m_fZoom = 1.5;
            // A second interrupt abandons the reading at once.
            auto abort = [](void* data) { return static_cast<CConvertPara*>(data)->m_nCancel >= kCancelNow; };
            doc->displayPages(&dev, 1, n, 72 * m_fZoom, 72 * m_fZoom, 0, true, true, true, abort, m_pJob);
            m_hiddenTextPages = dev.HiddenTextPages();
        }
    }
    ClosePdf();
    // The device does not report failed writes; a document that does not
    // end with its closing line was cut short (a full disk), and reading it
    // would only lose pages silently.
    if (!EndsWithRootClose(m_strXmlPath)) return ConvertResult::kWorkspaceFailed;
    return ConvertResult::kOk;
}

int CConvertDoc::ProgressFor(int page) const {
    // The divisor is 0 for a one-page range; the bar then stays at 0.
    double p = static_cast<double>(page) / static_cast<double>(m_nLastPage - m_nFirstPage) * 100.0;
    if (!std::isfinite(p) || p >= 2147483648.0 || p < -2147483648.0) return INT_MIN;
    return static_cast<int>(p);
}

namespace {
bool EndsWithRootClose(const std::string& path) {
    static const char kClose[] = "</pdf2xml>\n";
    const size_t n = sizeof kClose - 1;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    char tail[sizeof kClose] = {};
    bool ok = std::fseek(f, -static_cast<long>(n), SEEK_END) == 0 && std::fread(tail, 1, n, f) == n &&
              std::memcmp(tail, kClose, n) == 0;
    std::fclose(f);
    return ok;
}

}  // namespace

void CConvertDoc::WarnIfPageTooLarge(int page) {
    if (!m_pPdf || page < 1 || page > m_pPdf->getNumPages()) return;
    // A document page ends at 2375 units (22 inches); text beyond that edge
    // of a larger PDF page is not placed, and the user must hear of it.
    const double w = m_pPdf->getPageMediaWidth(page) * m_fZoom;
    const double h = m_pPdf->getPageMediaHeight(page) * m_fZoom;
    if (w <= kMaxPageExtent && h <= kMaxPageExtent) return;
    char line[160];
    std::snprintf(line, sizeof line,
                  "Page %d is %.0f x %.0f inches, larger than a document page can be (22 inches); what lies "
                  "beyond 22 inches is left out.",
                  page, w / 108.0, h / 108.0);
    m_pJob->ShowWarning(line);
}

void CConvertDoc::DropScanPictures(int page, CPagePictures& pictures) const {
    if (!m_pPdf || !std::binary_search(m_hiddenTextPages.begin(), m_hiddenTextPages.end(), page)) return;
    // Placements are in points on the unrotated page, like the media box.
    const double pageArea = m_pPdf->getPageMediaWidth(page) * m_pPdf->getPageMediaHeight(page);
    std::erase_if(pictures.m_objects, [pageArea](const std::unique_ptr<CRtfShpObject>& object) {
        const auto* image = object->m_nKind == CRtfShpObject::kImage ? static_cast<const CRtfImage*>(object.get())
                                                                     : nullptr;
        if (image == nullptr) return false;
        const double area = std::fabs(image->m_place[0] * image->m_place[3] - image->m_place[1] * image->m_place[2]);
        return area >= kScanShareOfPage * pageArea;
    });
}

ConvertResult CConvertDoc::ConvertPages(bool withImages) {
    CConvertPara* job = m_pJob;
    if (OpenPdf(nullptr) == nullptr) return ConvertResult::kPdfFailed;
    // An empty document would only replace the user's file with nothing.
    if (m_pPdf->getNumPages() <= 0) return ConvertResult::kNoPages;
    // So would a range beyond the last page, reported as converted.
    if (!job->AnyPageSelected(m_pPdf->getNumPages())) return ConvertResult::kNoPageSelected;
    // Links into the document lead only to pages it holds.
    m_layout.m_pagesWritten.clear();
    for (int32_t page = 1; page <= m_pPdf->getNumPages(); ++page)
        if (job->IsPageSelected(page)) m_layout.m_pagesWritten.insert(page);
    if (static_cast<int32_t>(m_layout.m_pagesWritten.size()) == m_pPdf->getNumPages()) m_layout.m_pagesWritten.clear();
    // The document is written under a private name in the output folder
    // and renamed over the final name only once it is complete, so a failed
    // or stopped conversion never destroys an existing document and no
    // reader sees half a file.
    const std::string partial = qm::MakePartialFile(m_strRtfPath);
    if (partial.empty()) return ConvertResult::kOutputFailed;
    std::unique_ptr<CRtfDocument> doc = CRtfDocument::CreateDocument(m_strXmlPath, partial, &m_layout);
    if (!doc) {
        std::remove(partial.c_str());
        return ConvertResult::kPdfFailed;
    }
    if (!doc->OpenOutput()) {
        doc.reset();
        std::remove(partial.c_str());
        return ConvertResult::kOutputFailed;
    }
    doc->SetLayout(job->m_nKind);

    std::string target = m_strOutDir + "/" + m_strBaseName + (job->m_nOutputFormat ? ".doc" : ".rtf");
    job->FileStarted(m_strSource, target);

    ConvertResult result = ConvertResult::kOk;
    char line[64];
    for (m_nCurPage = m_nFirstPage; job->m_nCancel == 0 && m_nCurPage <= m_nLastPage; ++m_nCurPage) {
        const int page = m_nCurPage;
        if (job->IsPageSelected(page)) {
            std::snprintf(line, sizeof line, "Conversion of <%u> page started.", static_cast<unsigned>(page));
            job->ShowMessage(line);
            job->ShowProgress(ProgressFor(page));
            WarnIfPageTooLarge(page);
            CPagePictures pictures;
            if (withImages) {
                m_nRotation = 0;
                pictures = ImagesForPage(page, 0, job->m_strDevice);
                if (!job->m_bKeepScans) DropScanPictures(page, pictures);
            }
            if (!doc->BeginPage(page)) {
                result = ConvertResult::kPageFailed;
                break;
            }
            if (withImages) {
                doc->AddImages(pictures.m_objects);
                for (const CDenseRegion& region : doc->DenseRegions())
                    doc->AddDrawing(m_pPictures ? m_pPictures->DrawingPicture(m_pPdf.get(), page, region) : nullptr);
            }
            doc->EndPage((page == m_nFirstPage ? 1 : 0) | (page == m_nLastPage ? 2 : 0));
            ++m_nPagesDone;
        }
    }
    m_bPagesLeft = result == ConvertResult::kOk && SelectedPagesLeft();
    // Closing writes the closing brace; a failed write of any page shows here.
    const bool written = doc->Close();
    doc.reset();
    ClosePdf();

    // A cancelled document keeps the pages finished so far; a stop at once
    // (a second interrupt) or a failure keeps nothing.
    if (result == ConvertResult::kOk && !written) result = ConvertResult::kOutputFailed;
    if (result == ConvertResult::kOk && job->m_nCancel < kCancelNow) {
        if (std::rename(partial.c_str(), m_strRtfPath.c_str()) != 0) result = ConvertResult::kOutputFailed;
        else m_bFinished = true;
    }
    std::remove(partial.c_str());
    return result;
}

bool CConvertDoc::SelectedPagesLeft() const {
    for (int32_t page = m_nCurPage; page <= m_nLastPage; ++page)
        if (m_pJob->IsPageSelected(page)) return true;
    return false;
}

ConvertResult CConvertDoc::ExtractImages() {
    CConvertPara* job = m_pJob;
    // The page count comes from the workspace copy.
    {
        globalParams->setErrQuiet(false);
        globalParams->setTextEncoding("Latin1");
        if (OpenPdf(nullptr) == nullptr) return ConvertResult::kPdfFailed;
        m_nLastPage = m_pPdf->getNumPages();
        if (m_nLastPage <= 0) return ConvertResult::kNoPages;
        if (!job->AnyPageSelected(m_nLastPage)) return ConvertResult::kNoPageSelected;
    }
    job->FileStarted(m_strSource, m_strOutDir);
    PictureResult r = PictureResult::kOk;
    bool noRenderer = false;
    char line[64];
    for (m_nCurPage = m_nFirstPage; job->m_nCancel == 0 && m_nCurPage <= m_nLastPage; ++m_nCurPage) {
        const int page = m_nCurPage;
        if (!job->IsPageSelected(page)) continue;
        std::snprintf(line, sizeof line, "Conversion of <%u> page started.", static_cast<unsigned>(page));
        job->ShowMessage(line);
        job->ShowProgress(ProgressFor(page));
        r = ImagesForPage(page, 0, job->m_strDevice).m_result;
        ++m_nPagesDone;
        if (r == PictureResult::kNoRenderer) noRenderer = true;
        if (r != PictureResult::kOk) job->ShowMessage("Found problem while filtering graphics for the page.");
    }
    m_bPagesLeft = SelectedPagesLeft();
    m_bFinished = !m_bPagesLeft && job->m_nCancel < kCancelNow;
    ClosePdf();
    return noRenderer ? ConvertResult::kNoRenderer : static_cast<ConvertResult>(r);
}
