// Page-range text ("1,3,7,10-15") into the job's page list, and the file
// size text shown beside each listed file.
#pragma once

#include <cstdint>
#include <string>

#include "control/convert_para.h"

// Clears `pages` to zeros and fills it from `text`: pieces split at ',',
// each a number or "a-b"; parsing stops at the first empty piece and at
// most kPageListSize numbers are kept. Numbers read like atoi (saturating
// at the int32 limits instead of overflowing). Returns the
// count of numbers stored.
int ParsePageRange(const std::string& text, int32_t (&pages)[kPageListSize]);

// "1,234,567 Byte".
std::string FormatFileSize(uint64_t bytes);
