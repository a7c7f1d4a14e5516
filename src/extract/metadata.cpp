// Reading the document information dictionary for the page XML root line.
#include "extract/metadata.h"

#include <PDFDoc.h>

#include <cstdio>
#include <ctime>

namespace {

std::string InfoString(PDFDoc* doc, const char* key) {
    std::unique_ptr<GooString> s = doc->getDocInfoStringEntry(key);
    return s ? MetadataToLatin1(s->toStr()) : std::string();
}

void AppendLatin1(std::string& out, unsigned c) {
    // A zero byte would end the root line early in any reader working with
    // C strings; characters above U+00FF have no byte in the document.
    if (c != 0 && c <= 0xff) out.push_back(static_cast<char>(c));
}

}  // namespace

std::string MetadataToLatin1(const std::string& raw) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(raw[i]); };
    const bool bigEndian = raw.size() >= 2 && byte(0) == 0xfe && byte(1) == 0xff;
    const bool littleEndian = raw.size() >= 2 && byte(0) == 0xff && byte(1) == 0xfe;
    std::string out;
    if (!bigEndian && !littleEndian) {
        out.reserve(raw.size());
        for (char c : raw) AppendLatin1(out, static_cast<unsigned char>(c));
        return out;
    }
    // UTF-16 values used to be written raw, and their first zero byte cut
    // the root line short. Surrogate pairs decode to characters above
    // U+FFFF, which are dropped like every other one outside Latin-1; a lone
    // surrogate or an odd trailing byte is dropped too.
    for (size_t i = 2; i + 1 < raw.size(); i += 2) {
        const unsigned unit = bigEndian ? (byte(i) << 8 | byte(i + 1)) : (byte(i + 1) << 8 | byte(i));
        if (unit >= 0xd800 && unit <= 0xdfff) continue;
        AppendLatin1(out, unit);
    }
    return out;
}

std::string ConvertPdfDate(const std::string& raw) {
    std::string s = raw.compare(0, 2, "D:") == 0 ? raw.substr(2) : raw;
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (std::sscanf(s.c_str(), "%4d%2d%2d%2d%2d%2d", &year, &month, &day, &hour, &minute, &second) != 6) return s;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    // Out-of-range fields carry over; whether daylight saving applies is
    // the library's decision for the local zone.
    tm.tm_isdst = -1;
    std::mktime(&tm);
    char buf[64];
    if (std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S+00:00", &tm) == 0) return s;
    return buf;
}

DocMetadata ReadDocMetadata(PDFDoc* doc) {
    DocMetadata m;
    if (doc == nullptr) return m;
    m.title = InfoString(doc, "Title");
    m.author = InfoString(doc, "Author");
    m.keywords = InfoString(doc, "Keywords");
    m.subject = InfoString(doc, "Subject");
    std::unique_ptr<GooString> date = doc->getDocInfoStringEntry("ModDate");
    if (!date) date = doc->getDocInfoStringEntry("CreationDate");
    if (date) m.date = ConvertPdfDate(MetadataToLatin1(date->toStr()));
    return m;
}
