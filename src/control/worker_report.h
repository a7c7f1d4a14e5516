// What a worker hands back to its run: the outcome of the file it
// converted, as bytes through a pipe. A worker that dies leaves a report
// cut short, which the run must tell from a whole one.
#pragma once

#include <string>
#include <string_view>

#include "control/convert_para.h"

// The outcome (every field but m_strCollidesWith, which only the run sets)
// as one report.
std::string EncodeOutcome(const CFileOutcome& outcome);

// Reads a whole report into `outcome`; false when `report` is cut short or
// is no report.
bool DecodeOutcome(std::string_view report, CFileOutcome& outcome);
