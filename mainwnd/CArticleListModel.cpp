#include "mainwnd/CArticleListModel.h"

#include "app/gui/DisplayText.h"
#include "engine/UnknownLineCount.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

constexpr unsigned kHeadings[CArticleListModel::kColumnCount] = {
    ids::kColumnFileName, ids::kColumnLines, ids::kColumnAuthor, ids::kColumnSubject};

// Shown for an article without a Lines header instead of 4294967295.
constexpr char kUnknownLinesText[] = "?";

// Every column, headings included, reads from the left, numbers too.
constexpr int kAlignment = Qt::AlignLeft | Qt::AlignVCenter;

} // namespace

int CArticleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CArticleListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CArticleListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::TextAlignmentRole)
        return kAlignment;
    if (role != Qt::DisplayRole)
        return {};
    return DisplayText(RawText(index.row(), index.column()));
}

QVariant CArticleListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return kAlignment;
    if (role != Qt::DisplayRole)
        return {};
    return QString::fromStdString(CStringTable::Load(kHeadings[section]));
}

void CArticleListModel::Append(Row row) {
    const int index = rowCount();
    beginInsertRows({}, index, index);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void CArticleListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

std::string CArticleListModel::RawText(int row, int column) const {
    const Row& article = m_rows.at(static_cast<std::size_t>(row));
    switch (column) {
    case kFileName:
        return article.fileName;
    case kLines:
        return article.lines == kUnknownLineCount ? kUnknownLinesText
                                                  : std::to_string(article.lines);
    case kAuthor:
        return article.author;
    case kSubject:
        return article.subject;
    default:
        return {};
    }
}
