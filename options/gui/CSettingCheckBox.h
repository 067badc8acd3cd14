#pragma once

#include <QCheckBox>

#include <cstdint>

#include "options/CSettings.h"

// A check box of an options page bound to one flag of the settings: it starts as the flag is
// and writes the flag only when asked.
class CSettingCheckBox : public QCheckBox {
    Q_OBJECT

  public:
    struct Binding {
        uint32_t controlId; // also the check box's help topic
        const char* label;
        bool CSettings::*member;
    };

    CSettingCheckBox(const Binding& binding, const CSettings& settings, QWidget* parent);

    void Store(CSettings& settings) const { settings.*m_member = isChecked(); }

  private:
    bool CSettings::*const m_member;
};
