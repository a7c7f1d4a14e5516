#include "control/worker_report.h"

#include <charconv>
#include <vector>

namespace {

// Every field is "<length>:<bytes>"; numbers are written in decimal. The
// report starts with a tag and ends with one, so a worker killed while
// writing leaves something DecodeOutcome refuses.
constexpr std::string_view kBegin = "quillmark-outcome-1";
constexpr std::string_view kEnd = "end";

void Put(std::string& out, std::string_view field) {
    out += std::to_string(field.size());
    out += ':';
    out.append(field);
}

void PutNumber(std::string& out, long long n) { Put(out, std::to_string(n)); }

class CReader {
public:
    explicit CReader(std::string_view bytes) : m_rest(bytes) {}
    bool Next(std::string_view& field) {
        const auto colon = m_rest.find(':');
        if (colon == std::string_view::npos || colon == 0) return false;
        size_t length = 0;
        const auto [end, error] = std::from_chars(m_rest.data(), m_rest.data() + colon, length);
        if (error != std::errc() || end != m_rest.data() + colon || m_rest.size() - colon - 1 < length) return false;
        field = m_rest.substr(colon + 1, length);
        m_rest.remove_prefix(colon + 1 + length);
        return true;
    }
    bool Number(long long& n) {
        std::string_view field;
        if (!Next(field) || field.empty()) return false;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), n);
        return error == std::errc() && end == field.data() + field.size();
    }
    bool AtEnd() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
};

}  // namespace

std::string EncodeOutcome(const CFileOutcome& outcome) {
    std::string out;
    Put(out, kBegin);
    Put(out, outcome.m_strSource);
    Put(out, outcome.m_strTarget);
    PutNumber(out, static_cast<long long>(outcome.m_result));
    PutNumber(out, outcome.m_nPdfError);
    const int flags = (outcome.m_bCancelled ? 1 : 0) | (outcome.m_bNotStarted ? 2 : 0) |
                      (outcome.m_bAbandoned ? 4 : 0) | (outcome.m_bPagesLeft ? 8 : 0) | (outcome.m_bSkipped ? 16 : 0);
    PutNumber(out, flags);
    PutNumber(out, outcome.m_nPages);
    PutNumber(out, outcome.m_nPdfProblems);
    // Seconds in microseconds: a number read back exactly.
    PutNumber(out, static_cast<long long>(outcome.m_fSeconds * 1e6 + 0.5));
    PutNumber(out, outcome.m_nPeakKiB);
    PutNumber(out, outcome.m_nWorkerSignal);
    PutNumber(out, static_cast<long long>(outcome.m_warnings.size()));
    for (const std::string& warning : outcome.m_warnings) Put(out, warning);
    Put(out, kEnd);
    return out;
}

bool DecodeOutcome(std::string_view report, CFileOutcome& outcome) {
    CReader in(report);
    std::string_view begin, source, target, end;
    long long result = 0, pdfError = 0, flags = 0, pages = 0, problems = 0, micros = 0, peak = 0, signal = 0,
              warnings = 0;
    if (!in.Next(begin) || begin != kBegin || !in.Next(source) || !in.Next(target) || !in.Number(result) ||
        !in.Number(pdfError) || !in.Number(flags) || !in.Number(pages) || !in.Number(problems) || !in.Number(micros) ||
        !in.Number(peak) || !in.Number(signal) || !in.Number(warnings) || warnings < 0)
        return false;
    std::vector<std::string> texts;
    for (long long i = 0; i < warnings; ++i) {
        std::string_view text;
        if (!in.Next(text)) return false;
        texts.emplace_back(text);
    }
    if (!in.Next(end) || end != kEnd || !in.AtEnd()) return false;
    CFileOutcome read;
    read.m_strSource = source;
    read.m_strTarget = target;
    read.m_result = static_cast<ConvertResult>(result);
    read.m_nPdfError = static_cast<int32_t>(pdfError);
    read.m_bCancelled = (flags & 1) != 0;
    read.m_bNotStarted = (flags & 2) != 0;
    read.m_bAbandoned = (flags & 4) != 0;
    read.m_bPagesLeft = (flags & 8) != 0;
    read.m_bSkipped = (flags & 16) != 0;
    read.m_nPages = static_cast<int32_t>(pages);
    read.m_nPdfProblems = static_cast<int32_t>(problems);
    read.m_fSeconds = static_cast<double>(micros) / 1e6;
    read.m_nPeakKiB = static_cast<long>(peak);
    read.m_nWorkerSignal = static_cast<int32_t>(signal);
    read.m_warnings = std::move(texts);
    outcome = std::move(read);
    return true;
}
