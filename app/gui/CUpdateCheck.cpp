#include "app/gui/CUpdateCheck.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cstdlib>
#include <locale.h>
#include <string>
#include <string_view>

#include "app/gui/TableText.h"
#include "options/CSettings.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

// The agent name the request introduces itself with.
constexpr const char* kUserAgent = "My Session";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

size_t SkipDigits(std::string_view text, size_t i) {
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    return i;
}

// The length of the decimal number at the start of `text`: blanks, a sign, digits with an
// optional point, an exponent. 0 when there is none. Hexadecimal, "inf" and "nan" are no
// number here, whatever the C library would read.
size_t NumberLength(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const size_t integer = i;
    i = SkipDigits(text, i);
    bool digits = i > integer;
    if (i < text.size() && text[i] == '.') {
        const size_t fraction = i + 1;
        const size_t end = SkipDigits(text, fraction);
        if (!digits && end == fraction)
            return 0;
        digits = true;
        i = end;
    }
    if (!digits)
        return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t exponent = i + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        const size_t end = SkipDigits(text, exponent);
        if (end > exponent)
            i = end;
    }
    return i;
}

// The number at the start of the version file, read in the C locale whatever the user's
// locale (Qt sets the process's locale from the environment); 0.0 when there is none.
double VersionNumber(std::string_view text) {
    const size_t length = NumberLength(text);
    if (length == 0)
        return 0.0;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string number(text.substr(0, length));
    return strtod_l(number.c_str(), nullptr, cLocale);
}

bool AskWithMessageBox(QWidget* parent, const QString& question) {
    const QString title = TableText(ids::kApplicationName);
    return QMessageBox::question(parent, title, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

} // namespace

CUpdateCheck::CUpdateCheck(AskFunction ask, OpenFunction open)
    : m_ask(std::move(ask)), m_open(std::move(open)) {}

QUrl CUpdateCheck::VersionFileUrl() {
    const QString configured = qEnvironmentVariable(kUrlVariable);
    return QUrl(configured.isEmpty() ? QString::fromLatin1(kVersionFileUrl) : configured);
}

QUrl CUpdateCheck::DownloadUrl(const QUrl& versionFile) {
    QUrl download;
    download.setScheme(versionFile.scheme());
    download.setHost(versionFile.host());
    download.setPort(versionFile.port());
    download.setPath(QString::fromLatin1(kDownloadPath));
    return download;
}

void CUpdateCheck::Run(const CProfile& profile) const {
    // Read from the profile: the options are loaded into the window only later.
    CSettings settings;
    settings.Load(profile);
    if (!settings.m_bCheckVer)
        return;
    const QUrl versionFile = VersionFileUrl();
    const std::optional<QByteArray> body = FetchVersionFile(versionFile);
    if (!body || body->size() < kMinimumBody)
        return;
    if (VersionNumber(std::string_view(body->constData(), body->size())) <= kOwnVersion)
        return;
    const QUrl download = DownloadUrl(versionFile);
    const std::string address = download.toString().toStdString();
    if (m_ask(QString::fromStdString(CStringTable::Format(ids::kNewerVersion, address))))
        m_open(download);
}

std::optional<QByteArray> CUpdateCheck::FetchVersionFile(const QUrl& url) {
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kUserAgent));
    // Deleted with the manager.
    QNetworkReply* reply = manager.get(request);
    reply->setReadBufferSize(kReadSize);

    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [reply, &loop] {
        if (reply->bytesAvailable() >= kReadSize)
            loop.quit();
    });
    limit.start(kTimeLimitMs);
    if (!reply->isFinished())
        loop.exec();

    const bool complete = reply->isFinished() ? reply->error() == QNetworkReply::NoError
                                              : reply->bytesAvailable() >= kReadSize;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    std::optional<QByteArray> body;
    if (complete && status == 200)
        body = reply->read(kReadSize);
    reply->abort();
    return body;
}

void CheckForUpdate(const CProfile& profile, QWidget* parent) {
    const CUpdateCheck check(
        [parent](const QString& question) { return AskWithMessageBox(parent, question); },
        [](const QUrl& address) { QDesktopServices::openUrl(address); });
    check.Run(profile);
}
