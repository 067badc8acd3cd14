#include "mainwnd/CWideProgressBar.h"

#include <algorithm>
#include <climits>

namespace {

const QString kPercentFormat = QStringLiteral("%p%");

int ScaleShift(uint32_t maximum) {
    int shift = 0;
    while ((maximum >> shift) > static_cast<uint32_t>(INT_MAX))
        ++shift;
    return shift;
}

} // namespace

CWideProgressBar::CWideProgressBar(QWidget* parent) : QProgressBar(parent) {
    connect(&m_redraw, &QTimer::timeout, this, &CWideProgressBar::ShowNow);
    ShowNow();
}

void CWideProgressBar::SetProgress(uint32_t maximum, uint32_t value) {
    m_uMaximum = maximum;
    m_uValue = std::min(value, maximum);
    m_bCount = false;
    ScheduleShow();
}

void CWideProgressBar::SetCount(uint32_t count) {
    m_uMaximum = 0;
    m_uValue = count;
    m_bCount = true;
    ScheduleShow();
}

void CWideProgressBar::ScheduleShow() {
    m_redraw.Schedule();
}

void CWideProgressBar::ShowNow() {
    m_redraw.stop();
    if (m_bCount)
        return SetControl(1, 0, QString::number(m_uValue));
    if (m_uMaximum == 0)
        return SetControl(1, 0, QString());
    const int shift = ScaleShift(m_uMaximum);
    SetControl(static_cast<int>(m_uMaximum >> shift), static_cast<int>(m_uValue >> shift),
               kPercentFormat);
}

void CWideProgressBar::SetControl(int maximum, int value, const QString& format) {
    if (maximum != this->maximum() || minimum() != 0)
        setRange(0, maximum);
    setValue(value);
    if (format != this->format())
        setFormat(format);
}
