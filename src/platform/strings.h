// Small byte-string helpers the stages share.
#pragma once

#include <string>

namespace qm {

// `s` without the white space (space, tab, CR, LF, VT, FF) at either end.
inline std::string Trim(const std::string& s) {
    const char* ws = " \t\r\n\v\f";
    const std::size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

}  // namespace qm
