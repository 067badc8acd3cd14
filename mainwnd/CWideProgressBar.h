#pragma once

#include <QProgressBar>

#include <cstdint>

#include "mainwnd/CPaneRefreshTimer.h"

// A progress bar over unsigned 32-bit values. The control counts in int, so ranges above
// INT_MAX are scaled down by a power of two; the bar and its percentage stay right.
// The control repaints itself at once on every visible change, which a run asks for up to
// thousands of times a second: the values are kept at once and shown with the other panes.
class CWideProgressBar : public QProgressBar {
    Q_OBJECT

  public:
    explicit CWideProgressBar(QWidget* parent = nullptr);

    // Range 0 to maximum. Values beyond the range show as its end; a range of 0 as an empty,
    // quiet bar (not the toolkit's busy indicator).
    void SetProgress(uint32_t maximum, uint32_t value);
    // Progress of unknown extent: an empty bar that names the count.
    void SetCount(uint32_t count);

    uint32_t Maximum() const { return m_uMaximum; }
    uint32_t Value() const { return m_uValue; }

    // Shows the values kept now rather than at the next redraw.
    void ShowNow();

  private:
    void ScheduleShow();
    void SetControl(int maximum, int value, const QString& format);

    uint32_t m_uMaximum = 0;
    uint32_t m_uValue = 0;
    bool m_bCount = false;
    CPaneRefreshTimer m_redraw;
};
