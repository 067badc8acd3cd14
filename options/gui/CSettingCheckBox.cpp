#include "options/gui/CSettingCheckBox.h"

#include "app/gui/HelpIds.h"

CSettingCheckBox::CSettingCheckBox(const Binding& binding, const CSettings& settings,
                                   QWidget* parent)
    : QCheckBox(QString::fromUtf8(binding.label), parent), m_member(binding.member) {
    SetControlId(this, binding.controlId);
    setChecked(settings.*m_member);
}
