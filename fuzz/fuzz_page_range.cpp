// Page-range text as typed by a user.
#include <cstddef>
#include <cstdint>
#include <string>

#include "control/page_range.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t pages[kPageListSize];
    std::string text(reinterpret_cast<const char*>(data), size);
    int n = ParsePageRange(text, pages);
    if (n < 0 || n > kPageListSize) __builtin_trap();
    return 0;
}
