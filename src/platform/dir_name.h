#pragma once

#include <QString>
#include <QStringList>

// The directory look-up of a path with normal attributes: the file's own name
// when the path names a regular file that is not hidden (no leading dot),
// otherwise the empty string, also when its drive does not answer in time.
// dirNameNow looks on the calling thread, however long the drive takes.
QString dirName(const QString& path);
QString dirNameNow(const QString& path);

// dirName of every path, in order, with the same answers. A folder that holds
// a good share of its files among them is read once instead of looking each
// file up on its own, which is what makes restoring a list of thousands of
// files quick. The folders are read on a thread of their own: one that gives
// no answer and reads nothing more for stallMs is left behind, its paths
// answered "" and marked in *notAnswering (when given), and the rest go on.
QStringList dirNames(const QStringList& paths, QList<bool>* notAnswering = nullptr,
                     int stallMs = 100);

// The text after the last '/' of a path, or "" when it holds none. Looks at no disk.
QString GetFileNameFromPath(const QString& path);
