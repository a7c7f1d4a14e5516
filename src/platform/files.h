// File-system stand-ins: the program's folder, private workspaces and
// recursive removal.
#pragma once

#include <string>

namespace qm {

// Folder of the running program (from /proc/self/exe), without a trailing '/'.
std::string ProgramFolder();

// Finds a data file shipped with the program: beside the program (or in its
// data/ folder, in a build tree), then in ../share/quillmark from the
// program's folder (an install, wherever its prefix), then in the data
// folder configured at build time. Empty when none has it.
std::string FindDataFile(const std::string& name);

// Makes a private folder under $TMPDIR (else /tmp) with mkdtemp and returns
// "<that folder>/tmpd", created; empty on failure. Two runs never share it.
// The private folder is named "quillmark-<owner>-XXXXXX" (see OwnerTag).
std::string MakeWorkspace();

// Makes an empty private file beside `finalPath`, under the hidden name
// ".~<file name>.<owner>.XXXXXX", with the permissions any new file of the
// user gets; a document is written there and renamed over `finalPath` once
// complete. Returns its path, or empty when none can be made.
std::string MakePartialFile(const std::string& finalPath);

// Who owns the workspaces and partial files this process makes: the host
// name (letters, digits and '-' only) and the process ID, "<host>.<pid>".
std::string OwnerTag();

// Removes what processes that died without cleaning up (killed with
// SIGKILL, or by a crash) left: the partial files in `dir`, and the
// workspaces under $TMPDIR, whose owner runs on this host and no longer
// lives. Whatever another host (a shared folder) or a live process owns,
// and names without an owner, are left alone. Returns how many it removed.
int RemoveStalePartials(const std::string& dir);
int RemoveStaleWorkspaces();

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
