// A conversion job for tests: records its log lines.
#pragma once

#include <string>
#include <vector>

#include "control/convert_para.h"
#include "images/image_extractor.h"
#include "images/picture_step.h"

class CTestJob : public CConvertPara, public IPictureLog {
public:
    void ShowProgress(int32_t) override {}
    void ShowMessage(const char* text) override { m_messages.emplace_back(text); }
    void ShowWarning(const char* text) override { ShowMessage(text); }
    bool Cancelled() const override { return m_nCancel != 0; }
    void FileStarted(const std::string&, const std::string&) override {}
    void FileFinished(const CFileOutcome&) override {}
    int Count(const std::string& part) const {
        int n = 0;
        for (const auto& m : m_messages) n += m.find(part) != std::string::npos ? 1 : 0;
        return n;
    }
    std::vector<std::string> m_messages;
    // The PDF's base name that extracted picture folders start with.
    std::string m_strBaseName;
};

// Hands the job's kind of run, folders and log to an extractor, as the
// conversion's picture step does.
inline void AttachJob(CImageExtractor& extractor, CTestJob& job) {
    extractor.m_pLog = &job;
    extractor.m_bExtraction = job.m_nKind == kRunExtractImages;
    extractor.m_bRemoveImages = job.m_nRemoveImages != 0;
    extractor.m_strExtractPrefix = job.m_strOutDir + "/" + job.m_strBaseName;
}
