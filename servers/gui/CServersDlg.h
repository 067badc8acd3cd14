#pragma once

#include <optional>
#include <string>

#include "app/gui/CHelpDialog.h"
#include "servers/CServerRecord.h"

class CGroupTable;
class CProfile;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The "Servers" dialog: the list of news servers (one per table of g_serverTables), and Add,
// Remove and Properties. Every change is made at once: the record in the profile, the table in
// g_serverTables and, on Remove, the server's newsgroup files, which go to the trash.
class CServersDlg : public CHelpDialog {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 32;
    static constexpr uint32_t kServerList = 1048;
    static constexpr uint32_t kAddButton = 1043;
    static constexpr uint32_t kRemoveButton = 1044;
    static constexpr uint32_t kPropertiesButton = 1041;
    static constexpr uint32_t kCloseButton = 1;

    CServersDlg(CProfile& profile, QWidget* parent);

  private:
    QPushButton* AddButton(const QString& text, uint32_t controlId);
    void InsertItem(const std::string& name);
    QListWidgetItem* SelectedItem() const;
    static std::string ItemName(const QListWidgetItem* item);
    void OnSelectionChanged();

    void OnAdd();
    void OnRemove();
    void OnProperties();
    // Runs the server's sheet on copies; true, with the copies changed, on OK.
    bool RunSheet(unsigned captionId, std::string& name, CServerRecord::Settings& settings);
    // A table for a server just added, loaded from its file or, as a rule, from the server.
    std::unique_ptr<CGroupTable> LoadNewTable(const std::string& name);
    // The reason a load failed; nothing when it succeeded or the user cancelled the logon.
    std::optional<std::string> Load(CGroupTable& table);
    void TrashNewsrcFiles(CGroupTable& table);

    CProfile& m_profile;
    QListWidget* m_pList;
    QPushButton* m_pRemove;
    QPushButton* m_pProperties;
};
