// What the fuzz targets share: a private scratch folder for the process,
// a quiet job object, and writing an input's bytes to a file.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "control/convert_para.h"

namespace qmfuzz {

// One private folder for the process, removed with its contents at exit.
// Held by a pointer that is never freed: the exit handler runs after
// static strings are gone.
inline const std::string& Scratch() {
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

// Writes `size` bytes to `path`; whether the whole input got there.
inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

class QuietJob : public CConvertPara {
public:
    void ShowProgress(int32_t) override {}
    void ShowMessage(const char*) override {}
    void FileStarted(const std::string&, const std::string&) override {}
    void FileFinished(const CFileOutcome&) override {}
};

}  // namespace qmfuzz
