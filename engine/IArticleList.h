#pragma once

#include <cstdint>
#include <string>

// The list of decoded files.
class IArticleList {
  public:
    virtual ~IArticleList() = default;
    virtual void AddArticle(const std::string& fileName, uint32_t lines, const std::string& author,
                            const std::string& subject) = 0;
    virtual void DeleteAllItems() = 0;
};
