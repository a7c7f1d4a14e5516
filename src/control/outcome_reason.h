// Why a file did not convert, in words the user can act on. The command
// line prints it, the desktop application shows it in the progress list.
#pragma once

#include <string>

#include "control/convert_para.h"

// Empty for a file that converted. `passwordGiven` tells a wrong password
// from a missing one.
std::string ReasonFor(const CFileOutcome& outcome, bool passwordGiven);
