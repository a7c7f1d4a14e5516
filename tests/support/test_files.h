// The old name of the shared helpers, still included by tests/layout
// (trimmed separately); new tests include support/test_util.h.
#pragma once

#include "support/test_util.h"

namespace qmtest {
using ScratchDir = TempDir;
}  // namespace qmtest
