#pragma once

#include <QStatusBar>
#include <QTimer>

class QLabel;

// The frame's status bar: the message pane, the CAP, NUM and SCRL indicators and the Date
// and Time panes, which a one-second timer keeps current in the locale's formats, each
// sized to its text. While a menu is open a prompt takes the whole width.
class CMainStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    explicit CMainStatusBar(QWidget* parent = nullptr);

    // A command prompt; empty shows the idle text ("For Help, press F1", or the context-help
    // text while that mode is on).
    void ShowPrompt(const QString& prompt);
    // While a menu is open the message pane is stretched over the other panes.
    void SetMenuOpen(bool open);
    void SetContextHelpMode(bool on);
    // What the clock does each second: the Date and Time panes and the lock indicators.
    void UpdatePanes();

    QString MessageText() const;
    QLabel* Pane(int index) const; // 0 message, 1 CAP, 2 NUM, 3 SCRL, 4 Date, 5 Time

  signals:
    // Once a second, after the panes were updated: the frame's idle-time work.
    void Ticked();

  private:
    static void SetPaneText(QLabel* pane, const QString& text);

    QLabel* m_pMessage;
    QLabel* m_pCaps;
    QLabel* m_pNum;
    QLabel* m_pScroll;
    QLabel* m_pDate;
    QLabel* m_pTime;
    QTimer m_clock;
    bool m_bMenuOpen = false;
    bool m_bHelpMode = false;
    QString m_strPrompt;
};
