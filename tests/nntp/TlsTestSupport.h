#pragma once

#include <QSslConfiguration>

#include <string>
#include <vector>

#include "support/ScriptedServer.h"

// Certificates made by openssl once per test run: a test authority and, signed by it, a
// server certificate for 127.0.0.1 and localhost ("good"), an expired one ("expired") and
// one for another host ("other"); and a self-signed one for 127.0.0.1 ("self").
class TestCertificates {
  public:
    static const TestCertificates& Get();

    bool Made() const { return m_bMade; }
    ScriptedServer::TlsIdentity Identity(const std::string& name, bool implicit = true) const;
    std::string CaFile() const { return m_strDir + "/ca.pem"; }
    // The SHA-256 fingerprint as openssl prints it: pairs of upper-case digits with colons.
    std::string Fingerprint(const std::string& name) const;

  private:
    TestCertificates();
    std::string m_strDir;
    bool m_bMade = false;
};

// The test authority is trusted by every connection made while this lives.
class TrustTestAuthority {
  public:
    TrustTestAuthority();
    ~TrustTestAuthority();
    TrustTestAuthority(const TrustTestAuthority&) = delete;
    TrustTestAuthority& operator=(const TrustTestAuthority&) = delete;

  private:
    QSslConfiguration m_saved;
};

// The messages about encryption, and the certificate questions with the answer given.
class CertificateReports {
  public:
    CertificateReports();
    ~CertificateReports();
    CertificateReports(const CertificateReports&) = delete;
    CertificateReports& operator=(const CertificateReports&) = delete;

    // From now on every question is answered with `trust`.
    void Answer(bool trust);

    std::vector<std::string> messages;
    std::vector<std::string> questions; // "server|reason|fingerprint" of each question
};

// Fingerprint digits without colons.
std::string Digits(std::string fingerprint);
