// Word document output: a Word document is the RTF text that the document
// pipeline wrote, stored under the ".doc" name. The conversion worker of the
// desktop application moves each finished RTF file there, inside one
// CRtf2Doc scope per run.
#pragma once

#include <string>

// The per-run scope of the Word output. The Windows program initialised COM
// on the worker thread for the run; Linux has nothing to initialise, and the
// object stays so that a run keeps its shape (one scope around all files,
// left on every path out of the run, the cancel path included).
class CRtf2Doc {
public:
    CRtf2Doc();
    virtual ~CRtf2Doc();
    CRtf2Doc(const CRtf2Doc&) = delete;
    CRtf2Doc& operator=(const CRtf2Doc&) = delete;
};

// The ".doc" name of an RTF path: its last extension replaced.
std::string WordDocumentPath(const std::string& rtfPath);

// Copies `rtfPath` to `docPath` (overwriting an existing file) and deletes
// the RTF file. Returns false, and leaves the RTF file alone, when the copy
// fails; a failed deletion only leaves the RTF file beside the document.
bool SaveAsWordDocument(const std::string& rtfPath, const std::string& docPath);
