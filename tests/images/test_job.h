// A conversion job for tests: records its log lines.
#pragma once

#include <string>
#include <vector>

#include "control/convert_para.h"

class CTestJob : public CConvertPara {
public:
    void ShowProgress(int32_t) override {}
    void ShowMessage(const char* text) override { m_messages.emplace_back(text); }
    void FileStarted(const std::string&, const std::string&) override {}
    void FileFinished(const std::string&, const std::string&) override {}
    int Count(const std::string& part) const {
        int n = 0;
        for (const auto& m : m_messages) n += m.find(part) != std::string::npos ? 1 : 0;
        return n;
    }
    std::vector<std::string> m_messages;
};
