// Font names on their way from the page XML to the RTF font table: the
// built-in PostScript-name table, the user's font map file, and the
// look-ups the reader and the document's font table make with them.
#pragma once

#include <cstddef>
#include <string>

// One entry of the built-in table: a name that may occur in a PDF font
// name, and the family written for it.
struct FontNamePair {
    const char* ps;
    const char* family;
};

// The built-in table in file order; entry 0 has the empty name.
const FontNamePair* FontNameTable(std::size_t& count);

// The family for a `family=` value of the page XML: the entries are tried
// from the last to the first, and the first whose name occurs anywhere in
// the value (case-sensitive) gives the family. Entry 0 matches everything,
// so any non-empty value gets a family; an empty value stays empty.
std::string LookupFamily(const std::string& value);
// The same; `known` tells whether an entry other than entry 0 matched.
std::string LookupFamily(const std::string& value, bool& known);

// Name of the font map file, in the folder named by the DLL_FONT setting.
inline constexpr const char* kFontMapFile = "xml2rtffont.map";

// The substitute the user's map file in `folder` (empty: the map file
// shipped with the program) gives for `name`, trimmed; false and an empty
// result when there is none.
bool MapFontName(const std::string& folder, const std::string& name, std::string& result);

// Everything after "name=" on the lines of the map file at `path` that start
// with it, joined in file order; empty when the file or such a line is missing.
std::string ReadMapFile(const std::string& path, const std::string& name);
