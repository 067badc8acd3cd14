#pragma once

#include <QWidget>

#include "engine/IProgressPanel.h"

class CProgressPanel;

// The progress pane beside the log list: a CProgressPanel that fills it.
class CStatusWnd : public QWidget, public IProgressPanel {
    Q_OBJECT

  public:
    explicit CStatusWnd(QWidget* parent = nullptr);

    void SetGroup(const std::string& group) override;
    void SetGroupProgress(uint32_t current, uint32_t first, uint32_t last) override;
    void SetArticle(const std::string& messageId, const std::string& author,
                    const std::string& subject, const std::string& fileName) override;
    void SetMultipart(int part, int total) override;
    // Redraws only on every fifth line and on the last three lines before the expected count.
    void SetArticleProgress(uint32_t lines, uint32_t expected) override;

    CProgressPanel& Panel() const { return *m_pPanel; }

  private:
    CProgressPanel* m_pPanel;
};
