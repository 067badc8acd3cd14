#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "engine/IArticleList.h"

class CConsoleProgress;

// The article list of the headless mode: one line per decoded file on standard output,
// "File: name (lines lines) author / subject". Log lines never begin with "File: ".
class CConsoleArticleList : public IArticleList {
  public:
    explicit CConsoleArticleList(std::ostream& out, CConsoleProgress* progress = nullptr);

    void AddArticle(const std::string& fileName, uint32_t lines, const std::string& author,
                    const std::string& subject) override;
    void DeleteAllItems() override {}

    static std::string FormatArticle(const std::string& fileName, uint32_t lines,
                                     const std::string& author, const std::string& subject);

  private:
    std::ostream& m_out;
    CConsoleProgress* m_pProgress;
};
