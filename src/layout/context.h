// What one conversion tells its layout and what the layout counts for it.
// The conversion owns it and hands it down with the document; nothing of a
// conversion outlives it, so two conversions in one process (the desktop
// application converts one file after another) write the same document.
#pragma once

#include <cstdint>
#include <string>

struct CLayoutContext {
    // Folder of the user's font map file (the DLL_FONT setting); empty
    // means the map file shipped with the program.
    std::string m_strFontFolder;
    // The user asked for documents without pictures.
    bool m_bRemoveImages = false;
    // The \shplid numbers of the document: drawn paths and pictures count
    // on their own, rotated text shapes on their own.
    int32_t m_nShapeId = 0;
    int32_t m_nTextShapeId = 0;

    int32_t NextShapeId() { return ++m_nShapeId; }
    int32_t NextTextShapeId() { return ++m_nTextShapeId; }
};
