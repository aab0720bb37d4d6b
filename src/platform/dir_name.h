#pragma once

#include <QString>
#include <QStringList>

// The directory look-up of a path with normal attributes: the file's own name
// when the path names a regular file that is not hidden (no leading dot),
// otherwise the empty string. Folders, missing paths and dot-files give "".
QString dirName(const QString& path);

// dirName of every path, in order, with the same answers. A folder that holds
// many of them is read once instead of looking each file up on its own, which
// is what makes restoring a list of thousands of files quick.
QStringList dirNames(const QStringList& paths);

// The text after the last '/' of a path, or "" when it holds none. Looks at no disk.
QString GetFileNameFromPath(const QString& path);
