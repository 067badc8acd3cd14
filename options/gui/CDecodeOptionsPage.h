#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "app/gui/CHelpPropertyPage.h"

struct CSettings;
class CSettingCheckBox;
class QLineEdit;

// The Options sheet's "Decode" page: which articles are decoded. The controls below
// "Articles without part identifiers" are enabled only while it is ticked; their values are
// kept and stored while they are not.
class CDecodeOptionsPage : public CHelpPropertyPage {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 142;
    static constexpr uint32_t kNoPartID = 1070;
    static constexpr uint32_t kReplies = 1071;
    static constexpr uint32_t kNoSubject = 1072;
    static constexpr uint32_t kNoLines = 1073;
    static constexpr uint32_t kMinLines = 1074;
    static constexpr uint32_t kMaxLines = 1075;

    // Shows a copy of `settings`, which Apply writes back.
    explicit CDecodeOptionsPage(CSettings& settings, QWidget* parent = nullptr);

    // The line counts must be unsigned 32-bit integers; the first that is not is named in a
    // message and gets the focus.
    bool Validate() override;
    void Apply() override;

    // Decimal digits with blanks around them, at most 4294967295; nothing otherwise.
    static std::optional<uint32_t> ParseUnsigned(const QString& text);

  private:
    QLineEdit* AddNumberField(uint32_t controlId, uint32_t value);
    void EnableDependents();

    CSettings& m_settings;
    CSettingCheckBox* m_pNoPartID;
    std::vector<CSettingCheckBox*> m_dependentChecks;
    QLineEdit* m_pMinLines = nullptr;
    QLineEdit* m_pMaxLines = nullptr;
    std::vector<QWidget*> m_dependents; // every control enabled by m_pNoPartID, with labels
};
