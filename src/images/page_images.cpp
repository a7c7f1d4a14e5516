// Placeholder picture step: no pictures until the PostScript route exists.
#include "control/convert_doc.h"

int CConvertDoc::ImagesForPage(int, int, const std::string&) { return 0; }
