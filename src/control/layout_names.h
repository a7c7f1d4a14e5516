// How the saved Layout setting spells the four document layouts. The
// desktop application stores these names, and both it and the command line
// turn them into the kind of run of a conversion.
#pragma once

#include <string>

namespace qm {

// The kind-of-run code 0 to 3 (flowing, exact, no images, plain text) of a
// stored layout name; -1 for another name.
int LayoutCode(const std::string& name);
// The stored name of a code; "FLOWING" for a code outside 0 to 3.
const char* LayoutName(int code);

}  // namespace qm
