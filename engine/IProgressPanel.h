#pragma once

#include <cstdint>
#include <string>

// The progress panel beside the log list.
class IProgressPanel {
  public:
    virtual ~IProgressPanel() = default;
    virtual void SetGroup(const std::string& group) = 0;
    virtual void SetGroupProgress(uint32_t current, uint32_t first, uint32_t last) = 0;
    virtual void SetArticle(const std::string& messageId, const std::string& author,
                            const std::string& subject, const std::string& fileName) = 0;
    virtual void SetMultipart(int part, int total) = 0;
    virtual void SetArticleProgress(uint32_t lines, uint32_t expected) = 0;
};
