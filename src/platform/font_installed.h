// Whether a font face is available for documents made on this machine.
// The layout's font table asks it for every face name it resolves; on
// Linux fontconfig stands in for the Windows font enumeration.
#pragma once

#include <string>

namespace qm {

// True when fontconfig lists a family equal to `name` ignoring case, or
// when fontconfig's configuration binds `name` to an installed font as a
// metric-compatible stand-in (Liberation Serif for Times New Roman, Carlito
// for Calibri). The document then keeps `name` itself. False for an empty
// name. Answers are cached per name for the life of the process.
bool IsFontInstalled(const std::string& name);

}  // namespace qm
