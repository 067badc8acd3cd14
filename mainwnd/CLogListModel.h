#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

// The lines of the activity log as received; they are made screen text only when a view asks
// for them.
class CLogListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // One insertion for the whole batch: views lay themselves out once.
    void Append(std::vector<std::string> lines);
    void Clear();

    const std::string& Line(int row) const { return m_lines[static_cast<std::size_t>(row)]; }

  private:
    std::vector<std::string> m_lines;
};
