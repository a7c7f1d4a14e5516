// Why a file did not convert, in words the user can act on. The command
// line prints it, the desktop application shows it in the progress list.
#pragma once

#include <string>

#include "control/convert_para.h"

// Empty for a file that converted. `passwordGiven` tells a wrong password
// from a missing one.
std::string ReasonFor(const CFileOutcome& outcome, bool passwordGiven);

// The same as a stable code for programs that read the result log
// (snake_case, never reworded): "" for a file that converted.
std::string ReasonCodeFor(const CFileOutcome& outcome, bool passwordGiven);

// Whether the failure may go away when the run is tried again unchanged
// (a full disk, an output folder that cannot be written, a Ghostscript that
// does not start), as opposed to an input that will never convert.
bool IsRetryable(const CFileOutcome& outcome);
