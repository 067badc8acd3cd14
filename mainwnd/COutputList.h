#pragma once

#include <string>
#include <vector>

#include "engine/ILogList.h"
#include "mainwnd/CLogListModel.h"
#include "mainwnd/CPaneRefreshTimer.h"
#include "mainwnd/CReportView.h"

// The activity log pane: a plain list of lines, one per event of a run, the newest always in
// view; a line wider than the pane is cut at its edge. Lines that arrive close together are
// handed to the view in one batch, so that a run of a hundred thousand lines updates the view a
// few times a second rather than once per line.
class COutputList : public CReportView, public ILogList {
    Q_OBJECT

  public:
    explicit COutputList(QWidget* parent = nullptr);

    void AddLine(const std::string& text) override;
    void ResetContent() override;
    // The string-table message, with every "%1" replaced by arg in the second form.
    void AddMessage(unsigned id);
    void AddMessage(unsigned id, const std::string& arg);

    // The lines shown so far; lines still waiting for the next batch are not among them.
    const CLogListModel& Lines() const { return m_model; }

  private:
    void ShowPendingLines();

    CLogListModel m_model;
    std::vector<std::string> m_pending;
    CPaneRefreshTimer m_batchTimer;
};
