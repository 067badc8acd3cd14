#pragma once

#include <cstdint>
#include <string>

#include "engine/IArticleList.h"
#include "engine/ILogList.h"
#include "engine/IProgressPanel.h"
#include "engine/IRunHost.h"

// Panes and host that ignore everything: for driving whole runs where only the files and
// the log matter (benchmarks, fuzzing).
struct NullArticleList : IArticleList {
    void AddArticle(const std::string&, uint32_t, const std::string&, const std::string&) override {
    }
    void DeleteAllItems() override {}
};

struct NullLogList : ILogList {
    void AddLine(const std::string&) override {}
    void ResetContent() override {}
};

struct NullProgressPanel : IProgressPanel {
    void SetGroup(const std::string&) override {}
    void SetGroupProgress(uint32_t, uint32_t, uint32_t) override {}
    void SetArticle(const std::string&, const std::string&, const std::string&,
                    const std::string&) override {}
    void SetMultipart(int, int) override {}
    void SetArticleProgress(uint32_t, uint32_t) override {}
};

// The logon prompt counts as cancelled.
struct NullRunHost : IRunHost {
    bool LogonPrompt(const std::string&) override { return false; }
    void PostCommand(unsigned) override {}
    void SaveSettings() override {}
};
