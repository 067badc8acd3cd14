#pragma once

#include <QPointer>

#include <string>

#include "engine/IArticleList.h"
#include "mainwnd/CArticleListModel.h"
#include "mainwnd/CPaneRefreshTimer.h"
#include "mainwnd/CReportView.h"

class CProfile;
class QMenu;

// The article list pane: a report of the files a run decodes, one row each. While the user
// keeps a row selected the view stays where it is; otherwise it follows the newest row. Rows
// that arrive close together are painted together: a run may add thousands.
class COutputWindow : public CReportView, public IArticleList {
    Q_OBJECT

  public:
    explicit COutputWindow(QWidget* parent = nullptr);

    void AddArticle(const std::string& fileName, uint32_t lines, const std::string& author,
                    const std::string& subject) override;
    void DeleteAllItems() override;

    // The column widths: read with the current widths as defaults, or written.
    void SaveSettings(bool load, CProfile& profile);

    // The menu shown on a right click anywhere in the view; it stays the caller's.
    void SetContextMenu(QMenu* menu);

    bool HasSelection() const;
    // The raw bytes of a cell of the selected row (columns as CArticleListModel::Column);
    // empty without a selection.
    std::string SelectedText(int column) const;

    const CArticleListModel& Articles() const { return m_model; }

  signals:
    void SelectionChanged();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void SetFirstStartWidths();
    void ShowNewRows();

    CArticleListModel m_model;
    // Runs while new rows wait to be painted; the view does not paint meanwhile.
    CPaneRefreshTimer m_paintTimer;
    QPointer<QMenu> m_pContextMenu;
};
