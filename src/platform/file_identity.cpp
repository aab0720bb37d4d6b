#include "platform/file_identity.h"

#include "platform/disk_call.h"

#include <QFile>
#include <sys/stat.h>

FileIdentity identityOf(const QString& path) {
    return identityWithin(path).value_or(FileIdentity{});
}

std::optional<FileIdentity> identityWithin(const QString& path) {
    return disk::call<FileIdentity>(path, [path] { return identityNow(path); });
}

FileIdentity identityNow(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {info.st_dev, info.st_ino, info.st_size,
            qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec,
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}
