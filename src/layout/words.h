// The characters a word shows on the page, for measuring and counting.
//
// A word's text is stored the way the RTF runs will carry it: Windows-1252
// bytes, the reader's brace escapes ("\{"), the extractor's Unicode escapes
// ("\uc1\u8212X") and possibly link markers. Measuring those bytes as they
// stand would count an em dash as eleven letters; this turns them into the
// code points a reader of the page actually sees.
#pragma once

#include <cstdint>
#include <string>

// Code points shown by `text`: link markers and their targets dropped,
// "\uc1\uN" escapes decoded (a surrogate pair written as two escapes is one
// character), "\{" and "\}" made braces, Windows-1252 bytes mapped to
// Unicode.
std::u32string ShownCharacters(const std::string& text);

// Whether a code point is white space for the joins of a written line.
bool IsShownSpace(char32_t c);

// The page a link target names when it leads into this document ("#7",
// what is left once the page XML file's name is cut off); 0 otherwise.
int32_t LinkedPage(const std::string& target);
