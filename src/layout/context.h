// What one conversion tells its layout and what the layout counts for it.
// The conversion owns it and hands it down with the document; nothing of a
// conversion outlives it, so two conversions in one process (the desktop
// application converts one file after another) write the same document.
#pragma once

#include <cstdint>
#include <set>
#include <string>

struct CLayoutContext {
    // Folder of the user's font map file (the DLL_FONT setting); empty
    // means the map file shipped with the program.
    std::string m_strFontFolder;
    // The user asked for documents without pictures.
    bool m_bRemoveImages = false;
    // The text keeps the PDF's horizontal scaling and the measured gaps
    // between the pieces of a line; without it, runs are set at their
    // font's own width and pieces are parted by one space, which edits
    // more easily.
    bool m_bPreserveSpacing = true;
    // The \shplid numbers of the document: drawn paths and pictures count
    // on their own, rotated text shapes on their own.
    // The PDF's pages the document holds (1-based) when the user chose a
    // range; empty when it holds them all.
    std::set<int32_t> m_pagesWritten;
    int32_t m_nShapeId = 0;
    int32_t m_nTextShapeId = 0;

    int32_t NextShapeId() { return ++m_nShapeId; }
    int32_t NextTextShapeId() { return ++m_nTextShapeId; }
};
