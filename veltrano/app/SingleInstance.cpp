#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <memory>
#include <unistd.h>

namespace {
constexpr int kConnectMs = 1000;
constexpr qsizetype kMaxMessage = 64 * 1024;  // a path and its end, with room to spare
}  // namespace

TSingleInstance::TSingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // Without a runtime folder the shared temporary folder serves, with the
    // user's id in the name so users never meet.
    serverName_ = runtime.isEmpty() ? QDir::temp().filePath(name + QLatin1Char('-') + QString::number(::getuid()))
                                    : QDir(runtime).filePath(name);
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Start(const QString& projectPath) {
    // Two starts at the same moment take turns, so only one of them listens.
    QLockFile turn(serverName_ + QStringLiteral(".lock"));
    turn.lock();
    {
        QLocalSocket socket;
        socket.connectToServer(serverName_);
        if (socket.waitForConnected(kConnectMs)) {
            socket.write(projectPath.toUtf8() + '\n');
            socket.waitForBytesWritten(kConnectMs);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kConnectMs);
            return false;
        }
    }
    // Nobody answered: a socket file left by a crashed instance goes.
    QLocalServer::removeServer(serverName_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
    // Without the socket the program still runs, only unguarded.
    if (!server_->listen(serverName_)) qWarning("veltrano: single-instance socket unavailable: %s",
                                                 qPrintable(server_->errorString()));
    return true;
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        auto readLine = [this, socket, buffer] {
            *buffer += socket->readAll();
            if (buffer->size() > kMaxMessage) {  // not one of ours
                socket->abort();
                return;
            }
            const qsizetype end = buffer->indexOf('\n');
            if (end < 0) return;
            const QString path = QString::fromUtf8(buffer->left(end));
            buffer->clear();
            emit activated(path);
        };
        connect(socket, &QLocalSocket::readyRead, this, readLine);
        if (socket->bytesAvailable() > 0) readLine();
    }
}
