#include "options/gui/CMimeTypeModel.h"

#include <QByteArray>

#include "app/gui/DisplayText.h"
#include "app/gui/ResourceIcon.h"

namespace {

// MIME types compare as the registry compares value names: ASCII letters without case.
QByteArray Folded(std::string_view type) {
    return QByteArray(type.data(), static_cast<qsizetype>(type.size())).toLower();
}

} // namespace

CMimeTypeModel::CMimeTypeModel(QObject* parent) : QAbstractTableModel(parent) {}

void CMimeTypeModel::SetRows(const std::vector<MimeActionEntry>& rows) {
    beginResetModel();
    m_rows.clear();
    for (const MimeActionEntry& entry : rows) {
        if (FindType(entry.type) < 0)
            m_rows.push_back(entry);
    }
    endResetModel();
}

int CMimeTypeModel::FindType(std::string_view type) const {
    const QByteArray folded = Folded(type);
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (Folded(m_rows[row].type) == folded)
            return static_cast<int>(row);
    }
    return -1;
}

int CMimeTypeModel::AddRow(const MimeActionEntry& entry) {
    const int existing = FindType(entry.type);
    if (existing >= 0)
        return ReplaceRow(existing, entry);
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_rows.push_back(entry);
    endInsertRows();
    return row;
}

int CMimeTypeModel::ReplaceRow(int row, const MimeActionEntry& entry) {
    const int other = FindType(entry.type);
    if (other >= 0 && other != row) {
        RemoveRow(other);
        if (other < row)
            --row;
    }
    m_rows[static_cast<size_t>(row)] = entry;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
    return row;
}

void CMimeTypeModel::RemoveRow(int row) {
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

QString CMimeTypeModel::ActionText(uint32_t action) {
    return action != 0 ? QStringLiteral("Extract") : QStringLiteral("Ignore");
}

const char* CMimeTypeModel::IconName(std::string_view type) {
    static constexpr std::pair<const char*, const char*> kMajorTypes[] = {
        {"application", "mime-application"},
        {"audio", "mime-audio"},
        {"image", "mime-image"},
        {"message", "mime-message"},
        {"multipart", "mime-multipart"},
        {"text", "mime-text"},
        {"video", "mime-video"},
    };
    const QByteArray folded = Folded(type);
    for (const auto& [major, icon] : kMajorTypes) {
        if (folded.startsWith(major))
            return icon;
    }
    return "mime-general";
}

int CMimeTypeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CMimeTypeModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CMimeTypeModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const MimeActionEntry& entry = Row(index.row());
    // The tooltip shows a type too long for its column in full.
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && index.column() == kTypeColumn))
        return index.column() == kTypeColumn ? DisplayText(entry.type) : ActionText(entry.action);
    if (role == Qt::DecorationRole && index.column() == kTypeColumn)
        return ResourceIcon(IconName(entry.type), QStyle::SP_FileIcon);
    return {};
}

QVariant CMimeTypeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == kTypeColumn ? QStringLiteral("Type") : QStringLiteral("Action");
}
