// Page-range text ("1,3,7,10-15") into the job's page list, and the file
// size text shown beside each listed file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/convert_para.h"

// Reads `text` ("1, 3, 7, 10-15") into `spans`: pieces split at ',', each a
// page number or "first-last", white space allowed around numbers and empty
// pieces skipped. Returns an empty string when the text is a page range;
// otherwise `spans` is left empty and the message names the bad part, for
// the user to correct where it was typed. Whether the pages exist is a
// question for each PDF, not for the text.
std::string ParsePageRange(const std::string& text, std::vector<CPageSpan>& spans);

// "1,234,567 Byte".
std::string FormatFileSize(uint64_t bytes);
