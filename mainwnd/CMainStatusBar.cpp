#include "mainwnd/CMainStatusBar.h"

#include <QLabel>

#include <ctime>

#include "app/gui/TableText.h"
#include "mainwnd/KeyLockState.h"
#include "platform/StringIds.h"

namespace {

constexpr int kClockMilliseconds = 1000;

// The C library's "%x" and "%X": the locale's own date and time representations.
QString LocalTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return QString::fromLocal8Bit(text, static_cast<qsizetype>(length));
}

QLabel* MakePane(QWidget* parent, const QString& text) {
    auto* pane = new QLabel(text, parent);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setAlignment(Qt::AlignCenter);
    pane->setContentsMargins(4, 0, 4, 0);
    return pane;
}

// An indicator keeps the width of its text whether its key is on or off.
QLabel* MakeIndicator(QWidget* parent, unsigned id) {
    QLabel* pane = MakePane(parent, TableText(id));
    pane->setFixedWidth(pane->sizeHint().width());
    return pane;
}

} // namespace

CMainStatusBar::CMainStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    m_pMessage = new QLabel(TableText(ids::kForHelpPressF1), this);
    m_pMessage->setContentsMargins(4, 0, 4, 0);
    m_pMessage->setMinimumWidth(1);
    m_pCaps = MakeIndicator(this, ids::kIndicatorCaps);
    m_pNum = MakeIndicator(this, ids::kIndicatorNum);
    m_pScroll = MakeIndicator(this, ids::kIndicatorScroll);
    // Until the first tick the two panes show their names.
    m_pDate = MakePane(this, TableText(ids::kIndicatorDate));
    m_pTime = MakePane(this, TableText(ids::kIndicatorTime));
    addWidget(m_pMessage, 1);
    for (QLabel* pane : {m_pCaps, m_pNum, m_pScroll, m_pDate, m_pTime})
        addWidget(pane);
    connect(&m_clock, &QTimer::timeout, this, &CMainStatusBar::UpdatePanes);
    m_clock.start(kClockMilliseconds);
}

void CMainStatusBar::SetPaneText(QLabel* pane, const QString& text) {
    if (pane->text() == text)
        return;
    pane->setText(text);
    const QMargins margins = pane->contentsMargins();
    pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(text) + margins.left() +
                        margins.right() + 2 * pane->frameWidth() + 4);
}

void CMainStatusBar::UpdatePanes() {
    SetPaneText(m_pDate, LocalTime("%x"));
    SetPaneText(m_pTime, LocalTime("%X"));
    const KeyLocks locks = KeyLockState();
    m_pCaps->setText(locks.caps ? TableText(ids::kIndicatorCaps) : QString());
    m_pNum->setText(locks.num ? TableText(ids::kIndicatorNum) : QString());
    m_pScroll->setText(locks.scroll ? TableText(ids::kIndicatorScroll) : QString());
    emit Ticked();
}

void CMainStatusBar::ShowPrompt(const QString& prompt) {
    m_strPrompt = prompt;
    if (!prompt.isEmpty())
        m_pMessage->setText(prompt);
    else
        m_pMessage->setText(
            TableText(m_bHelpMode ? ids::kSelectObjectForHelp : ids::kForHelpPressF1));
}

void CMainStatusBar::SetMenuOpen(bool open) {
    if (m_bMenuOpen == open)
        return;
    m_bMenuOpen = open;
    for (QLabel* pane : {m_pCaps, m_pNum, m_pScroll, m_pDate, m_pTime})
        pane->setVisible(!open);
    if (!open)
        ShowPrompt(QString());
}

void CMainStatusBar::SetContextHelpMode(bool on) {
    m_bHelpMode = on;
    ShowPrompt(m_strPrompt);
}

QString CMainStatusBar::MessageText() const {
    return m_pMessage->text();
}

QLabel* CMainStatusBar::Pane(int index) const {
    QLabel* const panes[] = {m_pMessage, m_pCaps, m_pNum, m_pScroll, m_pDate, m_pTime};
    return panes[index];
}
