#pragma once

#include <memory>
#include <string>

#include "app/gui/CHelpDialog.h"

class CGroupListModel;
class CGroupTable;
class CProfile;
class QItemSelection;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabBar;
class QTimer;
class QTreeView;

// The "Newsgroups" dialog: the groups of each server, filtered by a text and by the tabs All,
// Subscribed and New, to subscribe and unsubscribe, and Reset List to fetch a server's whole
// list again. Every change goes straight into the tables of g_serverTables (Reset List
// replaces one); there is nothing to undo, and Close and Escape end it alike. The caller saves
// the tables afterwards.
class CNewsgroupsDlg : public CHelpDialog {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 130;
    static constexpr uint32_t kServerList = 1001;
    static constexpr uint32_t kFilterEdit = 1002;
    static constexpr uint32_t kTabs = 1004;
    static constexpr uint32_t kSubscribe = 1005;
    static constexpr uint32_t kUnsubscribe = 1006;
    static constexpr uint32_t kResetList = 1007;
    static constexpr uint32_t kGroupList = 1010;
    static constexpr uint32_t kClose = 1;
    // Typing re-filters the list this long after the last change.
    static constexpr int kFilterDelayMs = 2000;

    // `profile` holds the server records that a list fetch reads and stamps.
    CNewsgroupsDlg(CProfile& profile, QWidget* parent = nullptr);
    ~CNewsgroupsDlg() override;

    // For tests, which cannot wait two seconds a keystroke.
    void SetFilterDelay(int milliseconds);

  public slots:
    // Ignored while a full list is being read: the fetch holds the table being replaced.
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* MakeServerList();
    QWidget* MakeFilterEdit();
    QWidget* MakeTabs();
    QWidget* MakeGroupList();
    QPushButton* MakeButton(const char* text, uint32_t id);
    void Arrange(QWidget* servers, QWidget* filter, QWidget* tabs, QWidget* groups,
                 QPushButton* close);
    void AddServers();

    CGroupTable* SelectedTable() const;
    void OnServerSelectionChanged();
    void Refresh();
    // The new groups of the "New" tab; false when the user asks to try again.
    bool FetchNewGroups(CGroupTable& table);
    void OnItemChangedNewsgroups(const QItemSelection& selected, const QItemSelection& deselected);
    void SetSelected(bool subscribed);
    void OnDoubleClick();
    void OnResetList();
    // Reads the full list into a new table; nullptr when it failed or the logon was cancelled.
    // `retry` tells whether the user asked to try again after a failure.
    std::unique_ptr<CGroupTable> FetchFullList(const CGroupTable& old, bool& retry);
    void ReplaceTable(const CGroupTable& old, std::unique_ptr<CGroupTable> fresh);
    bool AskRetry(const std::string& server);

    CProfile& m_profile;
    QListWidget* m_pServers = nullptr;
    QLineEdit* m_pFilter = nullptr;
    QTabBar* m_pTabs = nullptr;
    QTreeView* m_pGroups = nullptr;
    CGroupListModel* m_pModel = nullptr;
    QPushButton* m_pSubscribe = nullptr;
    QPushButton* m_pUnsubscribe = nullptr;
    QPushButton* m_pResetList = nullptr;
    QTimer* m_pFilterTimer;
    bool m_bFetching = false;
};
