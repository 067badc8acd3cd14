#include "mainwnd/CSplit2.h"

#include <algorithm>

#include "mainwnd/COutputList.h"
#include "mainwnd/CStatusWnd.h"
#include "mainwnd/PrimaryScreenWidth.h"
#include "options/CSettings.h"
#include "platform/CProfile.h"

namespace {

constexpr char kLeftWidthName[] = "nSplitLeft";

} // namespace

CSplit2::CSplit2(QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), m_pLogList(new COutputList(this)),
      m_pStatusWnd(new CStatusWnd(this)) {
    setChildrenCollapsible(false);
    setStretchFactor(0, 1);
    setStretchFactor(1, 0);
    // On a window as wide as the screen the progress pane sits at the right edge.
    const int panelWidth = m_pStatusWnd->sizeHint().width();
    setSizes({std::max(0, PrimaryScreenWidth() - panelWidth - handleWidth()), panelWidth});
}

void CSplit2::SaveSettings(bool load, CProfile& profile) {
    if (!load) {
        profile.WriteProfileInt(CSettings::kSection, kLeftWidthName,
                                static_cast<uint32_t>(LeftWidth()));
        return;
    }
    const uint32_t stored = profile.GetProfileInt(CSettings::kSection, kLeftWidthName, 0);
    if (stored == 0)
        return;
    m_nPendingLeft = static_cast<int>(std::min<uint32_t>(stored, QWIDGETSIZE_MAX));
    if (isVisible())
        ApplyLeftWidth();
}

int CSplit2::LeftWidth() const {
    return m_nPendingLeft != 0 ? m_nPendingLeft : sizes().value(0);
}

void CSplit2::showEvent(QShowEvent* event) {
    QSplitter::showEvent(event);
    ApplyLeftWidth();
}

void CSplit2::ApplyLeftWidth() {
    if (m_nPendingLeft == 0)
        return;
    const QList<int> current = sizes();
    const int total = current.value(0) + current.value(1);
    setSizes({m_nPendingLeft, std::max(0, total - m_nPendingLeft)});
    m_nPendingLeft = 0;
}
