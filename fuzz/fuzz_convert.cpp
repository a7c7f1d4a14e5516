// The whole conversion over arbitrary PDF bytes, in a layout chosen by the
// first byte.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "control/convert_doc.h"

namespace {
class QuietJob : public CConvertPara {
public:
    void ShowProgress(int32_t) override {}
    void ShowMessage(const char*) override {}
    void FileStarted(const std::string&, const std::string&) override {}
    void FileFinished(const std::string&, const std::string&) override {}
};

// One private folder for the process, removed at exit. Held by a pointer
// that is never freed: the exit handler runs after static strings are gone.
const std::string& Scratch() {
    static const std::string* dir = [] {
        char templ[] = "/tmp/qmfuzz-XXXXXX";
        if (mkdtemp(templ) == nullptr) std::abort();
        auto* made = new std::string(templ);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Scratch(), ec);
        });
        return made;
    }();
    return *dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    std::string pdf = Scratch() + "/in.pdf";
    FILE* f = std::fopen(pdf.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    QuietJob job;
    job.m_strSource = pdf;
    job.m_strOutDir = Scratch();
    // Pictures need gs, which is too slow for fuzzing; the text layouts
    // exercise the reader and layout engine.
    job.m_nKind = data[0] % 2 == 0 ? kRunNoImages : kRunPlainText;
    if (data[0] & 0x80) job.m_nKind = kRunFlowing;
    job.m_nRemoveImages = 1;
    CConvertDoc::Convert(&job);
    std::remove((Scratch() + "/in.rtf").c_str());
    std::remove(pdf.c_str());
    return 0;
}
