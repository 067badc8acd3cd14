#include "app/gui/CHelpTopicsModel.h"

#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

CHelpTopicsModel::CHelpTopicsModel(const CHelpFile& file, QObject* parent)
    : QAbstractItemModel(parent), m_file(file) {
    std::vector<Chapter> chapters(m_file.Chapters().size());
    for (size_t index = 0; index < chapters.size(); ++index)
        chapters[index].title = Text(m_file.Chapters()[index]);
    for (const HelpTopic& topic : m_file.Topics())
        chapters[topic.chapter].topics.push_back(&topic);
    for (Chapter& chapter : chapters) {
        if (!chapter.topics.empty())
            m_chapters.push_back(std::move(chapter));
    }
}

QModelIndex CHelpTopicsModel::TopicIndex(uint32_t id) const {
    for (size_t chapter = 0; chapter < m_chapters.size(); ++chapter) {
        const std::vector<const HelpTopic*>& topics = m_chapters[chapter].topics;
        for (size_t row = 0; row < topics.size(); ++row) {
            if (topics[row]->id == id)
                return createIndex(static_cast<int>(row), TitleColumn, chapter + 1);
        }
    }
    return {};
}

const HelpTopic* CHelpTopicsModel::Topic(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() == kChapterRow)
        return nullptr;
    return m_chapters[index.internalId() - 1].topics[static_cast<size_t>(index.row())];
}

QModelIndex CHelpTopicsModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, kChapterRow);
    return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex CHelpTopicsModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kChapterRow)
        return {};
    return createIndex(static_cast<int>(child.internalId() - 1), TitleColumn, kChapterRow);
}

int CHelpTopicsModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(m_chapters.size());
    if (parent.internalId() != kChapterRow || parent.column() != TitleColumn)
        return 0;
    return static_cast<int>(m_chapters[static_cast<size_t>(parent.row())].topics.size());
}

int CHelpTopicsModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

QVariant CHelpTopicsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (const HelpTopic* topic = Topic(index))
        return TopicData(*topic, index.column(), role);
    return ChapterData(m_chapters[static_cast<size_t>(index.row())], index.column(), role);
}

QVariant CHelpTopicsModel::ChapterData(const Chapter& chapter, int column, int role) const {
    const bool title = column == TitleColumn;
    if (title && (role == Qt::DisplayRole || role == SearchTextRole))
        return chapter.title;
    return {};
}

QVariant CHelpTopicsModel::TopicData(const HelpTopic& topic, int column, int role) const {
    const QString number = Text(CHelpFile::NumberText(topic.id));
    switch (role) {
    case Qt::DisplayRole:
        return column == TitleColumn ? Text(topic.title) : number;
    case TopicIdRole:
        return topic.id;
    case SearchTextRole: {
        QString text = Text(topic.title) + '\n' + number;
        for (const std::string& paragraph : topic.paragraphs)
            text += '\n' + Text(paragraph);
        return text;
    }
    default:
        return {};
    }
}

QVariant CHelpTopicsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    const unsigned id = section == TitleColumn ? ids::kColumnTopic : ids::kColumnNumber;
    return Text(CStringTable::Load(id));
}
