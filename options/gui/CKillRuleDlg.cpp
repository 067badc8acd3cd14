#include "options/gui/CKillRuleDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

#include "app/gui/DialogButtons.h"
#include "app/gui/EditText.h"
#include "app/gui/HelpIds.h"

namespace {

// By field code: 0 author, 1 subject, 2 file name.
constexpr std::array<const char*, 3> kFieldNames = {"Author", "Subject", "File Name"};
constexpr int kPatternWidth = 260;

bool IsKnownField(int32_t field) {
    return field >= 0 && field < static_cast<int32_t>(kFieldNames.size());
}

} // namespace

CKillRuleDlg::CKillRuleDlg(const KillRule& rule, QWidget* parent)
    : CHelpDialog(kTemplateId, parent), m_original(rule), m_pField(new QComboBox(this)),
      m_pPattern(new QLineEdit(EditText(rule.pattern), this)), m_pOk(MakeOkButton(this)) {
    setWindowTitle(QStringLiteral("Kill Rule"));
    for (const char* name : kFieldNames)
        m_pField->addItem(QString::fromLatin1(name));
    m_pField->setCurrentIndex(IsKnownField(rule.field) ? rule.field : -1);
    m_pPattern->setMinimumWidth(kPatternWidth);
    // 1000 and 1001 are other controls in other dialogs.
    SetDialogControlId(m_pField, kTemplateId, kFieldCombo);
    SetDialogControlId(m_pPattern, kTemplateId, kPatternEdit);

    auto* fields = new QFormLayout;
    fields->setLabelAlignment(Qt::AlignLeft);
    fields->addRow(QStringLiteral("Search &Field:"), m_pField);
    fields->addRow(QStringLiteral("Search &String:"), m_pPattern);

    QPushButton* cancel = MakeCancelButton(this);
    connect(m_pOk, &QPushButton::clicked, this, &CKillRuleDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CKillRuleDlg::reject);
    connect(m_pPattern, &QLineEdit::textChanged, this, &CKillRuleDlg::UpdateOk);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(fields);
    layout->addSpacing(8);
    AddButtonRow(layout, {m_pOk, cancel});
    UpdateOk();
    m_pPattern->setFocus();
}

void CKillRuleDlg::UpdateOk() {
    m_pOk->setEnabled(!m_pPattern->text().isEmpty());
}

KillRule CKillRuleDlg::Rule() const {
    const int chosen = m_pField->currentIndex();
    return {chosen >= 0 ? chosen : m_original.field,
            EditedBytes(m_pPattern->text(), m_original.pattern)};
}

bool CKillRuleDlg::Edit(KillRule& rule, QWidget* parent) {
    CKillRuleDlg dialog(rule, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    rule = dialog.Rule();
    return true;
}

QString CKillRuleDlg::FieldName(int32_t field) {
    return IsKnownField(field) ? QString::fromLatin1(kFieldNames[static_cast<size_t>(field)])
                               : QString::number(field);
}
