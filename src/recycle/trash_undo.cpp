#include "recycle/trash_undo.h"

#include "platform/dialogs.h"
#include "platform/disk_call.h"
#include "platform/product.h"
#include "recycle/gio_library.h"
#include "recycle/move_file.h"
#include "recycle/shell_delete.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trash {

namespace {

dev_t deviceOf(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 ? info.st_dev : dev_t(-1);
}

// The top folder of the mount that holds path: the last folder up the tree
// on the same device.
QString mountTop(const QString& path) {
    QString top = QFileInfo(path).absolutePath();
    const dev_t device = deviceOf(QFile::encodeName(top));
    while (top != QLatin1String("/")) {
        const QString up = QFileInfo(top).absolutePath();
        if (deviceOf(QFile::encodeName(up)) != device)
            break;
        top = up;
    }
    return top;
}

QString homeTrash() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Trash");
}

// The name GIO gives the id-th file of that name in a Trash folder: the name
// itself, then ".id" put in before the first dot (or at the end).
QString uniqueName(const QString& baseName, int id) {
    if (id == 1)
        return baseName;
    const qsizetype dot = baseName.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return baseName + QLatin1Char('.') + QString::number(id);
    return baseName.left(dot) + QLatin1Char('.') + QString::number(id) + baseName.mid(dot);
}

// GIO names a trashed file after the original, or with ".N" put in at one of
// its dots (or at its end) when that name is taken in the Trash.
bool mayBeNamedAfter(const QString& infoName, const QString& baseName) {
    const QString suffix = QStringLiteral(".trashinfo");
    if (!infoName.endsWith(suffix))
        return false;
    const QString name = infoName.chopped(suffix.size());
    if (name == baseName)
        return true;
    for (qsizetype at = 0; at <= baseName.size(); ++at) {
        if (at < baseName.size() && baseName[at] != QLatin1Char('.'))
            continue;
        const QString before = baseName.left(at) + QLatin1Char('.');
        const QString after = baseName.mid(at);
        if (name.size() <= before.size() + after.size() || !name.startsWith(before) ||
            !name.endsWith(after))
            continue;
        bool number = false;
        name.mid(before.size(), name.size() - before.size() - after.size()).toUInt(&number);
        if (number)
            return true;
    }
    return false;
}

QStringList infoNames(const QString& folder, const QString& baseName) {
    QStringList names;
    const QStringList all =
        QDir(folder + QStringLiteral("/info")).entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    for (const QString& name : all)
        if (mayBeNamedAfter(name, baseName))
            names << name;
    return names;
}

qint64 writtenAtNs(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

struct Info {
    QString path; // as written: absolute, or relative to the mount's top
    QDateTime deleted;
};

Info readInfo(const QString& infoPath) {
    Info info;
    QFile file(infoPath);
    if (!file.open(QIODevice::ReadOnly))
        return info;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("Path="))
            info.path = QUrl::fromPercentEncoding(line.mid(5).trimmed());
        else if (line.startsWith("DeletionDate="))
            info.deleted =
                QDateTime::fromString(QString::fromLatin1(line.mid(13).trimmed()), Qt::ISODate);
    }
    return info;
}

// Whether the info file (in the Trash folder) records original as where its file came from.
bool infoIsFor(const QString& folder, const QString& infoPath, const QString& original) {
    const Info info = readInfo(infoPath);
    if (info.path.isEmpty())
        return false;
    if (info.path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(info.path) == QDir::cleanPath(original);
    // A drive's own Trash: the path is relative to the folder that holds the Trash.
    QString top = folder;
    if (top.endsWith(QStringLiteral("/.Trash-") + QString::number(::getuid())))
        top = QFileInfo(top).absolutePath();
    else
        top = QFileInfo(QFileInfo(top).absolutePath()).absolutePath(); // <top>/.Trash/<uid>
    return QDir::cleanPath(top + QLatin1Char('/') + info.path) == QDir::cleanPath(original);
}

// Moves a sent file back to its original path, never replacing anything: the
// reason it cannot, or empty once it is back.
QString moveBackHome(const SentFile& file, moving::CopyControl* control = nullptr) {
    struct stat info {};
    if (::lstat(QFile::encodeName(file.originalPath).constData(), &info) == 0)
        return QStringLiteral("Another file now has its name in that folder.");
    const QString folder = QFileInfo(file.originalPath).absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("Its folder %1 is gone.").arg(folder);
    // A file that appeared there meanwhile makes the move fail.
    const int error = moving::moveNoReplace(file.sentTo, file.originalPath, control);
    if (error == EEXIST)
        return QStringLiteral("Another file now has its name in that folder.");
    if (error != 0)
        return QStringLiteral("It could not be moved back: %1.").arg(moving::failureWords(error));
    return {};
}

} // namespace

QStringList candidateFolders(const QString& path) {
    QStringList folders{homeTrash()};
    const QString top = mountTop(path);
    const QString uid = QString::number(::getuid());
    const QString root = top == QLatin1String("/") ? QString() : top;
    folders << root + QStringLiteral("/.Trash/") + uid << root + QStringLiteral("/.Trash-") + uid;
    return folders;
}

Expected expectedNames(const QString& path) {
    Expected expected;
    expected.folders = candidateFolders(path);
    const QString baseName = QFileInfo(path).fileName();
    for (const QString& folder : expected.folders) {
        QString info;
        for (int id = 1;; ++id) {
            info = folder + QStringLiteral("/info/") + uniqueName(baseName, id) +
                   QStringLiteral(".trashinfo");
            struct stat unused {};
            if (::lstat(QFile::encodeName(info).constData(), &unused) != 0)
                break;
        }
        expected.infoFiles << info;
    }
    return expected;
}

std::optional<SentFile> findTrashed(const QString& path, const Expected& expected) {
    const QString suffix = QStringLiteral(".trashinfo");
    auto trashedAs = [&](const QString& folder, const QString& infoName) {
        const QString trashed =
            folder + QStringLiteral("/files/") + infoName.chopped(suffix.size());
        return SentFile{
            path, trashed, folder + QStringLiteral("/info/") + infoName, 0, identityNow(trashed),
            {},   {}};
    };
    for (qsizetype i = 0; i < expected.folders.size(); ++i)
        if (infoIsFor(expected.folders[i], expected.infoFiles[i], path))
            return trashedAs(expected.folders[i], QFileInfo(expected.infoFiles[i]).fileName());
    // The same path trashed more than once: ours is the newest entry, by the
    // date its info records and, for deletes within one second, by when the
    // info file was written.
    std::optional<SentFile> found;
    std::pair<QDateTime, qint64> newest;
    for (const QString& folder : expected.folders)
        for (const QString& name : infoNames(folder, QFileInfo(path).fileName())) {
            const QString infoPath = folder + QStringLiteral("/info/") + name;
            if (!infoIsFor(folder, infoPath, path))
                continue;
            const std::pair<QDateTime, qint64> age{readInfo(infoPath).deleted,
                                                   writtenAtNs(infoPath)};
            if (found && age < newest)
                continue;
            newest = age;
            found = trashedAs(folder, name);
        }
    return found;
}

QString restore(const SentFile& file) {
    const QByteArray from = QFile::encodeName(file.sentTo);
    struct stat info {};
    // The Trash emptied and another file trashed under the same name since:
    // that one is somebody else's and stays.
    const QString trashFolder = QFileInfo(QFileInfo(file.infoPath).absolutePath()).absolutePath();
    if (::lstat(from.constData(), &info) != 0 || identityNow(file.sentTo) != file.arrived ||
        !infoIsFor(trashFolder, file.infoPath, file.originalPath))
        return QStringLiteral("It is no longer in the Trash (it was emptied, or the file was "
                              "restored another way).");
    if (const QString why = moveBackHome(file); !why.isEmpty())
        return why;
    QFile::remove(file.infoPath);
    return {};
}

} // namespace trash

QString bringBack(const SentFile& file, moving::CopyControl* control) {
    if (file.toTrash())
        return trash::restore(file);
    struct stat info {};
    if (::lstat(QFile::encodeName(file.sentTo).constData(), &info) != 0 ||
        identityNow(file.sentTo) != file.arrived)
        return QStringLiteral("It is no longer in %1 as it was moved there (it was changed, "
                              "renamed or removed).")
            .arg(QFileInfo(file.sentTo).absolutePath());
    return trash::moveBackHome(file, control);
}

bool TrashUndo::trash(const QString& path, Dialogs& dialogs, ArrivedLate arrivedLate) {
    // The move and the look-ups around it, off the window's thread: a drive
    // that stops answering holds up nothing but this, for a bounded time.
    struct Outcome {
        QString failure; // the box's text; empty when the file went
        std::optional<SentFile> found;
    };
    const std::optional<Outcome> outcome = disk::call<Outcome>(
        path,
        [path] {
            const trash::Expected expected = trash::expectedNames(path);
            Outcome done{trashFailure(path, kGioLibraryName), std::nullopt};
            if (done.failure.isEmpty())
                done.found = trash::findTrashed(path, expected);
            return done;
        },
        disk::kMoveMs,
        [arrivedLate = std::move(arrivedLate)](const Outcome& late) {
            if (late.failure.isEmpty() && arrivedLate)
                arrivedLate(late.found);
        });
    const QString failure =
        outcome ? outcome->failure
                : QStringLiteral("Could not move to the Trash \"%1\":\r\nIts drive is not "
                                 "answering.")
                      .arg(path);
    if (!failure.isEmpty()) {
        dialogs.showMessage(failure, kProductName, MessageIcon::Warning);
        return false;
    }
    // A file the Trash took but that cannot be found there again simply cannot be undone.
    if (outcome->found)
        done_.push_back(*outcome->found);
    return true;
}

SentFile TrashUndo::takeNewest() {
    SentFile newest = done_.back();
    done_.pop_back();
    return newest;
}
