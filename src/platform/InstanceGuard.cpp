#include "platform/InstanceGuard.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace quillary {

namespace {
const QByteArray kReopen = "reopen\n";
constexpr int TimeoutMilliseconds = 1000;
} // namespace

InstanceGuard::InstanceGuard(QString socketPath, QObject* parent)
    : QObject(parent)
    , path(std::move(socketPath))
{
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::handOver()
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(TimeoutMilliseconds))
        return false;
    socket.write(kReopen);
    if (!socket.waitForBytesWritten(TimeoutMilliseconds))
        return false;
    // The answer says the request was read, so this process may end.
    return socket.waitForReadyRead(TimeoutMilliseconds) && socket.readAll().startsWith("ok");
}

bool InstanceGuard::listen()
{
    if (!server) {
        server = new QLocalServer(this);
        server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                    if (!socket->readAll().startsWith(kReopen.trimmed()))
                        return;
                    socket->write("ok\n");
                    socket->flush();
                    emit reopenRequested();
                });
            }
        });
    }
    if (server->isListening())
        return true;
    if (server->listen(path))
        return true;
    // Nobody answered handOver(): what is there is left over.
    QLocalServer::removeServer(path);
    return server->listen(path);
}

} // namespace quillary
