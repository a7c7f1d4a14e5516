// The font map reader over arbitrary bytes. The first line of the input is
// the face name asked for, the rest is the map file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "layout/font_table.h"

using qmfuzz::Scratch;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nl = input.find('\n');
    const std::string name = nl == std::string::npos ? input : input.substr(0, nl);
    const std::string body = nl == std::string::npos ? std::string() : input.substr(nl + 1);
    const std::string path = Scratch() + "/xml2rtffont.map";
    if (!qmfuzz::WriteInput(path, reinterpret_cast<const uint8_t*>(body.data()), body.size())) return 0;
    const std::string mapped = ReadMapFile(path, name);
    // Whatever the file holds, a substitute is a usable face name: no line
    // breaks, no control bytes, nothing an RTF font table would misread.
    for (unsigned char c : mapped)
        if ((c < 0x20 && c != '\t') || c == 0x7f || c == '{' || c == '}' || c == '\\' || c == ';') __builtin_trap();
    std::remove(path.c_str());
    return 0;
}
