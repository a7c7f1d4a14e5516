// Conversion of device coordinates to the integers of the page XML document.
#pragma once

#include <climits>
#include <cmath>

// Truncation toward zero into a signed 32-bit integer. A value that does not
// fit (or NaN) gives INT_MIN, as the processor's own conversion does, rather
// than the undefined behaviour of a plain cast.
inline int TruncToInt(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT_MIN;
    return static_cast<int>(v);
}

// The unsigned 32-bit form of a signed value, as `%u` writes it.
inline unsigned AsUnsigned(int v) { return static_cast<unsigned>(v); }
