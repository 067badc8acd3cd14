#include "TlsTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>

#include "nntp/CCertificatePrompt.h"

namespace {

// Short-lived EC keys: quick to make. The expired certificate needs "openssl ca", the only
// command that takes a start and end date.
constexpr const char* kMakeScript = R"(set -e
cd "$1"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -keyout ca.key -out ca.pem -days 30 -subj "/CN=Gleanwick Test CA"
leaf() {
    openssl req $key -keyout $1.key -out $1.csr -subj "/CN=$2"
    printf 'subjectAltName=%s\n' "$3" >$1.ext
}
leaf good 127.0.0.1 IP:127.0.0.1,DNS:localhost
openssl x509 -req -in good.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
    -extfile good.ext -out good.pem
leaf other other.example DNS:other.example
openssl x509 -req -in other.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
    -extfile other.ext -out other.pem
leaf expired 127.0.0.1 IP:127.0.0.1,DNS:localhost
mkdir db && : >db/index && echo 01 >db/serial
printf '[ca]\ndefault_ca=d\n[d]\ndatabase=db/index\nserial=db/serial\nnew_certs_dir=db\ndefault_md=sha256\npolicy=p\nunique_subject=no\n[p]\ncommonName=supplied\n' >ca.cnf
openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr \
    -startdate 20200101000000Z -enddate 20200201000000Z -extfile expired.ext -notext \
    -out expired.pem
openssl req -x509 $key -keyout self.key -out self.pem -days 30 -subj "/CN=127.0.0.1" \
    -addext subjectAltName=IP:127.0.0.1,DNS:localhost
for c in good other expired self; do
    openssl x509 -in $c.pem -noout -fingerprint -sha256 | sed 's/.*=//' >$c.sha256
done
)";

std::string ReadText(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().trimmed().toStdString();
}

} // namespace

const TestCertificates& TestCertificates::Get() {
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::TestCertificates() {
    static QTemporaryDir dir;
    m_strDir = dir.path().toStdString();
    QFile script(dir.filePath(QStringLiteral("make.sh")));
    if (!script.open(QIODevice::WriteOnly))
        return;
    script.write(kMakeScript);
    script.close();
    const std::string command =
        "bash '" + script.fileName().toStdString() + "' '" + m_strDir + "' >/dev/null 2>&1";
    m_bMade = std::system(command.c_str()) == 0;
}

ScriptedServer::TlsIdentity TestCertificates::Identity(const std::string& name,
                                                       bool implicit) const {
    return {m_strDir + "/" + name + ".pem", m_strDir + "/" + name + ".key", implicit};
}

std::string TestCertificates::Fingerprint(const std::string& name) const {
    return ReadText(m_strDir + "/" + name + ".sha256");
}

TrustTestAuthority::TrustTestAuthority() : m_saved(QSslConfiguration::defaultConfiguration()) {
    QSslConfiguration config = m_saved;
    config.addCaCertificates(QString::fromStdString(TestCertificates::Get().CaFile()));
    QSslConfiguration::setDefaultConfiguration(config);
}

TrustTestAuthority::~TrustTestAuthority() {
    QSslConfiguration::setDefaultConfiguration(m_saved);
}

CertificateReports::CertificateReports() {
    CCertificatePrompt::InstallReporter(
        [this](const std::string& message) { messages.push_back(message); });
}

CertificateReports::~CertificateReports() {
    CCertificatePrompt::InstallReporter(nullptr);
    CCertificatePrompt::Install(nullptr);
}

void CertificateReports::Answer(bool trust) {
    CCertificatePrompt::Install([this, trust](const CertificateDetails& details) {
        questions.push_back(details.server + "|" + details.reason + "|" + details.fingerprint);
        return trust;
    });
}

std::string Digits(std::string fingerprint) {
    fingerprint.erase(std::remove(fingerprint.begin(), fingerprint.end(), ':'), fingerprint.end());
    return fingerprint;
}
