#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <string_view>
#include <vector>

#include "options/MimeActionEntry.h"

// The rows of the Mime page: the MIME type action table in the order of its rows, with the
// columns "Type" (the type and an icon for its major type) and "Action" ("Extract" or
// "Ignore"). No two rows have the same type, letter case ignored.
class CMimeTypeModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kTypeColumn, kActionColumn, kColumnCount };

    explicit CMimeTypeModel(QObject* parent = nullptr);

    // Rows of the same type after the first are dropped.
    void SetRows(const std::vector<MimeActionEntry>& rows);
    const std::vector<MimeActionEntry>& Rows() const { return m_rows; }
    const MimeActionEntry& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }

    // Adds a row, or replaces the row of the same type where it stands. Returns its index.
    int AddRow(const MimeActionEntry& entry);
    // Replaces the row; another row that has the new type goes. Returns the row's new index.
    int ReplaceRow(int row, const MimeActionEntry& entry);
    void RemoveRow(int row);
    // The row of that type, letter case ignored, or -1.
    int FindType(std::string_view type) const;

    // "Extract" for any number but 0, "Ignore" for 0.
    static QString ActionText(uint32_t action);
    // The icon of a type's major type: "mime-text" for every type that begins with "text",
    // letter case ignored, ..., "mime-general" for the types none of the seven major types
    // begins.
    static const char* IconName(std::string_view type);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    std::vector<MimeActionEntry> m_rows;
};
