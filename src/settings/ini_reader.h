#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <optional>

// The string values of one section of an INI file as QSettings wrote it, read
// in one pass instead of through QSettings, whose parse and per-key look-ups
// take milliseconds for a list of ten thousand. Only what QSettings writes for
// plain strings is read: anything else (a list, a byte array or variant, a
// continued line, a key given twice, escaped key names, a byte-order mark)
// gives nothing, and the caller reads through QSettings as before. A file it
// reads is one QSettings opens without a format error: every section heading
// it accepts ends in ']' on its own line.
std::optional<QHash<QString, QString>> readIniStrings(QByteArrayView file, QLatin1String section);
