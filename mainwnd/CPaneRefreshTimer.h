#pragma once

#include <QTimer>

// The moment a pane shows what changed since its last refresh: a single-shot timer of the
// pane refresh interval that the first change waiting starts, so that changes coming faster
// (a line or an article at a time) are shown together.
class CPaneRefreshTimer : public QTimer {
  public:
    explicit CPaneRefreshTimer(QObject* parent = nullptr);

    // Starts the interval unless a change already waits; true when it started now.
    bool Schedule();
};
