#pragma once

#include <QSplitter>

class COutputList;
class CProfile;
class CStatusWnd;

// The top pane of the main window: the log list on the left, the progress pane on the right.
// The progress pane keeps its width when the window is resized; the log list takes the rest.
class CSplit2 : public QSplitter {
    Q_OBJECT

  public:
    explicit CSplit2(QWidget* parent = nullptr);

    COutputList* LogList() const { return m_pLogList; }
    CStatusWnd* StatusWindow() const { return m_pStatusWnd; }

    // The divider: "nSplitLeft", the log list's width; a stored 0 leaves the layout alone.
    void SaveSettings(bool load, CProfile& profile);
    int LeftWidth() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void ApplyLeftWidth();

    COutputList* m_pLogList;
    CStatusWnd* m_pStatusWnd;
    // A width loaded before the splitter had its real size, applied when it is shown.
    int m_nPendingLeft = 0;
};
