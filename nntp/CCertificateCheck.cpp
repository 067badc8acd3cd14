#include "nntp/CCertificateCheck.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QString>

#include <algorithm>
#include <vector>

#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

QString Text(unsigned id) {
    return QString::fromStdString(CStringTable::Load(id));
}

// The string-table words for the findings a user can act on; 0 for the rarer ones, which
// keep the TLS layer's own words.
unsigned ReasonId(QSslError::SslError error) {
    switch (error) {
    case QSslError::CertificateExpired:
        return ids::kCertificateExpired;
    case QSslError::CertificateNotYetValid:
        return ids::kCertificateNotYetValid;
    case QSslError::HostNameMismatch:
        return ids::kCertificateWrongHost;
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return ids::kCertificateUnknownIssuer;
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return ids::kCertificateSelfSigned;
    case QSslError::CertificateRevoked:
        return ids::kCertificateRevoked;
    case QSslError::NoPeerCertificate:
        return ids::kNoCertificate;
    default:
        return 0;
    }
}

std::string NameOf(const QSslCertificate& certificate, bool issuer) {
    return (issuer ? certificate.issuerDisplayName() : certificate.subjectDisplayName())
        .toStdString();
}

std::string DateOf(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")).toStdString();
}

} // namespace

CCertificateCheck::CCertificateCheck(std::string server, const QSslCertificate& certificate,
                                     const QList<QSslError>& errors, bool verify,
                                     std::string pinned)
    : m_strPinned(std::move(pinned)) {
    m_details.server = std::move(server);
    if (certificate.isNull()) {
        m_details.reason = CStringTable::Load(ids::kNoCertificate);
        m_eVerdict = Verdict::Missing;
        return;
    }
    m_details.fingerprint = FingerprintOf(certificate);
    m_details.subject = NameOf(certificate, false);
    m_details.issuer = NameOf(certificate, true);
    m_details.validFrom = DateOf(certificate.effectiveDate());
    m_details.validUntil = DateOf(certificate.expiryDate());
    m_details.reason = Reasons(errors);
    if (errors.isEmpty() || !verify || m_details.fingerprint == m_strPinned)
        m_eVerdict = Verdict::Accepted;
    else if (!m_strPinned.empty())
        m_eVerdict = Verdict::Changed;
    else
        m_eVerdict = Verdict::Unverified;
}

// Each distinct finding once, in the order found.
std::string CCertificateCheck::Reasons(const QList<QSslError>& errors) {
    std::vector<QString> reasons;
    for (const QSslError& error : errors) {
        const unsigned id = ReasonId(error.error());
        const QString reason = id ? Text(id) : error.errorString();
        if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end())
            reasons.push_back(reason);
    }
    QString joined;
    for (const QString& reason : reasons)
        joined += (joined.isEmpty() ? QString() : QStringLiteral(", ")) + reason;
    return joined.toStdString();
}

std::string CCertificateCheck::RefusalMessage(bool howToTrust) const {
    const QString server = QString::fromStdString(m_details.server);
    const QString fingerprint = QString::fromStdString(m_details.fingerprint);
    const QString reason = QString::fromStdString(m_details.reason);
    switch (m_eVerdict) {
    case Verdict::Missing:
        return Text(ids::kTlsFailed).arg(server, reason).toStdString();
    case Verdict::Changed:
        return Text(ids::kCertificateChanged)
            .arg(server, QString::fromStdString(m_strPinned), reason, fingerprint)
            .toStdString();
    case Verdict::Accepted:
    case Verdict::Unverified:
        break;
    }
    QString message = Text(ids::kCertificateRefused).arg(server, reason, fingerprint);
    if (howToTrust)
        message += QLatin1Char(' ') + Text(ids::kHowToTrustCertificate).arg(server, fingerprint);
    return message.toStdString();
}

std::string CCertificateCheck::TrustedMessage() const {
    return Text(ids::kCertificateTrusted)
        .arg(QString::fromStdString(m_details.server), QString::fromStdString(Fingerprint()))
        .toStdString();
}

std::string CCertificateCheck::FingerprintOf(const QSslCertificate& certificate) {
    return certificate.digest(QCryptographicHash::Sha256).toHex().toUpper().toStdString();
}

std::string CCertificateCheck::GroupedFingerprint(const std::string& fingerprint) {
    std::string grouped;
    for (std::size_t i = 0; i < fingerprint.size(); i += 2) {
        if (!grouped.empty())
            grouped += ':';
        grouped += fingerprint.substr(i, 2);
    }
    return grouped;
}
