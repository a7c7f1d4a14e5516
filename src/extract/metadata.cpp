// Placeholder metadata reader: raw strings, no date conversion.
#include "extract/metadata.h"

#include <PDFDoc.h>

static std::string InfoString(PDFDoc* doc, const char* key) {
    std::unique_ptr<GooString> s = doc->getDocInfoStringEntry(key);
    return s ? s->toStr() : std::string();
}

DocMetadata ReadDocMetadata(PDFDoc* doc) {
    DocMetadata m;
    m.title = InfoString(doc, "Title");
    m.author = InfoString(doc, "Author");
    m.keywords = InfoString(doc, "Keywords");
    m.subject = InfoString(doc, "Subject");
    m.date = InfoString(doc, "ModDate");
    if (m.date.empty()) m.date = InfoString(doc, "CreationDate");
    return m;
}
