#pragma once

#include "app/gui/CHelpPropertyPage.h"

class CHive;
class CMimeTypeModel;
class QPushButton;
class QTreeView;

// The Options sheet's "Mime" page: the MIME type action table, one row per type in the order
// of the table. It reads the table from the hive when it is first shown and, when it was shown,
// stores it back when the sheet is closed with OK.
class CMimeOptionsPage : public CHelpPropertyPage {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 143;
    static constexpr uint32_t kTypeList = 1080;
    static constexpr uint32_t kAdd = 1081;
    static constexpr uint32_t kEdit = 1082;
    static constexpr uint32_t kRemove = 1083;

    explicit CMimeOptionsPage(CHive& hive, QWidget* parent = nullptr);

    const CMimeTypeModel& Model() const { return *m_pModel; }
    bool IsLoaded() const { return m_bLoaded; }

    // Writes the rows into the hive (which the caller saves), when the page has been shown.
    void Apply() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Load();
    void Add();
    void Edit();
    void Remove();
    int SelectedRow() const;
    void Select(int row);
    void UpdateButtons();

    CHive& m_hive;
    bool m_bLoaded = false;
    CMimeTypeModel* m_pModel;
    QTreeView* m_pList;
    QPushButton* m_pAdd;
    QPushButton* m_pEdit;
    QPushButton* m_pRemove;
};
