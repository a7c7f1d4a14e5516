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
    if (!qm::CopyFile(rtfPath, docPath)) return false;
    std::error_code ec;
    std::filesystem::remove(rtfPath, ec);
    return true;
}
