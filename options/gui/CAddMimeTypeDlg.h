#pragma once

#include "app/gui/CHelpDialog.h"
#include "options/MimeActionEntry.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

// The "Add Mime Type" dialog: a type of at most 100 characters and its action, Extract or
// Ignore. It also edits a row of the Mime page, then as "Edit Mime Type". OK is enabled only
// while the type holds more than blanks.
class CAddMimeTypeDlg : public CHelpDialog {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 144;
    static constexpr uint32_t kTypeEdit = 1090;
    static constexpr uint32_t kExtractRadio = 1091;
    static constexpr uint32_t kIgnoreRadio = 1092;
    static constexpr int kMaxTypeLength = 100;

    // Adding: an empty type, Extract.
    explicit CAddMimeTypeDlg(QWidget* parent = nullptr);
    // Editing the row `entry`.
    CAddMimeTypeDlg(const MimeActionEntry& entry, QWidget* parent);

    // The type without surrounding blanks (the bytes it was given while left as it was) and
    // the action: 0 for Ignore; for Extract 1, or the number the row had for Extract.
    MimeActionEntry Entry() const;

  private:
    CAddMimeTypeDlg(const MimeActionEntry& entry, const QString& title, QWidget* parent);
    void UpdateOk();

    const MimeActionEntry m_original;
    QLineEdit* m_pType;
    QRadioButton* m_pExtract;
    QRadioButton* m_pIgnore;
    QPushButton* m_pOk;
};
