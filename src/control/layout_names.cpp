#include "control/layout_names.h"

namespace qm {

namespace {
// "PlAIN TEXT" is the stored spelling, odd case and all: saved settings
// already hold it and must keep reading back.
const char* const kLayoutNames[] = {"FLOWING", "EXACT", "NO IMAGES", "PlAIN TEXT"};
}  // namespace

int LayoutCode(const std::string& name) {
    for (int i = 0; i < 4; ++i)
        if (name == kLayoutNames[i]) return i;
    return -1;
}

const char* LayoutName(int code) { return code >= 0 && code < 4 ? kLayoutNames[code] : kLayoutNames[0]; }

}  // namespace qm
