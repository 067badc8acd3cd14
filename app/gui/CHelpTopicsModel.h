#pragma once

#include <QAbstractItemModel>

#include <vector>

#include "app/gui/CHelpFile.h"

// The help file's topics grouped by chapter: chapters at the top level, their topics below,
// each with its title (column 0) and number (column 1). Chapters without topics are left out.
class CHelpTopicsModel : public QAbstractItemModel {
    Q_OBJECT

  public:
    enum Role {
        TopicIdRole = Qt::UserRole, // a topic's number; nothing on chapters
        SearchTextRole,             // the text a search looks through
    };
    enum Column { TitleColumn, NumberColumn, ColumnCount };

    // The model keeps a copy of the file's topics.
    explicit CHelpTopicsModel(const CHelpFile& file, QObject* parent = nullptr);

    // The index of the topic's title, invalid when the file has no such topic.
    QModelIndex TopicIndex(uint32_t id) const;
    // The topic at an index, nullptr on chapters.
    const HelpTopic* Topic(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    struct Chapter {
        QString title;
        std::vector<const HelpTopic*> topics;
    };
    // A chapter row's internal ID is 0, a topic row's its chapter's row plus 1.
    static constexpr quintptr kChapterRow = 0;

    QVariant ChapterData(const Chapter& chapter, int column, int role) const;
    QVariant TopicData(const HelpTopic& topic, int column, int role) const;

    const CHelpFile m_file;
    std::vector<Chapter> m_chapters; // pointing into m_file
};
