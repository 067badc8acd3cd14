#include "mainwnd/CSingleInstance.h"

#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int kConnectMilliseconds = 500;
constexpr char kActivate[] = "activate\n";

} // namespace

QString CSingleInstance::DefaultName() {
    return QStringLiteral("%1-%2").arg(kWindowClassName).arg(getuid());
}

CSingleInstance::CSingleInstance(QString name) : m_strName(std::move(name)) {
    // Only this user may talk to the socket.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

bool CSingleInstance::HandOverToRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(m_strName);
    if (!socket.waitForConnected(kConnectMilliseconds))
        return false;
    socket.write(kActivate);
    socket.waitForBytesWritten(kConnectMilliseconds);
    socket.disconnectFromServer();
    return true;
}

bool CSingleInstance::Listen(std::function<void()> activate) {
    m_activate = std::move(activate);
    if (m_server.listen(m_strName))
        return true;
    // Nobody answered on it a moment ago: a socket left behind by a killed instance.
    QLocalServer::removeServer(m_strName);
    return m_server.listen(m_strName);
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().startsWith(kActivate) && m_activate)
                m_activate();
            socket->disconnectFromServer();
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}
