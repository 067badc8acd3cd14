#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/IArticleList.h"
#include "engine/ILogList.h"
#include "engine/IProgressPanel.h"
#include "engine/IRunHost.h"

// Panes and host that remember what the run showed and asked for.
struct FakeLogList : ILogList {
    std::vector<std::string> lines;
    void AddLine(const std::string& text) override { lines.push_back(text); }
    void ResetContent() override { lines.clear(); }
};

struct FakeArticleList : IArticleList {
    struct Row {
        std::string fileName;
        uint32_t lines;
        std::string author, subject;
    };
    std::vector<Row> rows;
    void AddArticle(const std::string& fileName, uint32_t lines, const std::string& author,
                    const std::string& subject) override {
        rows.push_back({fileName, lines, author, subject});
    }
    void DeleteAllItems() override { rows.clear(); }
};

struct FakeProgressPanel : IProgressPanel {
    std::vector<std::string> groups;
    std::vector<std::string> multipart; // "part/total" as shown
    std::vector<uint32_t> groupPositions;
    uint32_t articleProgressCalls = 0;
    void SetGroup(const std::string& group) override { groups.push_back(group); }
    void SetGroupProgress(uint32_t current, uint32_t, uint32_t) override {
        groupPositions.push_back(current);
    }
    void SetArticle(const std::string&, const std::string&, const std::string&,
                    const std::string&) override {}
    void SetMultipart(int part, int total) override {
        multipart.push_back(std::to_string(part) + "/" + std::to_string(total));
    }
    void SetArticleProgress(uint32_t, uint32_t) override { ++articleProgressCalls; }
};

struct FakeRunHost : IRunHost {
    bool confirmLogon = true;
    int logonPrompts = 0;
    int saves = 0;
    std::vector<unsigned> posted;
    std::function<void()> onLogon; // what the user enters in the prompt
    std::function<void()> onPost;
    bool LogonPrompt(const std::string&) override {
        ++logonPrompts;
        if (onLogon)
            onLogon();
        return confirmLogon;
    }
    void PostCommand(unsigned id) override {
        posted.push_back(id);
        if (onPost)
            onPost();
    }
    void SaveSettings() override { ++saves; }
    std::vector<bool> stateChanges; // true: the run started, false: it returned to idle
    void OnRunStateChanged(bool running) override { stateChanges.push_back(running); }
};
