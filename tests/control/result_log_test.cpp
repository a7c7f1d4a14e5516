// The result log's lines and the mirror tree's folder naming: what job
// engines and scripts read and rely on.
#include "control/result_log.h"

#include <ErrorCodes.h>
#include <gtest/gtest.h>

#include <string>

#include "control/convert_doc.h"
#include "control/outcome_reason.h"

namespace {

// (Plain names and Latin-1 bytes are checked on the command's own log.)
TEST(ResultLog, PathBytesBecomeValidJsonStrings) {
    const struct {
        const char* name;
        std::string bytes;
        std::string json;
    } cases[] = {
        {"quote and backslash", "say \"x\"\\y", "\"say \\\"x\\\"\\\\y\""},
        {"line end and tab", "a\nb\tc\r", "\"a\\nb\\tc\\r\""},
        {"other controls", std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
        {"NUL inside", std::string("a\0b", 3), "\"a\\u0000b\""},
        {"valid UTF-8 kept", "r\xc3\xa9sum\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x84",
         "\"r\xc3\xa9sum\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x84\""},
        {"lone continuation", "\x80", "\"\\u0080\""},
        {"cut-short sequence", "\xe2\x82", "\"\\u00e2\\u0082\""},
        {"cut short before ASCII", std::string("\xc3") + "a", "\"\\u00c3a\""},
        {"overlong slash", "\xc0\xaf", "\"\\u00c0\\u00af\""},
        {"overlong three bytes", "\xe0\x80\xaf", "\"\\u00e0\\u0080\\u00af\""},
        {"surrogate", "\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},
        {"highest code point", "\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\""},
        {"byte FF", "\xff", "\"\\u00ff\""},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonString(c.bytes), c.json) << c.name;
}

TEST(ResultLog, LineHoldsEveryFieldOnOneLine) {
    CResultRecord record;
    record.m_strInput = "in/a\nb.pdf";
    record.m_strOutput = "out/a\nb.rtf";
    record.m_strStatus = "ok";
    record.m_warnings = {"one", "two \"quoted\""};
    record.m_nPages = 3;
    record.m_fSeconds = 1.25;
    record.m_nPeakKiB = 2048;
    EXPECT_EQ(ResultLogLine(record),
              "{\"input\":\"in/a\\nb.pdf\",\"output\":\"out/a\\nb.rtf\",\"status\":\"ok\",\"reason\":null,"
              "\"warnings\":[\"one\",\"two \\\"quoted\\\"\"],\"pages\":3,\"seconds\":1.250,\"peak_kib\":2048}\n");
    record.m_strOutput.clear();
    record.m_strStatus = "interrupted";
    record.m_strReason = "not_started";
    record.m_warnings.clear();
    const std::string line = ResultLogLine(record);
    EXPECT_NE(line.find("\"output\":null,\"status\":\"interrupted\",\"reason\":\"not_started\",\"warnings\":[]"),
              std::string::npos)
        << line;
}

// (What the command's own log shows for a skipped, damaged, colliding or
// unselected file is checked on its log.)
TEST(ResultLog, StatusReasonAndRetryOfEachOutcome) {
    auto outcome = [](ConvertResult result) {
        CFileOutcome o;
        o.m_result = result;
        return o;
    };
    CFileOutcome notStarted;
    notStarted.m_bNotStarted = true;
    CFileOutcome stopped = outcome(ConvertResult::kOk);
    stopped.m_bAbandoned = true;
    CFileOutcome cutShort;
    cutShort.m_bPagesLeft = true;
    CFileOutcome locked = outcome(ConvertResult::kPdfFailed);
    locked.m_nPdfError = errEncrypted;
    CFileOutcome crashed = outcome(ConvertResult::kWorkerCrashed);
    crashed.m_nWorkerSignal = 11;
    CFileOutcome noWorker = outcome(ConvertResult::kWorkerCrashed);
    noWorker.m_nWorkerSignal = -1;
    const struct {
        const char* name;
        CFileOutcome outcome;
        const char* status;
        const char* reason;
        bool retryable;
    } cases[] = {
        {"converted", outcome(ConvertResult::kOk), "ok", "", false},
        {"not started", notStarted, "interrupted", "not_started", false},
        {"stopped", stopped, "interrupted", "stopped", false},
        {"kept pages", cutShort, "interrupted", "pages_left", false},
        {"locked", locked, "failed", "pdf_encrypted", false},
        {"output folder", outcome(ConvertResult::kOutputFailed), "failed", "output_not_writable", true},
        {"disk full", outcome(ConvertResult::kWorkspaceFailed), "failed", "disk_full", true},
        {"no Ghostscript", outcome(ConvertResult::kNoRenderer), "failed", "no_renderer", true},
        // A file that ran out of time may convert with more; one that needs
        // more memory will need it again: neither is a passing trouble.
        {"time limit", outcome(ConvertResult::kTimedOut), "timeout", "time_limit", false},
        {"memory limit", outcome(ConvertResult::kOutOfMemory), "failed", "memory_limit", false},
        {"worker crashed", crashed, "failed", "crashed", false},
        {"no worker process", noWorker, "failed", "no_worker", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(StatusOf(c.outcome), c.status);
        EXPECT_EQ(ReasonCodeFor(c.outcome, false), c.reason);
        EXPECT_EQ(IsRetryable(c.outcome), c.retryable);
    }
    EXPECT_EQ(ReasonCodeFor(locked, true), "wrong_password");
}

TEST(MirrorTree, FolderOfASourceBelowTheRoot) {
    const struct {
        const char* root;
        const char* source;
        bool below;
        const char* folder;
    } cases[] = {
        {"in", "in/a.pdf", true, ""},
        {"in/", "in/x/y/a.pdf", true, "x/y"},
        {"./in", "in/./x/../z/a.pdf", true, "z"},
        {"/data/in", "/data/in/x/a.pdf", true, "x"},
        {"in", "inside/a.pdf", false, ""},  // a name that starts like the root
        {"in", "in/../a.pdf", false, ""},
        {"in", "other/a.pdf", false, ""},
        {"in", "in", false, ""},
        {"/data/in", "/data/a.pdf", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.root) + " " + c.source);
        std::string folder = "unset";
        EXPECT_EQ(CConvertDoc::RelativeFolderUnder(c.root, c.source, folder), c.below);
        if (c.below) {
            EXPECT_EQ(folder, c.folder);
        }
    }
}

}  // namespace
