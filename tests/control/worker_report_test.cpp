// The report a worker sends its run: every field comes back as it was,
// and a report cut short anywhere (a worker killed while writing it) is
// never taken for an outcome.
#include "control/worker_report.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CFileOutcome Sample() {
    CFileOutcome o;
    o.m_strSource = std::string("in/a:b\n\0\xe9.pdf", 14);
    o.m_strTarget = "out/12:34.rtf";
    o.m_result = ConvertResult::kPageFailed;
    o.m_nPdfError = -3;
    o.m_bCancelled = true;
    o.m_bPagesLeft = true;
    o.m_nPages = 345;
    o.m_nPdfProblems = 7;
    o.m_fSeconds = 12.345678;
    o.m_nPeakKiB = 1L << 40;
    o.m_nWorkerSignal = -1;
    o.m_warnings = {"", "two: \"3:abc\"", std::string(70000, 'w')};
    return o;
}

TEST(WorkerReport, EveryFieldComesBack) {
    CFileOutcome flags;
    flags.m_bNotStarted = flags.m_bAbandoned = flags.m_bSkipped = true;
    for (const CFileOutcome& sent : {Sample(), CFileOutcome(), flags}) {
        CFileOutcome back;
        back.m_strCollidesWith = "kept";
        ASSERT_TRUE(DecodeOutcome(EncodeOutcome(sent), back));
        EXPECT_EQ(back.m_strSource, sent.m_strSource);
        EXPECT_EQ(back.m_strTarget, sent.m_strTarget);
        EXPECT_EQ(back.m_result, sent.m_result);
        EXPECT_EQ(back.m_nPdfError, sent.m_nPdfError);
        EXPECT_EQ(back.m_bCancelled, sent.m_bCancelled);
        EXPECT_EQ(back.m_bNotStarted, sent.m_bNotStarted);
        EXPECT_EQ(back.m_bAbandoned, sent.m_bAbandoned);
        EXPECT_EQ(back.m_bPagesLeft, sent.m_bPagesLeft);
        EXPECT_EQ(back.m_bSkipped, sent.m_bSkipped);
        EXPECT_EQ(back.m_nPages, sent.m_nPages);
        EXPECT_EQ(back.m_nPdfProblems, sent.m_nPdfProblems);
        EXPECT_NEAR(back.m_fSeconds, sent.m_fSeconds, 1e-6);
        EXPECT_EQ(back.m_nPeakKiB, sent.m_nPeakKiB);
        EXPECT_EQ(back.m_nWorkerSignal, sent.m_nWorkerSignal);
        EXPECT_EQ(back.m_warnings, sent.m_warnings);
        EXPECT_TRUE(back.m_strCollidesWith.empty());
    }
}

TEST(WorkerReport, ACutShortOrForeignReportIsRefused) {
    const std::string whole = EncodeOutcome(Sample());
    CFileOutcome back;
    back.m_strSource = "untouched";
    for (size_t length = 0; length < whole.size(); length += (length < 200 ? 1 : 997)) {
        ASSERT_FALSE(DecodeOutcome(whole.substr(0, length), back)) << length;
    }
    EXPECT_FALSE(DecodeOutcome(whole + "x", back));
    EXPECT_FALSE(DecodeOutcome("4:junk", back));
    EXPECT_EQ(back.m_strSource, "untouched");
}

}  // namespace
