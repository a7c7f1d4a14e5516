// The document information written into the page XML root line.
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
