// The whole conversion over arbitrary PDF bytes, in a layout chosen by the
// first byte.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "control/convert_doc.h"

using qmfuzz::QuietJob;
using qmfuzz::Scratch;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    std::string pdf = Scratch() + "/in.pdf";
    if (!qmfuzz::WriteInput(pdf, data + 1, size - 1)) return 0;
    QuietJob job;
    job.m_strOutDir = Scratch();
    // Pictures need gs, which is too slow for fuzzing; the text layouts
    // exercise the reader and layout engine.
    job.m_nKind = data[0] % 2 == 0 ? kRunNoImages : kRunPlainText;
    if (data[0] & 0x80) job.m_nKind = kRunFlowing;
    job.m_nRemoveImages = 1;
    CConvertDoc::Convert(&job, pdf);
    std::remove((Scratch() + "/in.rtf").c_str());
    std::remove(pdf.c_str());
    return 0;
}
