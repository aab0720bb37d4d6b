#pragma once

#include <QString>
#include <QStringList>

// True for a path that names an existing regular file; folders and missing
// paths give false. Never raises.
bool FileExistsOnDisk(const QString& path);

// The files in a folder that match the pattern ("*.*" for all), hidden ones
// included and folders left out, in name order. The names stand at index 1
// onwards; index 0 is empty, so a folder with no file gives one empty name.
QStringList GetFolderFiles(const QString& folder, const QString& pattern);
