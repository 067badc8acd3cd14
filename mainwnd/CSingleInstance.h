#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

// One program window per user: the first instance listens on a local socket named after the
// main window's class name; a later one connects, asks it to come to the front and ends.
class CSingleInstance : public QObject {
    Q_OBJECT
  public:
    // The main window's class name, which also names the socket.
    static constexpr const char* kWindowClassName = "Q5528461";
    // The socket's name for this user.
    static QString DefaultName();

    explicit CSingleInstance(QString name = DefaultName());

    // True when another instance is running and was asked to come to the front.
    bool HandOverToRunningInstance();
    // Listens for later instances; `activate` brings this one's window to the front.
    bool Listen(std::function<void()> activate);

  private:
    void OnNewConnection();

    QString m_strName;
    QLocalServer m_server;
    std::function<void()> m_activate;
};
