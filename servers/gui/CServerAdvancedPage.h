#pragma once

#include "app/gui/CHelpPropertyPage.h"
#include "servers/CServerRecord.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

// The "Advanced" page of a news server's sheet: the port, the response timeout and the
// encryption. The slider offers three timeouts; a stored value it does not offer is kept until
// the slider is moved. Apply stores the values into the settings it was given.
class CServerAdvancedPage : public CHelpPropertyPage {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 77;
    static constexpr uint32_t kPortEdit = 1012;
    static constexpr uint32_t kDefaultButton = 1014;
    static constexpr uint32_t kTimeoutSlider = 1016;
    static constexpr uint32_t kTimeoutText = 1017;
    static constexpr uint32_t kEncryptionCombo = 1018;
    static constexpr uint32_t kVerifyCheck = 1019;
    // The ports the page accepts.
    static constexpr uint32_t kMinPort = 0;
    static constexpr uint32_t kMaxPort = 9999;

    explicit CServerAdvancedPage(CServerRecord::Settings& settings, QWidget* parent = nullptr);

    bool Validate() override;
    void Apply() override;

  private:
    void OnSliderMoved(int position);
    void ShowTimeout(int position);
    void OnEncryptionChosen();
    CServerRecord::Encryption ChosenEncryption() const;
    bool Refuse(const QString& message);

    CServerRecord::Settings& m_settings;
    uint32_t m_nTimeout;
    QLineEdit* m_pPort;
    QSlider* m_pSlider;
    QLabel* m_pTimeoutText;
    QComboBox* m_pEncryption;
    QCheckBox* m_pVerify;
};
