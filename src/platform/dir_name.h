#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The directory look-up of a path with normal attributes: the file's own name
// when the path names a regular file that is not hidden (no leading dot),
// otherwise the empty string, also when its drive does not answer in time.
// dirNameNow looks on the calling thread, however long the drive takes.
QString dirName(const QString& path);
QString dirNameNow(const QString& path);

// The answers for the paths of a folder that was left behind, when it answers
// after all; called on the thread that looked.
using LateNames = std::function<void(const QStringList& paths, const QStringList& names)>;

// dirName of every path, in order, with the same answers. A folder that holds
// a good share of its files among them is read once instead of looking each
// file up on its own, which is what makes restoring a list of thousands of
// files quick. The folders are read on threads of their own, a slow one
// beside the next: one that gives no answer and reads nothing for silentMs is
// given up on, its paths answered "" and marked in *notAnswering (when
// given); what it answers later goes to late.
QStringList dirNames(const QStringList& paths, QList<bool>* notAnswering = nullptr,
                     int silentMs = 100, LateNames late = {});

// The text after the last '/' of a path, or "" when it holds none. Looks at no disk.
QString GetFileNameFromPath(const QString& path);
