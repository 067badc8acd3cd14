#include "nntp/CEventPumpProgress.h"

#include <QCoreApplication>

void CEventPumpProgress::SetCounterText(const std::string&) {}

bool CEventPumpProgress::PumpMessages() {
    QCoreApplication::processEvents();
    return false;
}
