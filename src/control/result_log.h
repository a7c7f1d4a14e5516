// The result log: one JSON line per input of a batch run, for job engines
// and scripts that must tell what became of each file without parsing the
// messages meant for people. The command line writes the lines; their
// fields and codes are the log's format and stay stable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/convert_para.h"

struct CResultRecord {
    std::string m_strInput;
    std::string m_strOutput;
    std::string m_strStatus;  // ok, failed, skipped, timeout or interrupted (StatusOf)
    std::string m_strReason;  // ReasonCodeFor; empty: null in the line
    std::vector<std::string> m_warnings;
    int32_t m_nPages = 0;
    double m_fSeconds = 0.0;
    long m_nPeakKiB = 0;
};

// `bytes` as a JSON string, quotes included. Paths are bytes, not text: a
// valid UTF-8 sequence is kept as it is, and any other byte of 0x80 or
// more becomes \u00XX of the byte itself (so the reader sees the byte's
// Latin-1 character and the line stays valid UTF-8). Quotes, backslashes
// and control characters are escaped.
std::string JsonString(std::string_view bytes);

// The record as one line of JSON, ending with a line feed.
std::string ResultLogLine(const CResultRecord& record);

// "ok", "failed", "skipped", "timeout" (killed at the job's time limit) or
// "interrupted" (a stopped file, one a stop left unstarted, or one cut
// short by a cancel that kept its pages).
const char* StatusOf(const CFileOutcome& outcome);
