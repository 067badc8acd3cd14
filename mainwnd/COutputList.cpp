#include "mainwnd/COutputList.h"

#include <QHeaderView>

#include <utility>

#include "platform/CStringTable.h"

COutputList::COutputList(QWidget* parent) : CReportView(parent) {
    setModel(&m_model);
    // The one column is as wide as the pane; longer lines are cut, not elided or scrolled to.
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(&m_batchTimer, &QTimer::timeout, this, &COutputList::ShowPendingLines);
}

void COutputList::AddLine(const std::string& text) {
    m_pending.push_back(text);
    m_batchTimer.Schedule();
}

void COutputList::ResetContent() {
    m_batchTimer.stop();
    m_pending.clear();
    m_model.Clear();
}

void COutputList::AddMessage(unsigned id) {
    AddLine(CStringTable::Load(id));
}

void COutputList::AddMessage(unsigned id, const std::string& arg) {
    AddLine(CStringTable::Format(id, arg));
}

void COutputList::ShowPendingLines() {
    m_model.Append(std::exchange(m_pending, {}));
    scrollToBottom();
}
