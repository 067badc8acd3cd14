#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>

#include <string>

#include "nntp/CCertificatePrompt.h"

// Whether the certificate a server presented may be used, from what the TLS layer found wrong
// with it and from the server record's "Verify Certificate" and "Certificate Fingerprint". The
// handshake never fails on such findings itself: the decision is taken here, before anything is
// sent over the connection.
class CCertificateCheck {
  public:
    enum class Verdict {
        Accepted,
        Unverified, // the user may still choose to trust it
        Changed,    // a fingerprint is trusted and this is not it: refused, never asked about
        Missing,    // the server sent no certificate
    };

    // `pinned`: the trusted fingerprint in canonical form, or empty.
    CCertificateCheck(std::string server, const QSslCertificate& certificate,
                      const QList<QSslError>& errors, bool verify, std::string pinned);

    Verdict Decide() const { return m_eVerdict; }
    const std::string& Fingerprint() const { return m_details.fingerprint; }
    const CertificateDetails& Details() const { return m_details; }
    // The log message for a certificate that is not used; `howToTrust` adds which record
    // value trusts it.
    std::string RefusalMessage(bool howToTrust) const;
    std::string TrustedMessage() const;

    // SHA-256 of the certificate's DER form as 64 upper-case hex digits.
    static std::string FingerprintOf(const QSslCertificate& certificate);
    // The same in pairs with colons, as certificate viewers show it.
    static std::string GroupedFingerprint(const std::string& fingerprint);

  private:
    static std::string Reasons(const QList<QSslError>& errors);

    CertificateDetails m_details;
    std::string m_strPinned;
    Verdict m_eVerdict = Verdict::Accepted;
};
