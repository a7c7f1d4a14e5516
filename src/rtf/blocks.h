// The blocks of a flowing page as RTF: a section with its columns, each
// column as exact-height paragraphs, and the one-row tables inside them.
#pragma once

#include <string>

#include "layout/model.h"

// One exact-height paragraph per fragment of the block, with empty
// fixed-height paragraphs filling the vertical gaps, so that the lines land
// about where the PDF had them.
void WriteParagraphs(CRtfParagraphs& block, std::string& out);
// The fragments' RTF without paragraph framing (table cells).
void WritePlainParagraphs(CRtfParagraphs& block, std::string& out);
// The \cols header with each column's width.
void WriteColumnHeader(CRtfSection& section, std::string& out);
// The section's RTF; it arranges its columns first.
void WriteSection(CRtfSection& section, std::string& out);
// The cells of a one-row table: tall cell and stack cell.
void WriteCell(CRtfCell& cell, std::string& out);
