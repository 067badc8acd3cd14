#include "nntp/gui/CCertificateDialog.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/gui/DialogButtons.h"
#include "app/gui/DisplayText.h"
#include "app/gui/HelpIds.h"
#include "app/gui/TableText.h"
#include "nntp/CCertificateCheck.h"
#include "platform/StringIds.h"

namespace {

constexpr int kIconSize = 32;
// The fingerprint's pairs shown on one line: two lines for SHA-256.
constexpr std::size_t kPairsPerLine = 16;
constexpr int kTextWidth = 420;
// Characters without a blank after which a line may break all the same.
constexpr int kLongestUnbroken = 32;

// The text with a zero-width space in every run of kLongestUnbroken characters without a blank,
// so that a long host or certificate name wraps instead of widening the dialog.
QString Breakable(const QString& text) {
    QString result;
    int run = 0;
    for (const QChar c : text) {
        result += c;
        run = c.isSpace() ? 0 : run + 1;
        if (run == kLongestUnbroken) {
            result += QChar(0x200B);
            run = 0;
        }
    }
    return result;
}

// The fingerprint in pairs, broken into lines of kPairsPerLine pairs.
QString FingerprintLines(const std::string& fingerprint) {
    const std::string grouped = CCertificateCheck::GroupedFingerprint(fingerprint);
    constexpr std::size_t kLineChars = kPairsPerLine * 3;
    QString text;
    for (std::size_t at = 0; at < grouped.size(); at += kLineChars) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QString::fromStdString(grouped.substr(at, kLineChars - 1));
    }
    return text;
}

QLabel* Field(QWidget* parent, const QString& text, uint32_t controlId) {
    auto* field = new QLabel(text, parent);
    field->setTextFormat(Qt::PlainText);
    field->setWordWrap(true);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SetControlId(field, controlId);
    SetHelpContextId(field, DialogHelpId(CCertificateDialog::kTemplateId, controlId));
    return field;
}

} // namespace

CCertificateDialog::CCertificateDialog(const CertificateDetails& details, QWidget* parent)
    : CHelpDialog(kTemplateId, parent) {
    setWindowTitle(TableText(ids::kUntrustedCertificateTitle));
    const QString server = Breakable(DisplayText(details.server));

    auto* icon = new QLabel(this);
    icon->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* problem = new QLabel(
        TableText(ids::kCertificateUnverified).arg(server, QString::fromStdString(details.reason)),
        this);
    problem->setTextFormat(Qt::PlainText);
    problem->setWordWrap(true);
    problem->setMinimumWidth(kTextWidth);

    QLabel* fingerprint = Field(this, FingerprintLines(details.fingerprint), kFingerprintField);
    fingerprint->setWordWrap(false);
    fingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* fields = new QFormLayout;
    fields->setLabelAlignment(Qt::AlignLeft);
    fields->addRow(QStringLiteral("Subject:"),
                   Field(this, Breakable(DisplayText(details.subject)), kSubjectField));
    fields->addRow(QStringLiteral("Issuer:"),
                   Field(this, Breakable(DisplayText(details.issuer)), kIssuerField));
    fields->addRow(QStringLiteral("Valid:"),
                   Field(this,
                         QStringLiteral("%1 to %2")
                             .arg(QString::fromStdString(details.validFrom),
                                  QString::fromStdString(details.validUntil)),
                         kValidityField));
    fields->addRow(QStringLiteral("SHA-256:"), fingerprint);

    auto* question = new QLabel(TableText(ids::kTrustCertificateQuestion).arg(server), this);
    question->setTextFormat(Qt::PlainText);
    question->setWordWrap(true);

    auto* text = new QVBoxLayout;
    text->addWidget(problem);
    text->addSpacing(8);
    text->addLayout(fields);
    text->addSpacing(8);
    text->addWidget(question);
    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon);
    body->addLayout(text, 1);

    auto* trust = new QPushButton(QStringLiteral("&Trust"), this);
    SetControlId(trust, kTrustButton);
    SetHelpContextId(trust, DialogHelpId(kTemplateId, kTrustButton));
    trust->setAutoDefault(false);
    QPushButton* cancel = MakeCancelButton(this);
    cancel->setDefault(true);
    connect(trust, &QPushButton::clicked, this, &CCertificateDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &CCertificateDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(body);
    layout->addSpacing(8);
    AddButtonRow(layout, {trust, cancel});
    cancel->setFocus();
}

bool CCertificateDialog::Ask(const CertificateDetails& details, QWidget* parent) {
    CCertificateDialog dialog(details, parent);
    return dialog.exec() == QDialog::Accepted;
}
