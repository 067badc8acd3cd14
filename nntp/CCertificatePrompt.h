#pragma once

#include <functional>
#include <string>

// What the user is shown about a certificate that failed verification.
struct CertificateDetails {
    std::string server;
    std::string reason; // why verification failed, in words
    std::string subject;
    std::string issuer;
    std::string validFrom;
    std::string validUntil;
    std::string fingerprint; // SHA-256, 64 hex digits
};

// Where the encrypted connections turn with a certificate they cannot verify, and with the
// messages about it. The host program installs both: the window asks the user (the trust
// dialog) and shows the messages in its log list; the headless mode has no question to ask,
// so such a certificate is refused there, and prints the messages with its log lines.
class CCertificatePrompt {
  public:
    // True when the user chose to trust the certificate.
    using AskFunction = std::function<bool(const CertificateDetails& details)>;
    using ReportFunction = std::function<void(const std::string& message)>;

    static void Install(AskFunction ask);
    static void InstallReporter(ReportFunction report);

    static bool CanAsk();
    // False without an installed question.
    static bool Ask(const CertificateDetails& details);
    // Without an installed reporter the message goes to standard error.
    static void Report(const std::string& message);

  private:
    static AskFunction& AskSlot();
    static ReportFunction& ReportSlot();
};
