#include "servers/gui/CGroupListModel.h"

#include <QItemSelection>

#include <algorithm>

#include "app/gui/DisplayText.h"
#include "app/gui/ResourceIcon.h"
#include "app/gui/TableText.h"
#include "platform/StringIds.h"
#include "servers/CGroupTable.h"

namespace {

bool Shows(const GroupRecord& record, int tab, std::string_view filter) {
    if (tab == CGroupListModel::kSubscribed && !record.subscribed)
        return false;
    if (tab == CGroupListModel::kNew && !record.isNew)
        return false;
    return filter.empty() || std::string_view(record.name).find(filter) != std::string_view::npos;
}

} // namespace

CGroupListModel::CGroupListModel(QObject* parent)
    : QAbstractListModel(parent), m_groupIcon(ResourceIcon("group", QStyle::SP_DirIcon)),
      m_subscribedIcon(ResourceIcon("group-subscribed", QStyle::SP_DialogApplyButton)) {}

void CGroupListModel::Fill(const CGroupTable& table, int tab, std::string_view filter) {
    beginResetModel();
    m_rows.clear();
    const std::size_t count = table.GetCount();
    for (std::size_t i = 0; i < count; ++i) {
        GroupRecord& record = table.GetAt(i);
        if (Shows(record, tab, filter))
            m_rows.push_back(&record);
    }
    endResetModel();
}

void CGroupListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

GroupRecord* CGroupListModel::RecordAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return nullptr;
    return m_rows[static_cast<std::size_t>(row)];
}

void CGroupListModel::SetSubscribed(const QItemSelection& rows, bool subscribed) {
    if (rows.isEmpty())
        return;
    int first = rowCount();
    int last = -1;
    for (const QItemSelectionRange& range : rows) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            m_rows[static_cast<std::size_t>(row)]->subscribed = subscribed;
        first = std::min(first, range.top());
        last = std::max(last, range.bottom());
    }
    IconsChanged(first, last);
}

void CGroupListModel::ToggleSubscribed(int row) {
    GroupRecord* record = RecordAt(row);
    if (record == nullptr)
        return;
    record->subscribed = !record->subscribed;
    IconsChanged(row, row);
}

void CGroupListModel::IconsChanged(int first, int last) {
    emit dataChanged(index(first), index(last), {Qt::DecorationRole});
}

int CGroupListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant CGroupListModel::data(const QModelIndex& index, int role) const {
    const GroupRecord* record = index.column() == 0 ? RecordAt(index.row()) : nullptr;
    if (record == nullptr)
        return {};
    // The tip shows a name too long for the column in full.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return DisplayText(record->name);
    if (role == Qt::DecorationRole)
        return record->subscribed ? m_subscribedIcon : m_groupIcon;
    return {};
}

QVariant CGroupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section != 0 || orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return TableText(ids::kNewsgroupsColumn);
}

Qt::ItemFlags CGroupListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}
