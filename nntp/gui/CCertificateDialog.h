#pragma once

#include "app/gui/CHelpDialog.h"
#include "nntp/CCertificatePrompt.h"

// "Untrusted Certificate": shows a server certificate that failed verification (why, subject,
// issuer, validity and SHA-256 fingerprint) and asks whether to trust it from now on. Cancel,
// the default button, keeps it untrusted.
class CCertificateDialog : public CHelpDialog {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 17;
    static constexpr uint32_t kSubjectField = 1060;
    static constexpr uint32_t kIssuerField = 1061;
    static constexpr uint32_t kValidityField = 1062;
    static constexpr uint32_t kFingerprintField = 1063;
    static constexpr uint32_t kTrustButton = 1064;

    explicit CCertificateDialog(const CertificateDetails& details, QWidget* parent = nullptr);

    // Shows the dialog modally; true when the user chose to trust the certificate. The function
    // that CCertificatePrompt::Install takes, with the window to centre on.
    static bool Ask(const CertificateDetails& details, QWidget* parent);
};
