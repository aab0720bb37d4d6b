#include "recycle/move_file.h"

#include "platform/leftovers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace moving {

namespace {

constexpr int kMostNumbers = 10000;

// Closes a descriptor when its scope ends.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// The whole of from written to the new file at temp, synced: 0, or the errno.
int copyWhole(const QByteArray& from, const QByteArray& temp, CopyControl* control) {
    Fd in{::open(from.constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        return errno;
    struct stat source {};
    if (::fstat(in.fd, &source) != 0)
        return errno;
    Fd out{
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, source.st_mode & 07777)};
    if (out.fd < 0)
        return errno;
    std::vector<char> buffer(1 << 20);
    off_t copied = 0;
    if (control)
        control->total = source.st_size;
    for (;;) {
        if (control && control->cancelled)
            return ECANCELED;
        const ssize_t got = ::read(in.fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            break;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = ::write(out.fd, buffer.data() + put, size_t(got - put));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return errno;
            put += n;
        }
        copied += got;
        if (control)
            control->copied = copied;
    }
    if (::fsync(out.fd) != 0)
        return errno;
    struct stat written {};
    if (::fstat(out.fd, &written) != 0)
        return errno;
    // A file that changed size while it was read, or a short write nobody reported.
    if (copied != source.st_size || written.st_size != source.st_size)
        return EIO;
    const int fd = out.fd;
    out.fd = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

int renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    // A file system without that rename: a link fails as well when the name is taken.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

// A symbolic link made again at temp, pointing where the one at from points.
int copyLink(const QByteArray& from, const QByteArray& temp) {
    std::vector<char> points(PATH_MAX + 1);
    const ssize_t length = ::readlink(from.constData(), points.data(), points.size());
    if (length < 0)
        return errno;
    if (size_t(length) >= points.size())
        return ENAMETOOLONG;
    points[size_t(length)] = '\0';
    return ::symlink(points.data(), temp.constData()) == 0 ? 0 : errno;
}

int copyAcross(const QByteArray& from, const QByteArray& to, CopyControl* control) {
    const QFileInfo target(QFile::decodeName(to));
    // What a copy cut off by a kill left there goes first.
    leftovers::sweep(target.absolutePath());
    const QByteArray temp = QFile::encodeName(target.absolutePath() + QLatin1Char('/') +
                                              leftovers::temporaryName(target.fileName()));
    // A link moves as the link itself, as mv moves it, never as a copy of what it points at.
    struct stat source {};
    if (::lstat(from.constData(), &source) != 0)
        return errno;
    const bool link = S_ISLNK(source.st_mode);
    if (const int error = link ? copyLink(from, temp) : copyWhole(from, temp, control)) {
        ::unlink(temp.constData());
        return error;
    }
    // Past here the move stands: a cancel that comes later is told it was too late.
    if (control && !control->commit()) {
        ::unlink(temp.constData());
        return ECANCELED;
    }
    if (const int error = renameNoReplace(temp, to)) {
        ::unlink(temp.constData());
        return error;
    }
    if (::unlink(from.constData()) != 0) {
        // The source stays, so the copy goes: never two of one file.
        const int error = errno;
        ::unlink(to.constData());
        return error;
    }
    return 0;
}

} // namespace

int moveNoReplace(const QString& from, const QString& to, CopyControl* control) {
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    const int error = renameNoReplace(source, target);
    return error == EXDEV ? copyAcross(source, target, control) : error;
}

bool acrossDrives(const QString& path, const QString& folder) {
    struct stat file {
    }, into{};
    return ::lstat(QFile::encodeName(path).constData(), &file) == 0 &&
           ::stat(QFile::encodeName(folder).constData(), &into) == 0 && file.st_dev != into.st_dev;
}

QString numberedName(const QString& name, int n) {
    if (n <= 1)
        return name;
    // The extension is what follows the last dot, unless the name begins there.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    return stem + QStringLiteral(" (%1)").arg(n) + extension;
}

QString failureWords(int error) {
    switch (error) {
    case EROFS:
        return QStringLiteral("the folder is on a read-only drive");
    case EACCES:
    case EPERM:
        return QStringLiteral("there is no permission to write there or to move the file");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("the drive is full");
    case ENOENT:
        return QStringLiteral("the file or the folder is not there any more");
    case ECANCELED:
        return QStringLiteral("it was cancelled");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

Moved moveInto(const QString& path, const QString& folder, CopyControl* control) {
    Moved moved;
    if (!QFileInfo(folder).isDir()) {
        moved.folderGone = true;
        moved.failure = QStringLiteral("The folder %1 is not there any more.").arg(folder);
        return moved;
    }
    const QFileInfo file(path);
    if (QFileInfo(folder).canonicalFilePath() == file.absoluteDir().canonicalPath()) {
        moved.failure = QStringLiteral("It is in that folder already.");
        return moved;
    }
    const QString name = file.fileName();
    for (int n = 1; n < kMostNumbers; ++n) {
        const QString to = folder + QLatin1Char('/') + numberedName(name, n);
        struct stat taken {};
        if (::lstat(QFile::encodeName(to).constData(), &taken) == 0)
            continue; // looked at first, so a copy across drives is made once
        const int error = moveNoReplace(path, to, control);
        if (error == 0) {
            moved.to = to;
            return moved;
        }
        if (error != EEXIST) {
            moved.failure = QStringLiteral("It could not be moved: %1.").arg(failureWords(error));
            return moved;
        }
    }
    moved.failure = QStringLiteral("It could not be moved: every free name there is taken.");
    return moved;
}

} // namespace moving
