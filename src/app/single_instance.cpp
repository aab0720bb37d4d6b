#include "app/single_instance.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>

namespace {

constexpr int kAnswerMs = 3000;
constexpr char kTaken = 'k';

} // namespace

namespace single_instance {

QString socketPath() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder).filePath(QStringLiteral("thrennic-%1.socket").arg(::getuid()));
}

bool handToRunningCopy(const QStringList& files) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    QByteArray message;
    QDataStream pack(&message, QIODevice::WriteOnly);
    pack << files;
    QDataStream out(&socket);
    out << message;
    if (!socket.waitForBytesWritten(kAnswerMs))
        return false;
    // Taken only once the running copy says so; a copy that hangs or dies
    // leaves the files to this one.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(kAnswerMs))
            return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken;
}

} // namespace single_instance

InstanceServer::InstanceServer(std::function<void(const QStringList&)> onFiles)
    : server_(new QLocalServer(this)), onFiles_(std::move(onFiles)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = single_instance::socketPath();
    // Asked first: with access options set, listening would quietly replace a
    // running copy's socket. One left by a copy that died answers nobody.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(kAnswerMs))
        return; // another copy serves
    QLocalServer::removeServer(path);
    server_->listen(path);
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::takeConnection);
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::listening() const {
    return server_->isListening();
}

void InstanceServer::takeConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            QByteArray message;
            in >> message;
            if (!in.commitTransaction())
                return; // the rest is still on its way
            QStringList files;
            QDataStream unpack(message);
            unpack >> files;
            socket->putChar(kTaken);
            socket->flush();
            if (!files.isEmpty())
                onFiles_(files);
        });
    }
}
