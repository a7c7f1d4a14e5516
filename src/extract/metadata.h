// The document information written into the root line of the page XML
// document: author, keywords, subject and the date, read from the PDF's
// information dictionary before the text is extracted.
#pragma once

#include <string>

class PDFDoc;

struct DocMetadata {
    std::string title;
    std::string author;
    std::string keywords;
    std::string subject;
    std::string date;
};

DocMetadata ReadDocMetadata(PDFDoc* doc);

// A PDF date ("D:YYYYMMDDHHmmSS...") as "YYYY-MM-DDTHH:MM:SS+00:00", its
// fields normalised by mktime; a value that does not read as a date comes
// back as it is, without a leading "D:".
std::string ConvertPdfDate(const std::string& raw);

// A metadata value as ISO 8859-1 bytes: UTF-16 text (with its byte order
// mark) decoded, characters outside ISO 8859-1 and zero bytes dropped.
std::string MetadataToLatin1(const std::string& raw);
