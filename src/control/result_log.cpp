#include "control/result_log.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at `s[i]` (2 to 4), or 0. Overlong
// forms, surrogates and code points beyond U+10FFFF are not valid.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else return 0;
    if (i + n > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return n;
}

void AppendEscapedByte(std::string& out, unsigned char b) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(b));
    out += hex;
}

}  // namespace

std::string JsonString(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x80) {
            if (const std::size_t n = Utf8SequenceAt(bytes, i); n != 0) {
                out.append(bytes.substr(i, n));
                i += n;
            } else {
                AppendEscapedByte(out, b);
                ++i;
            }
            continue;
        }
        switch (b) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (b < 0x20 || b == 0x7F) AppendEscapedByte(out, b);
                else out += static_cast<char>(b);
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string ResultLogLine(const CResultRecord& record) {
    std::string line = "{\"input\":" + JsonString(record.m_strInput);
    line += ",\"output\":" + (record.m_strOutput.empty() ? std::string("null") : JsonString(record.m_strOutput));
    line += ",\"status\":" + JsonString(record.m_strStatus);
    line += ",\"reason\":" + (record.m_strReason.empty() ? std::string("null") : JsonString(record.m_strReason));
    line += ",\"warnings\":[";
    for (std::size_t i = 0; i < record.m_warnings.size(); ++i) {
        if (i > 0) line += ',';
        line += JsonString(record.m_warnings[i]);
    }
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "],\"pages\":%d,\"seconds\":%.3f,\"peak_kib\":%ld}\n",
                  static_cast<int>(record.m_nPages), record.m_fSeconds, record.m_nPeakKiB);
    line += numbers;
    return line;
}

const char* StatusOf(const CFileOutcome& outcome) {
    if (outcome.m_bSkipped) return "skipped";
    if (outcome.m_bNotStarted || outcome.m_bAbandoned) return "interrupted";
    if (outcome.m_result == ConvertResult::kTimedOut) return "timeout";
    if (outcome.m_result != ConvertResult::kOk) return "failed";
    return outcome.m_bPagesLeft ? "interrupted" : "ok";
}
