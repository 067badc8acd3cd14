#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class CProfile;
class QWidget;

// The look for a newer release at start-up, when the user asked for it ("m_bCheckVer"): the
// version file on the vendor's web server names the newest release; when that is newer than
// this one, the user is asked whether to open the download address. Nothing that goes wrong
// is reported, and the whole check takes at most kTimeLimitMs, so that an absent or slow
// network never holds up the start for long.
class CUpdateCheck {
  public:
    static constexpr double kOwnVersion = 2.0;
    static constexpr const char* kVersionFileUrl = "http://www.hollowfen.com/Gleanwick/Version.txt";
    // Replaces kVersionFileUrl when set (a test server, a mirror).
    static constexpr const char* kUrlVariable = "GLEANWICK_UPDATE_URL";
    // On the version file's server.
    static constexpr const char* kDownloadPath = "/Software/Gleanwick.exe";
    static constexpr int kTimeLimitMs = 3000;
    // Only the body's beginning is read; anything shorter than kMinimumBody is no answer.
    static constexpr qint64 kReadSize = 100;
    static constexpr qint64 kMinimumBody = 3;

    // Asks the question (string 28 with the download address); true for Yes.
    using AskFunction = std::function<bool(const QString& question)>;
    // Opens the download address (the desktop's handler for the URL).
    using OpenFunction = std::function<void(const QUrl& address)>;

    CUpdateCheck(AskFunction ask, OpenFunction open);

    // The whole check. Blocks, running a nested event loop, until it is done.
    void Run(const CProfile& profile) const;

    // kVersionFileUrl, or the address in kUrlVariable when that is set and not empty.
    static QUrl VersionFileUrl();
    // kDownloadPath on the server of `versionFile` (scheme, host and port kept).
    static QUrl DownloadUrl(const QUrl& versionFile);

  private:
    // The first kReadSize bytes of the body of a 200 reply, or less when the body is shorter;
    // nothing when the request fails or the time limit passes first.
    static std::optional<QByteArray> FetchVersionFile(const QUrl& url);

    AskFunction m_ask;
    OpenFunction m_open;
};

// The start-up step: the check with a Yes/No message box over `parent` and the desktop's URL
// opener.
void CheckForUpdate(const CProfile& profile, QWidget* parent);
