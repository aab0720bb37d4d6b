#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Qt turns file names into text as UTF-8; a name that is not valid UTF-8
// comes back changed (each bad byte a U+FFFD), and that text may name another
// file: "caf\xE9.wav" reads as "caf\uFFFD.wav", which can be a sibling. The
// program never acts on a path other than the one the file system gave, so
// such paths are refused before they join the playlist.

// These bytes, as the file system or a drag gave them, come back unchanged from Qt's text.
bool survivesDecoding(const QByteArray& bytes);

// A path that reached us as text (a dialog's choice, a folder listing, a saved
// playlist) is faithful unless a name on its way was decoded with a loss: some
// name in that folder, not valid UTF-8, reads as the same text.
bool isFaithfulPath(const QString& path);

// The bytes shown for a message: valid text as it is, every other byte as \xNN.
QString showBytes(const QByteArray& bytes);

// The box that names the paths refused, one a line.
QString refusedNamesMessage(const QStringList& shown);
