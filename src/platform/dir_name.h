#pragma once

#include <QString>

// The directory look-up of a path with normal attributes: the file's own name
// when the path names a regular file that is not hidden (no leading dot),
// otherwise the empty string. Folders, missing paths and dot-files give "".
QString dirName(const QString& path);

// The text after the last '/' of a path, or "" when it holds none. Looks at no disk.
QString GetFileNameFromPath(const QString& path);
