// File-system stand-ins: the program's folder, private workspaces and
// recursive removal.
#pragma once

#include <string>

namespace qm {

// Folder of the running program (from /proc/self/exe), without a trailing '/'.
std::string ProgramFolder();

// Finds a data file shipped with the program: beside the program first,
// then in the installed data folder. Empty when neither has it.
std::string FindDataFile(const std::string& name);

// Makes a private folder under $TMPDIR (else /tmp) with mkdtemp and returns
// "<that folder>/tmpd", created; empty on failure. Two runs never share it.
std::string MakeWorkspace();

// Removes a workspace made by MakeWorkspace: only a path that contains
// "tmpd" is touched; the tree is removed, and the private parent too when
// it is left empty. Missing folders are not an error.
void RemoveWorkspace(const std::string& path);

bool FileExists(const std::string& path);

// The process's file-creation mask, read without changing it (changing it
// to read it would race with other threads creating files).
unsigned CurrentUmask();

// Copies a file, overwriting the target. Returns false on any failure.
bool CopyFile(const std::string& from, const std::string& to);

}  // namespace qm
