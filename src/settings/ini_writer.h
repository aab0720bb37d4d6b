#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

#include <QStringList>
#include <vector>

using SettingsWrites = QList<QPair<QString, QString>>; // key, value; the later of equal keys wins
// Values of the keys prefix0, prefix1, …, each block as one prefix and its values.
using NumberedWrites = std::vector<std::pair<QString, QStringList>>;
// The numbered blocks as keys and values, after the plain writes.
SettingsWrites withNumbered(SettingsWrites writes, const NumberedWrites& numbered);

// What QSettings writes after "key=" for a plain string: its escapes, quotes
// where blanks, ';', ',' or '=' need them, the rest as UTF-8.
QByteArray iniValueText(const QString& value);

// The file QSettings writes when the values are set, in this order, over the
// file as it stands, for keys of one section: the section's keys already in
// the file keep their places (with their new values), new ones follow in the
// order given, and the rest of the file stays as it is. Nothing when the file
// holds what only QSettings itself can be trusted to rewrite (what the quick
// reader declines, or the section given twice): the caller then saves through
// QSettings.
// The keys numbered is the family that makes up most of the section (see IniStrings).
std::optional<QByteArray> mergedIniFile(QByteArrayView file, QLatin1String section,
                                        QLatin1String numbered, const SettingsWrites& writes);
