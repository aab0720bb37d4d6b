#include "desktop/single_instance.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int kAnswerMs = 3000;
constexpr char kTaken = 'k';
// What one later copy may ask of the running one. A message larger than this,
// or with more names, is dropped unread; a later copy with more sends several.
constexpr quint32 kLongestMessage = 16u << 20;
constexpr quint32 kMostNames = 100'000;
// A later copy delivers its whole message within this, or its connection goes.
constexpr int kDeliverMs = 2000;
// Connections at once; more are closed as they come, and their copies try again.
constexpr int kMostConnections = 16;
// While the descriptors have run out, the listener rests this long between tries.
constexpr int kRestMs = 100;
// A later copy whose connection was closed unanswered (the running copy was
// full) tries again for this long.
constexpr int kRetryMs = 5000;
constexpr int kRetryPauseMs = 50;

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

// What a name costs in a message: its length and its UTF-16 characters.
qsizetype bytesOf(const QString& name) {
    return qsizetype(sizeof(quint32)) + 2 * name.size();
}

// The files in parts that each fit in one message; the refused go with the first.
std::vector<NamedFiles> partsOf(const NamedFiles& files) {
    // Room for the two lists' counts, the frame, and the refused names.
    constexpr qsizetype kRoom = qsizetype(kLongestMessage) - 64;
    std::vector<NamedFiles> parts(1);
    parts.back().refused = files.refused;
    qsizetype bytes = 0;
    quint32 names = quint32(files.refused.size());
    for (const QString& name : files.refused)
        bytes += bytesOf(name);
    for (const QString& name : files.files) {
        if ((names + 1 > kMostNames || bytes + bytesOf(name) > kRoom) &&
            !parts.back().files.isEmpty()) {
            parts.emplace_back();
            bytes = names = 0;
        }
        parts.back().files.append(name);
        bytes += bytesOf(name);
        ++names;
    }
    return parts;
}

// A list of names as QDataStream writes a QStringList, read with its count
// checked before anything is reserved: no more names than are left to take,
// and no more than the bytes left could hold.
bool readNames(QDataStream& in, QStringList& names, quint32& namesLeft) {
    quint32 count = 0;
    in >> count;
    const qint64 bytesLeft = in.device()->bytesAvailable();
    if (in.status() != QDataStream::Ok || count > namesLeft ||
        qint64(count) * qint64(sizeof(quint32)) > bytesLeft)
        return false;
    namesLeft -= count;
    names.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        QString name;
        in >> name;
        if (in.status() != QDataStream::Ok)
            return false;
        names.append(std::move(name));
    }
    return true;
}

// The files of a whole message's body; nothing when it is not one of ours.
std::optional<NamedFiles> filesOf(const QByteArray& body) {
    QDataStream in(body);
    NamedFiles files;
    quint32 namesLeft = kMostNames;
    if (!readNames(in, files.files, namesLeft) || !readNames(in, files.refused, namesLeft))
        return std::nullopt;
    return files;
}

// One later copy's connection, until its message is read, it goes away, or
// its time to deliver is up.
class Connection : public QObject {
  public:
    Connection(int fd, QObject* parent, std::function<void(const NamedFiles&)> onFiles)
        : QObject(parent), socket_(fd), onFiles_(std::move(onFiles)) {
        auto* readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(readable, &QSocketNotifier::activated, this, &Connection::read);
        QTimer::singleShot(kDeliverMs, this, &Connection::finish);
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
        // Told before the files are read and added, so the later copy ends at once.
        sendAll(socket_.fd(), QByteArray(1, kTaken));
        unpackAside(received_.mid(sizeof(quint32), body));
        finish();
    }
    // A long list is read on a worker; the files come back by a queued call,
    // to a server that is still there.
    void unpackAside(QByteArray body) {
        std::thread([body = std::move(body), onFiles = onFiles_,
                     server = QPointer<QObject>(parent())] {
            std::optional<NamedFiles> files = filesOf(body);
            if (!files || files->isEmpty())
                return;
            QMetaObject::invokeMethod(qApp, [onFiles, server, files = std::move(*files)] {
                if (server)
                    onFiles(files);
            });
        }).detach();
    }
    void finish() {
        if (finished_)
            return;
        finished_ = true;
        deleteLater();
        ::shutdown(socket_.fd(), SHUT_RDWR);
        for (QSocketNotifier* notifier : findChildren<QSocketNotifier*>())
            notifier->setEnabled(false);
    }

    Socket socket_;
    QByteArray received_;
    std::function<void(const NamedFiles&)> onFiles_;
    bool finished_ = false;
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

namespace {

enum class Handed { Taken, Closed, Failed };

Handed handOver(const QByteArray& message) {
    const Socket socket(connectTo(QFile::encodeName(socketPath())));
    if (socket.fd() < 0)
        return Handed::Failed;
    // A send cut off by a close is a full running copy, as a close unanswered is.
    if (!sendAll(socket.fd(), message))
        return errno == EPIPE || errno == ECONNRESET ? Handed::Closed : Handed::Failed;
    // Taken only once the running copy says so; a copy that hangs or dies
    // leaves the files to this one.
    char answer = 0;
    ssize_t n;
    do
        n = ::recv(socket.fd(), &answer, 1, 0);
    while (n < 0 && errno == EINTR);
    if (n == 1 && answer == kTaken)
        return Handed::Taken;
    return n == 0 || (n < 0 && errno == ECONNRESET) ? Handed::Closed : Handed::Failed;
}

} // namespace

bool handToRunningCopy(const NamedFiles& files) {
    bool first = true;
    for (const NamedFiles& part : partsOf(files)) {
        const QByteArray message = messageOf(part);
        QElapsedTimer trying;
        trying.start();
        Handed handed;
        while ((handed = handOver(message)) == Handed::Closed && trying.elapsed() < kRetryMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetryPauseMs));
        if (handed == Handed::Taken) {
            first = false;
            continue;
        }
        if (first)
            return false; // nothing was taken: this copy takes them all
        // Some are with the running copy already; this one must not start beside it.
        std::fprintf(stderr,
                     "thrennic: the running copy stopped taking files; %lld were not "
                     "handed over\n",
                     static_cast<long long>(part.files.size()));
    }
    return true;
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
        if (fd < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // The descriptors have run out for now: the waiting connection
            // stays readable, so the listener rests instead of spinning.
            incoming_->setEnabled(false);
            QTimer::singleShot(kRestMs, this, [this] { incoming_->setEnabled(true); });
            return;
        }
        if (fd < 0)
            return; // none waiting
        // Another user's files are never taken, and a running copy that is full
        // takes no more till one of its connections is done.
        if (!peerIsThisUser(fd) || connections_ >= kMostConnections) {
            ::close(fd);
            continue;
        }
        ++connections_;
        connect(new Connection(fd, this, onFiles_), &QObject::destroyed, this,
                [this] { --connections_; });
    }
}
