#pragma once

#include <QString>

#include <cstdint>

#include "app/gui/CHelpDialog.h"
#include "options/KillRule.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// The "Kill Rule" dialog: the field a rule looks at and its pattern. OK is enabled only while
// the pattern is not empty.
class CKillRuleDlg : public CHelpDialog {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 1052;
    static constexpr uint32_t kFieldCombo = 1000;
    static constexpr uint32_t kPatternEdit = 1001;

    explicit CKillRuleDlg(const KillRule& rule, QWidget* parent = nullptr);

    // The rule as entered. A field code the list does not know (a hand-edited kill file)
    // stays as it was unless another field is chosen; a pattern left as it was keeps its bytes.
    KillRule Rule() const;

    // Shows the dialog modally with `rule` filled in; on OK stores the entered rule into it.
    static bool Edit(KillRule& rule, QWidget* parent);

    // "Author", "Subject" and "File Name" by field code; an unknown code as its number.
    static QString FieldName(int32_t field);

  private:
    void UpdateOk();

    const KillRule m_original;
    QComboBox* m_pField;
    QLineEdit* m_pPattern;
    QPushButton* m_pOk;
};
