// The template of the picture files, starttext.ps: Poppler's own PostScript
// prologue (the procedure set that its PostScript output device writes,
// with pdfSetup, pdfStartPage and pdfEndPage), cut inside the document
// setup, with a pdfSetup that takes the picture's width, height and duplex
// flag, and the "%%PageSizeTag" marker line where the final picture files
// put their page-size call. It is made from the installed Poppler at first
// use, so it always matches the device that wrote the page PostScript.
#pragma once

#include <string>

// The template's text (made once per process).
const std::string& StartTextProlog();

// Writes the template to `path` unless a file is already there.
bool WriteStartText(const std::string& path);
