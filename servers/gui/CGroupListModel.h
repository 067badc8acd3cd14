#pragma once

#include <QAbstractListModel>
#include <QIcon>

#include <string_view>
#include <vector>

class CGroupTable;
class QItemSelection;
struct GroupRecord;

// The group list of the Newsgroups dialog: the records of one server's table that a tab and a
// filter let through, in table order. Rows hold only the record's address; the name is turned
// into screen text when the view asks for it, so a list of a hundred thousand groups costs one
// pointer a row. The records belong to the table, which must outlive the rows (Clear or Fill
// again before destroying it).
class CGroupListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    // The tabs, by index.
    enum Tab { kAll = 0, kSubscribed = 1, kNew = 2 };

    explicit CGroupListModel(QObject* parent = nullptr);

    // Lists the records of `table` that `tab` shows and whose name contains `filter` (bytes,
    // case-sensitive; empty: every name).
    void Fill(const CGroupTable& table, int tab, std::string_view filter);
    void Clear();

    GroupRecord* RecordAt(int row) const;
    // Sets (or clears) `subscribed` of the records in `rows`. The rows stay
    // listed whatever the tab until the next Fill.
    void SetSubscribed(const QItemSelection& rows, bool subscribed);
    // Inverts `subscribed` of the record in `row`.
    void ToggleSubscribed(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    void IconsChanged(int first, int last);

    std::vector<GroupRecord*> m_rows;
    const QIcon m_groupIcon;
    const QIcon m_subscribedIcon;
};
