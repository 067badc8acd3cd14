#include "nntp/CCertificatePrompt.h"

#include <iostream>

CCertificatePrompt::AskFunction& CCertificatePrompt::AskSlot() {
    static AskFunction ask;
    return ask;
}

CCertificatePrompt::ReportFunction& CCertificatePrompt::ReportSlot() {
    static ReportFunction report;
    return report;
}

void CCertificatePrompt::Install(AskFunction ask) {
    AskSlot() = std::move(ask);
}

void CCertificatePrompt::InstallReporter(ReportFunction report) {
    ReportSlot() = std::move(report);
}

bool CCertificatePrompt::CanAsk() {
    return static_cast<bool>(AskSlot());
}

bool CCertificatePrompt::Ask(const CertificateDetails& details) {
    // Copied so that a question which re-installs the function cannot pull it from under us.
    const AskFunction ask = AskSlot();
    return ask && ask(details);
}

void CCertificatePrompt::Report(const std::string& message) {
    const ReportFunction report = ReportSlot();
    if (report) {
        report(message);
        return;
    }
    std::cerr << message << '\n';
}
