#include "app/ui/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace korvane {

namespace {
constexpr int kConnectTimeoutMs = 500;
const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");
}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // Without a runtime directory the server lands in the shared temp directory, so the user
    // name keeps two users' copies apart.
    if (dir.isEmpty()) {
        serverName_ = name + '-' + qEnvironmentVariable("USER", QStringLiteral("user"));
    } else {
        QDir().mkpath(dir);
        serverName_ = QDir(dir).filePath(name);
    }
}

bool SingleInstance::notifyRunning() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(kRaiseRequest);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim() {
    if (notifyRunning()) return false;
    // Nobody answered: a socket left behind by a copy that crashed is stale.
    QLocalServer::removeServer(serverName_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_)) return true;  // run anyway, just without the guard
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("raise")) emit raiseRequested();
            });
        }
    });
    return true;
}

}  // namespace korvane
