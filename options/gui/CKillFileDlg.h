#pragma once

#include <cstdint>
#include <vector>

#include "app/gui/CHelpDialog.h"
#include "options/KillRule.h"

class QPushButton;
class QTreeWidget;

// The "Kill File" dialog: lists the kill rules and adds, edits and removes them. Every change
// goes straight into the rule list it was given; there is nothing to cancel. The rows are
// sorted by field name, so they need not follow the rules' order; each row knows its rule.
class CKillFileDlg : public CHelpDialog {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 1051;
    static constexpr uint32_t kCloseButton = 1;
    static constexpr uint32_t kRuleList = 1000;
    static constexpr uint32_t kAddButton = 1001;
    static constexpr uint32_t kRemoveButton = 1002;
    static constexpr uint32_t kEditButton = 1003;

    CKillFileDlg(std::vector<KillRule>& rules, QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QPushButton* AddButton(const char* text, uint32_t controlId);
    // Rebuilds the rows from the rules and selects the row of rule `selected` (-1: none).
    void Fill(int selected);
    // The index of the rule the selected row shows, or -1.
    int SelectedRule() const;
    void UpdateButtons();
    void SplitColumns();
    void OnAdd();
    void OnRemove();
    void OnEdit();

    std::vector<KillRule>& m_rules;
    QTreeWidget* m_pList;
    QPushButton* m_pRemove = nullptr;
    QPushButton* m_pEdit = nullptr;
    bool m_bColumnsSplit = false;
};
