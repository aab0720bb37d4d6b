#include "desktop/single_instance.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kAnswerMs = 3000;
constexpr char kTaken = 'k';
// Far beyond the names of any selection of files; a longer message is dropped unread.
constexpr quint32 kLongestMessage = 256u << 20;

// The socket's file descriptor, closed when this goes.
class Socket {
  public:
    explicit Socket(int fd) : fd_(fd) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// Whether the other end of a connected socket runs as this user.
bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

// A folder only this user may enter: a real folder (not a link), owned by
// this user, with no rights for anyone else.
bool isPrivateFolder(const QByteArray& folder) {
    struct stat info {};
    return folder.startsWith('/') && ::lstat(folder.constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 0777) == 0700;
}

bool addressOf(const QByteArray& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false; // too long for a socket's name: this copy goes it alone
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// A blocking connection whose every wait ends after kAnswerMs; -1 when nobody listens.
int connectTo(const QByteArray& path) {
    sockaddr_un address;
    if (!addressOf(path, address))
        return -1;
    Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd() < 0)
        return -1;
    const timeval wait{kAnswerMs / 1000, (kAnswerMs % 1000) * 1000};
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    int connected;
    do
        connected =
            ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (connected != 0 && errno == EINTR);
    // A socket another user put there is nobody to hand files to.
    return connected == 0 && peerIsThisUser(socket.fd()) ? socket.release() : -1;
}

bool sendAll(int fd, const QByteArray& bytes) {
    for (qsizetype sent = 0; sent < bytes.size();) {
        // No SIGPIPE when the other copy has gone meanwhile: just a failed send.
        const ssize_t n =
            ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// The files as a framed message: its length, then the list, as QDataStream writes both.
QByteArray messageOf(const NamedFiles& files) {
    QByteArray list;
    QDataStream packList(&list, QIODevice::WriteOnly);
    packList << files.files << files.refused;
    QByteArray message;
    QDataStream packMessage(&message, QIODevice::WriteOnly);
    packMessage << list;
    return message;
}

// One later copy's connection, until its message is read or it goes away.
class Connection : public QObject {
  public:
    Connection(int fd, QObject* parent, std::function<void(const NamedFiles&)> onFiles)
        : QObject(parent), socket_(fd), onFiles_(std::move(onFiles)) {
        auto* readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(readable, &QSocketNotifier::activated, this, &Connection::read);
    }

  private:
    void read() {
        char chunk[64 * 1024];
        for (;;) {
            const ssize_t n = ::recv(socket_.fd(), chunk, sizeof chunk, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            if (n <= 0)
                return finish(); // gone, or broken, before its message was whole
            received_.append(chunk, n);
        }
        if (received_.size() < qsizetype(sizeof(quint32)))
            return; // the rest is still on its way
        const quint32 length = qFromBigEndian<quint32>(received_.constData());
        const quint32 body = length == 0xffffffffu ? 0 : length; // a null list
        if (body > kLongestMessage)
            return finish();
        if (received_.size() < qsizetype(sizeof(quint32) + body))
            return;
        NamedFiles files;
        QDataStream unpack(received_.mid(sizeof(quint32), body));
        unpack >> files.files >> files.refused;
        sendAll(socket_.fd(), QByteArray(1, kTaken));
        // Told before the files are added, so the later copy ends at once.
        const auto onFiles = onFiles_;
        finish();
        if (!files.isEmpty())
            onFiles(files);
    }
    void finish() {
        deleteLater();
        ::shutdown(socket_.fd(), SHUT_RDWR);
        for (QSocketNotifier* notifier : findChildren<QSocketNotifier*>())
            notifier->setEnabled(false);
    }

    Socket socket_;
    QByteArray received_;
    std::function<void(const NamedFiles&)> onFiles_;
};

} // namespace

namespace single_instance {

namespace {

// $XDG_RUNTIME_DIR when it is private to this user; otherwise a folder of our
// own in the temporary folder, made private, or left alone (and none used)
// when someone else made it first.
QByteArray privateRuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        return runtime;
    QByteArray temporary = qgetenv("TMPDIR");
    if (!temporary.startsWith('/'))
        temporary = "/tmp";
    const QByteArray own = temporary + "/thrennic-runtime-" + QByteArray::number(::getuid());
    ::mkdir(own.constData(), 0700);
    return isPrivateFolder(own) ? own : QByteArray();
}

} // namespace

QString socketPath() {
    const QByteArray folder = privateRuntimeFolder();
    if (folder.isEmpty())
        return {};
    return QFile::decodeName(folder) + QStringLiteral("/thrennic-%1.socket").arg(::getuid());
}

bool handToRunningCopy(const NamedFiles& files) {
    const Socket socket(connectTo(QFile::encodeName(socketPath())));
    if (socket.fd() < 0 || !sendAll(socket.fd(), messageOf(files)))
        return false;
    // Taken only once the running copy says so; a copy that hangs or dies
    // leaves the files to this one.
    char answer = 0;
    ssize_t n;
    do
        n = ::recv(socket.fd(), &answer, 1, 0);
    while (n < 0 && errno == EINTR);
    return n == 1 && answer == kTaken;
}

} // namespace single_instance

InstanceServer::InstanceServer(std::function<void(const NamedFiles&)> onFiles)
    : onFiles_(std::move(onFiles)) {
    const QByteArray path = QFile::encodeName(single_instance::socketPath());
    sockaddr_un address;
    if (!addressOf(path, address))
        return;
    // Asked first: binding anew would quietly replace a running copy's socket.
    // One left by a copy that died answers nobody.
    if (const Socket probe(connectTo(path)); probe.fd() >= 0)
        return; // another copy serves
    ::unlink(path.constData());
    Socket listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (listener.fd() < 0 ||
        ::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return;
    // Only this user may hand files over (the runtime folder is usually private already).
    ::chmod(path.constData(), S_IRUSR | S_IWUSR);
    if (::listen(listener.fd(), SOMAXCONN) != 0) {
        ::unlink(path.constData());
        return;
    }
    listener_ = listener.release();
    path_ = path;
    incoming_ = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
    connect(incoming_, &QSocketNotifier::activated, this, &InstanceServer::takeConnections);
}

InstanceServer::~InstanceServer() {
    if (listener_ < 0)
        return;
    delete incoming_;
    ::close(listener_);
    ::unlink(path_.constData());
}

void InstanceServer::takeConnections() {
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR)
            continue;
        if (fd < 0)
            return; // none waiting (EAGAIN), or the descriptors have run out for now
        if (!peerIsThisUser(fd)) {
            ::close(fd); // another user's files are never taken
            continue;
        }
        new Connection(fd, this, onFiles_);
    }
}
