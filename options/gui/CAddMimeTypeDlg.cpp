#include "options/gui/CAddMimeTypeDlg.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/gui/DialogButtons.h"
#include "app/gui/EditText.h"
#include "app/gui/HelpIds.h"
#include "options/gui/CMimeTypeModel.h"

namespace {

constexpr int kTypeWidth = 260;

QRadioButton* MakeRadio(uint32_t action, uint32_t controlId, QWidget* parent) {
    auto* radio = new QRadioButton(CMimeTypeModel::ActionText(action), parent);
    SetControlId(radio, controlId);
    return radio;
}

} // namespace

CAddMimeTypeDlg::CAddMimeTypeDlg(QWidget* parent)
    : CAddMimeTypeDlg(MimeActionEntry{1, {}}, QStringLiteral("Add Mime Type"), parent) {}

CAddMimeTypeDlg::CAddMimeTypeDlg(const MimeActionEntry& entry, QWidget* parent)
    : CAddMimeTypeDlg(entry, QStringLiteral("Edit Mime Type"), parent) {}

CAddMimeTypeDlg::CAddMimeTypeDlg(const MimeActionEntry& entry, const QString& title,
                                 QWidget* parent)
    : CHelpDialog(kTemplateId, parent), m_original(entry),
      m_pType(new QLineEdit(EditText(entry.type), this)),
      m_pExtract(MakeRadio(1, kExtractRadio, this)), m_pIgnore(MakeRadio(0, kIgnoreRadio, this)),
      m_pOk(MakeOkButton(this)) {
    setWindowTitle(title);
    // A longer type stored by hand is shown whole, so that OK without a change keeps it.
    m_pType->setMaxLength(std::max<int>(kMaxTypeLength, m_pType->text().size()));
    m_pType->setMinimumWidth(kTypeWidth);
    m_pType->setPlaceholderText(QStringLiteral("image/jpeg, or image for all images"));
    SetControlId(m_pType, kTypeEdit);
    (entry.action != 0 ? m_pExtract : m_pIgnore)->setChecked(true);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Type:"), m_pType);

    auto* action = new QGroupBox(QStringLiteral("&Action"), this);
    auto* radios = new QHBoxLayout(action);
    radios->addWidget(m_pExtract);
    radios->addWidget(m_pIgnore);
    radios->addStretch();

    QPushButton* cancel = MakeCancelButton(this);
    connect(m_pOk, &QPushButton::clicked, this, &CAddMimeTypeDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CAddMimeTypeDlg::reject);
    connect(m_pType, &QLineEdit::textChanged, this, &CAddMimeTypeDlg::UpdateOk);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(fields);
    layout->addWidget(action);
    layout->addSpacing(4);
    AddButtonRow(layout, {m_pOk, cancel});
    UpdateOk();
    m_pType->setFocus();
}

void CAddMimeTypeDlg::UpdateOk() {
    m_pOk->setEnabled(!m_pType->text().trimmed().isEmpty());
}

MimeActionEntry CAddMimeTypeDlg::Entry() const {
    MimeActionEntry entry;
    entry.type = EditedBytes(m_pType->text().trimmed(), m_original.type);
    if (m_pExtract->isChecked())
        entry.action = m_original.action != 0 ? m_original.action : 1;
    return entry;
}
