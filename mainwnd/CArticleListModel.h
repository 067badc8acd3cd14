#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <vector>

// The decoded files of a run, one row each, kept as the header bytes received.
class CArticleListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kFileName, kLines, kAuthor, kSubject, kColumnCount };

    struct Row {
        std::string fileName;
        uint32_t lines = 0;
        std::string author;
        std::string subject;
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Append(Row row);
    void Clear();

    // The bytes behind a cell: the Lines column as its decimal text.
    std::string RawText(int row, int column) const;

  private:
    std::vector<Row> m_rows;
};
