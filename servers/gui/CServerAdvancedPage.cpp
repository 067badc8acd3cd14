#include "servers/gui/CServerAdvancedPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

#include <array>

#include "app/gui/HelpIds.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TableText.h"
#include "platform/StringIds.h"

namespace {

// Room for the digits of a port and the frame around them.
constexpr int kPortChars = 8;

// The slider's positions: the timeout each stands for and its text.
struct TimeoutStep {
    uint32_t timeout;
    unsigned textId;
};
constexpr std::array<TimeoutStep, 3> kTimeoutSteps = {{
    {30000, ids::kThirtySeconds},
    {60000, ids::kOneMinute},
    {120000, ids::kTwoMinutes},
}};

// A timeout the slider does not offer shows at the first position.
int PositionOf(uint32_t timeout) {
    for (std::size_t position = 1; position < kTimeoutSteps.size(); ++position) {
        if (kTimeoutSteps[position].timeout == timeout)
            return static_cast<int>(position);
    }
    return 0;
}

// The choices of the encryption list, in the order shown.
struct EncryptionChoice {
    CServerRecord::Encryption encryption;
    const char* text;
};
constexpr std::array<EncryptionChoice, 3> kEncryptionChoices = {{
    {CServerRecord::Encryption::None, "None (plain text)"},
    {CServerRecord::Encryption::Implicit, "TLS from the first byte"},
    {CServerRecord::Encryption::StartTls, "STARTTLS before the logon"},
}};

const TimeoutStep& StepAt(int position) {
    const bool offered = position > 0 && position < static_cast<int>(kTimeoutSteps.size());
    return kTimeoutSteps[offered ? static_cast<std::size_t>(position) : 0];
}

} // namespace

CServerAdvancedPage::CServerAdvancedPage(CServerRecord::Settings& settings, QWidget* parent)
    : CHelpPropertyPage(kTemplateId, 0, parent), m_settings(settings),
      m_nTimeout(settings.uTimeout), m_pPort(new QLineEdit(QString::number(settings.uPort), this)),
      m_pSlider(new QSlider(Qt::Horizontal, this)), m_pTimeoutText(new QLabel(this)),
      m_pEncryption(new QComboBox(this)),
      m_pVerify(new QCheckBox(QStringLiteral("&Verify the server's certificate"), this)) {
    SetCaption(QStringLiteral("Advanced"));

    // Digits only; the range is checked when the page is left, with a message.
    m_pPort->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pPort));
    m_pPort->setFixedWidth(
        m_pPort->fontMetrics().horizontalAdvance(QString(kPortChars, QLatin1Char('0'))));
    SetControlId(m_pPort, kPortEdit);
    SetHelpContextId(m_pPort, DialogHelpId(kTemplateId, kPortEdit));
    auto* useDefault = new QPushButton(QStringLiteral("Use &Default"), this);
    SetControlId(useDefault, kDefaultButton);
    SetHelpContextId(useDefault, DialogHelpId(kTemplateId, kDefaultButton));
    connect(useDefault, &QPushButton::clicked, this, [this] {
        m_pPort->setText(QString::number(CServerRecord::DefaultPort(ChosenEncryption())));
        m_pPort->setFocus();
    });

    m_pSlider->setRange(0, static_cast<int>(kTimeoutSteps.size()) - 1);
    m_pSlider->setPageStep(1);
    m_pSlider->setTickPosition(QSlider::TicksBelow);
    m_pSlider->setTickInterval(1);
    m_pSlider->setValue(PositionOf(m_nTimeout));
    SetControlId(m_pSlider, kTimeoutSlider);
    SetHelpContextId(m_pSlider, DialogHelpId(kTemplateId, kTimeoutSlider));
    m_pTimeoutText->setAlignment(Qt::AlignCenter);
    SetControlId(m_pTimeoutText, kTimeoutText);
    SetHelpContextId(m_pTimeoutText, DialogHelpId(kTemplateId, kTimeoutSlider));
    ShowTimeout(m_pSlider->value());
    connect(m_pSlider, &QSlider::valueChanged, this, &CServerAdvancedPage::OnSliderMoved);

    auto* portBox = new QGroupBox(QStringLiteral("Server Port Number"), this);
    auto* port = new QHBoxLayout(portBox);
    auto* portLabel = new QLabel(QStringLiteral("&News Server:"), portBox);
    portLabel->setBuddy(m_pPort);
    port->addWidget(portLabel);
    port->addWidget(m_pPort);
    port->addStretch();
    port->addWidget(useDefault);

    auto* timeoutBox = new QGroupBox(QStringLiteral("Server &Timeout"), this);
    auto* timeout = new QGridLayout(timeoutBox);
    timeout->addWidget(new QLabel(QStringLiteral("Short"), timeoutBox), 0, 0);
    timeout->addWidget(m_pSlider, 0, 1);
    timeout->addWidget(new QLabel(QStringLiteral("Long"), timeoutBox), 0, 2);
    timeout->addWidget(m_pTimeoutText, 1, 1);
    timeout->setColumnStretch(1, 1);

    for (const EncryptionChoice& choice : kEncryptionChoices) {
        m_pEncryption->addItem(QString::fromLatin1(choice.text));
        if (choice.encryption == settings.eEncryption)
            m_pEncryption->setCurrentIndex(m_pEncryption->count() - 1);
    }
    SetControlId(m_pEncryption, kEncryptionCombo);
    SetHelpContextId(m_pEncryption, DialogHelpId(kTemplateId, kEncryptionCombo));
    m_pVerify->setChecked(settings.bVerifyCertificate);
    m_pVerify->setEnabled(settings.eEncryption != CServerRecord::Encryption::None);
    SetControlId(m_pVerify, kVerifyCheck);
    SetHelpContextId(m_pVerify, DialogHelpId(kTemplateId, kVerifyCheck));
    connect(m_pEncryption, &QComboBox::activated, this, &CServerAdvancedPage::OnEncryptionChosen);

    auto* encryptionBox = new QGroupBox(QStringLiteral("Encryption"), this);
    auto* encryption = new QGridLayout(encryptionBox);
    auto* encryptionLabel = new QLabel(QStringLiteral("&Encrypt:"), encryptionBox);
    encryptionLabel->setBuddy(m_pEncryption);
    encryption->addWidget(encryptionLabel, 0, 0);
    encryption->addWidget(m_pEncryption, 0, 1);
    encryption->addWidget(m_pVerify, 1, 0, 1, 2);
    encryption->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(portBox);
    layout->addWidget(timeoutBox);
    layout->addWidget(encryptionBox);
    layout->addStretch();
}

void CServerAdvancedPage::OnSliderMoved(int position) {
    m_nTimeout = StepAt(position).timeout;
    ShowTimeout(position);
}

void CServerAdvancedPage::ShowTimeout(int position) {
    m_pTimeoutText->setText(TableText(StepAt(position).textId));
}

// TLS from the first byte has a port of its own: proposed while the port is still the plain one.
void CServerAdvancedPage::OnEncryptionChosen() {
    const CServerRecord::Encryption chosen = ChosenEncryption();
    m_pVerify->setEnabled(chosen != CServerRecord::Encryption::None);
    if (chosen == CServerRecord::Encryption::Implicit &&
        m_pPort->text() == QString::number(CServerRecord::kDefaultPort))
        m_pPort->setText(QString::number(CServerRecord::kDefaultTlsPort));
}

CServerRecord::Encryption CServerAdvancedPage::ChosenEncryption() const {
    return kEncryptionChoices[static_cast<std::size_t>(m_pEncryption->currentIndex())].encryption;
}

bool CServerAdvancedPage::Validate() {
    const QString text = m_pPort->text();
    if (text.isEmpty())
        return Refuse(TableText(ids::kEnterInteger));
    bool fits = false;
    const qulonglong port = text.toULongLong(&fits);
    if (!fits || port > kMaxPort)
        return Refuse(TableText(ids::kEnterIntegerBetween).arg(kMinPort).arg(kMaxPort));
    return true;
}

bool CServerAdvancedPage::Refuse(const QString& message) {
    ShowMessage(this, QMessageBox::Warning, message);
    m_pPort->setFocus();
    m_pPort->selectAll();
    return false;
}

void CServerAdvancedPage::Apply() {
    m_settings.uPort = m_pPort->text().toUInt();
    m_settings.uTimeout = m_nTimeout;
    m_settings.eEncryption = ChosenEncryption();
    m_settings.bVerifyCertificate = m_pVerify->isChecked();
}
