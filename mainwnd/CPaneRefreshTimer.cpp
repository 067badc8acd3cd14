#include "mainwnd/CPaneRefreshTimer.h"

#include "mainwnd/PaneRefresh.h"

CPaneRefreshTimer::CPaneRefreshTimer(QObject* parent) : QTimer(parent) {
    setSingleShot(true);
    setInterval(kPaneRefreshInterval);
}

bool CPaneRefreshTimer::Schedule() {
    if (isActive())
        return false;
    start();
    return true;
}
