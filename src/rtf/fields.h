// Hyperlink fields and page bookmarks of the RTF text.
//
// The extractor marks the text of a link inside each run it lies in, so a
// link set glyph by glyph arrives as many marked pieces spread over many
// run groups. The rewriter here turns the pieces of one link into one
// HYPERLINK field, lifting the field out of the run groups where the pieces
// span several, and makes links into the document point at a bookmark at
// the top of the target page.
#pragma once

#include <cstdint>
#include <set>
#include <string>

// The bookmark that marks the top of page `page` (1-based).
std::string PageBookmarkName(int32_t page);
// The RTF of that bookmark, an empty bookmark at the insertion point.
std::string PageBookmark(int32_t page);

// The field argument for a target as it stands in the RTF text (backslashes
// doubled, braces escaped): quoted, its quotes and backslashes written as
// URI escapes.
std::string QuotedFieldArgument(const std::string& rtfTarget);

// `s` with every link marker turned into fields. `base` (the page XML
// file's name) is cut off the front of targets that start with it; a link
// with no target keeps only its text. Adjacent pieces of one target with
// only formatting and spaces between them become one field. A link to a
// page of this document that is not among `pages` (those the document
// holds; null: all) keeps only its text as well.
std::string MakeHyperlinkFields(const std::string& s, const std::string& base,
                                const std::set<int32_t>* pages = nullptr);
