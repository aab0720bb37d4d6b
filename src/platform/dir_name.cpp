#include "platform/dir_name.h"

#include <QFile>
#include <sys/stat.h>

QString GetFileNameFromPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.mid(slash + 1);
}

QString dirName(const QString& path) {
    if (path.isEmpty())
        return {};
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.startsWith(QLatin1Char('.')))
        return {};
    return name;
}
