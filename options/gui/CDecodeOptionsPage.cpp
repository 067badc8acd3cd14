#include "options/gui/CDecodeOptionsPage.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TableText.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <limits>

#include "app/gui/HelpIds.h"
#include "options/CSettings.h"
#include "options/gui/CSettingCheckBox.h"
#include "platform/StringIds.h"

namespace {

constexpr int kIndent = 20;
constexpr int kNumberWidth = 90;

const CSettingCheckBox::Binding kNoPartIDCheck = {CDecodeOptionsPage::kNoPartID,
                                                  "Articles without &part identifiers",
                                                  &CSettings::m_bDecodeNoPartID};

const CSettingCheckBox::Binding kDependentChecks[] = {
    {CDecodeOptionsPage::kReplies, "&Replies", &CSettings::m_bDecodeReplies},
    {CDecodeOptionsPage::kNoSubject, "Articles without &subjects", &CSettings::m_bDecodeNoSubject},
    {CDecodeOptionsPage::kNoLines, "Articles without &line counts", &CSettings::m_bDecodeNoLines},
};

} // namespace

CDecodeOptionsPage::CDecodeOptionsPage(CSettings& settings, QWidget* parent)
    : CHelpPropertyPage(kTemplateId, 0, parent), m_settings(settings),
      m_pNoPartID(new CSettingCheckBox(kNoPartIDCheck, settings, this)) {
    SetCaption(QStringLiteral("Decode"));
    // Created in the order of the page, which is the order of the Tab key.
    auto* indented = new QVBoxLayout;
    indented->setContentsMargins(kIndent, 0, 0, 0);
    for (const CSettingCheckBox::Binding& binding : kDependentChecks) {
        m_dependentChecks.push_back(new CSettingCheckBox(binding, settings, this));
        m_dependents.push_back(m_dependentChecks.back());
        indented->addWidget(m_dependentChecks.back());
    }

    m_pMinLines = AddNumberField(kMinLines, settings.m_uMinLines);
    m_pMaxLines = AddNumberField(kMaxLines, settings.m_uMaxLines);
    auto* numbers = new QFormLayout;
    numbers->setLabelAlignment(Qt::AlignLeft);
    numbers->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    for (auto [text, field] : {std::pair{"Min Lines", m_pMinLines}, {"Max Lines", m_pMaxLines}}) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setBuddy(field);
        numbers->addRow(label, field);
        m_dependents.push_back(label);
        m_dependents.push_back(field);
    }
    indented->addSpacing(4);
    indented->addLayout(numbers);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pNoPartID);
    layout->addLayout(indented);
    layout->addStretch();

    connect(m_pNoPartID, &QCheckBox::toggled, this, &CDecodeOptionsPage::EnableDependents);
    EnableDependents();
}

QLineEdit* CDecodeOptionsPage::AddNumberField(uint32_t controlId, uint32_t value) {
    auto* field = new QLineEdit(QString::number(value), this);
    field->setFixedWidth(kNumberWidth);
    SetControlId(field, controlId);
    return field;
}

void CDecodeOptionsPage::EnableDependents() {
    for (QWidget* control : m_dependents)
        control->setEnabled(m_pNoPartID->isChecked());
}

std::optional<uint32_t> CDecodeOptionsPage::ParseUnsigned(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    uint64_t value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c.unicode() - u'0');
        if (value > std::numeric_limits<uint32_t>::max())
            return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

bool CDecodeOptionsPage::Validate() {
    for (QLineEdit* field : {m_pMinLines, m_pMaxLines}) {
        if (ParseUnsigned(field->text()))
            continue;
        ShowMessage(this, QMessageBox::Warning, TableText(ids::kEnterPositiveInteger));
        // A field greyed out since it was typed in is reached through the box that enables it.
        if (field->isEnabled()) {
            field->setFocus();
            field->selectAll();
        } else {
            m_pNoPartID->setFocus();
        }
        return false;
    }
    return true;
}

void CDecodeOptionsPage::Apply() {
    m_pNoPartID->Store(m_settings);
    for (const CSettingCheckBox* check : m_dependentChecks)
        check->Store(m_settings);
    m_settings.m_uMinLines = *ParseUnsigned(m_pMinLines->text());
    m_settings.m_uMaxLines = *ParseUnsigned(m_pMaxLines->text());
}
