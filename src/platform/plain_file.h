#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// What a path names, following symbolic links: nothing, a plain file, or
// something else (a folder, a pipe, a device). The path as the disk spells it.
enum class FileKind { Missing, Plain, Other };
FileKind fileKind(const QByteArray& diskPath);

inline bool isPlainFile(const QByteArray& diskPath) {
    return fileKind(diskPath) == FileKind::Plain;
}
inline bool isPlainFile(const QString& path) {
    return isPlainFile(QFile::encodeName(path));
}

// Something stands there that must not be opened: reading a pipe or a device
// would wait for good or never end, and a folder cannot be replaced.
inline bool standsInTheWay(const QString& path) {
    return fileKind(QFile::encodeName(path)) == FileKind::Other;
}
