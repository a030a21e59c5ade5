#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <memory>
#include <unistd.h>

namespace {
constexpr int kConnectMs = 1000;
// Paths are sent each ended by a zero byte (no path holds one), the message
// by an empty one. A desktop's file manager may hand over many files.
constexpr qsizetype kMaxMessage = 4 * 1024 * 1024;
}  // namespace

TSingleInstance::TSingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // Without a runtime folder the shared temporary folder serves, with the
    // user's id in the name so users never meet.
    serverName_ = runtime.isEmpty() ? QDir::temp().filePath(name + QLatin1Char('-') + QString::number(::getuid()))
                                    : QDir(runtime).filePath(name);
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Start(const QStringList& paths) {
    // Two starts at the same moment take turns, so only one of them listens.
    QLockFile turn(serverName_ + QStringLiteral(".lock"));
    turn.lock();
    {
        QLocalSocket socket;
        socket.connectToServer(serverName_);
        if (socket.waitForConnected(kConnectMs)) {
            QByteArray message;
            for (const QString& path : paths)
                if (!path.isEmpty()) message += path.toUtf8() + '\0';
            socket.write(message + '\0');
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
            // The message ends with an empty path: a zero at its start or after another.
            const qsizetype end = buffer->startsWith('\0') ? 0 : buffer->indexOf(QByteArray("\0\0", 2));
            if (end < 0) return;
            QStringList paths;
            if (end > 0)
                for (const QByteArray& path : buffer->left(end).split('\0')) paths << QString::fromUtf8(path);
            buffer->clear();
            emit activated(paths);
        };
        connect(socket, &QLocalSocket::readyRead, this, readLine);
        if (socket->bytesAvailable() > 0) readLine();
    }
}
