// Poppler keeps its settings in one process-wide object, globalParams. Each
// user of the PDF core (a conversion, a page-count query of the desktop
// application, the picture step's prologue) holds a CPdfCoreSettings while
// it works: the first holder makes the object and the last one removes it,
// so a query made while a conversion runs never replaces or removes the
// settings under that conversion. An object made by someone else (a test)
// is used and left alone.
#pragma once

namespace qm {

class CPdfCoreSettings {
public:
    CPdfCoreSettings();
    ~CPdfCoreSettings();
    CPdfCoreSettings(const CPdfCoreSettings&) = delete;
    CPdfCoreSettings& operator=(const CPdfCoreSettings&) = delete;
};

}  // namespace qm
