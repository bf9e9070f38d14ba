#include "platform/qt/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

namespace orvalink {

namespace {
constexpr char kRaise[] = "raise\n";

// One name per user and title, safe as a socket name on every platform.
QString SocketName(const QString& key) {
    const QByteArray hash = QCryptographicHash::hash((key + QDir::homePath()).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("orvalink-") + QString::fromLatin1(hash.toHex().left(16));
}
}  // namespace

SingleInstance::SingleInstance(QString key, QObject* parent) : QObject(parent), name_(SocketName(key)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("raise")) emit Activated();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance() { server_.close(); }

bool SingleInstance::AnotherInstanceRuns(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kRaise);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    if (server_.listen(name_)) return true;
    // A name left behind by a program that crashed: nobody answers on it.
    QLocalServer::removeServer(name_);
    return server_.listen(name_);
}

}  // namespace orvalink
