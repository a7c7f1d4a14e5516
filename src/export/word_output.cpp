// Word document output: the RTF file under the ".doc" name.
#include "export/word_output.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"

CRtf2Doc::CRtf2Doc() = default;
CRtf2Doc::~CRtf2Doc() = default;

std::string WordDocumentPath(const std::string& rtfPath) {
    std::filesystem::path p(rtfPath);
    p.replace_extension(".doc");
    return p.string();
}

bool SaveAsWordDocument(const std::string& rtfPath, const std::string& docPath) {
    if (rtfPath == docPath) return true;
    std::error_code ec;
    if (!std::filesystem::exists(rtfPath, ec)) return false;
    // Within one folder a rename is the copy and the deletion in one step,
    // and a reader never sees half a document under the new name.
    std::filesystem::rename(rtfPath, docPath, ec);
    if (!ec) return true;
    // Across file systems: copy under a private name, then rename that.
    const std::string partial = docPath + ".part";
    if (!qm::CopyFile(rtfPath, partial)) {
        std::filesystem::remove(partial, ec);
        return false;
    }
    std::filesystem::rename(partial, docPath, ec);
    if (ec) {
        std::filesystem::remove(partial, ec);
        return false;
    }
    std::filesystem::remove(rtfPath, ec);
    return true;
}
