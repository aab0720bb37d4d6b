#pragma once

#include <QPoint>
#include <QString>

// The hot spot that a Windows cursor file (.CUR) declares for its first image,
// or (-1, -1), Qt's "the centre", when the file is no cursor file.
QPoint cursorHotSpot(const QString& path);
