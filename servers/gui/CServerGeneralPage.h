#pragma once

#include <string>

#include "app/gui/CHelpPropertyPage.h"
#include "servers/CServerRecord.h"

class QCheckBox;
class QFormLayout;
class QLineEdit;

// The "General" page of a news server's sheet: its name and the logon account. It edits
// copies; Apply stores them into the name and settings it was given. A page given a name shows
// it read-only (a server is never renamed); an empty name is typed by the user and must be
// usable as a server name.
class CServerGeneralPage : public CHelpPropertyPage {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 76;
    static constexpr uint32_t kNameEdit = 1002;
    static constexpr uint32_t kLogonCheck = 1011;
    static constexpr uint32_t kAccountEdit = 1008;
    static constexpr uint32_t kPasswordEdit = 1009;

    CServerGeneralPage(std::string& server, CServerRecord::Settings& settings,
                       QWidget* parent = nullptr);

    bool Validate() override;
    void Apply() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* AddEdit(uint32_t controlId, const std::string& text);
    void EnableLogonFields(bool enable);
    void AlignFields();
    // The name as it will be stored: what was typed, without blanks around it.
    std::string TypedName() const;
    bool Refuse(const QString& message);

    std::string& m_strServer;
    CServerRecord::Settings& m_settings;
    QLineEdit* m_pName;
    QCheckBox* m_pLoginRequired;
    QLineEdit* m_pUser;
    QLineEdit* m_pPassword;
    QFormLayout* m_pNameForm;
    QFormLayout* m_pAccountForm = nullptr;
    bool m_bAligned = false;
};
