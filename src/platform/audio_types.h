#pragma once

#include <QString>
#include <QStringList>

// The one table of the audio formats this program plays (what libmpv and
// FFmpeg here decode): each file-name extension with its MIME types. The Open
// dialog's extra patterns, a folder's audio files, what the desktop's player
// controls may open and the menu entry's MimeType all come from it.
namespace audio_types {

// "mp3", "wav", … in the table's order, each once.
QStringList extensions();
// "*.mp3", "*.wav", …: extensions() as file-name patterns.
QStringList namePatterns();
// "audio/mpeg", … in the table's order, each once.
QStringList mimeTypes();
// Whether a file name ends in one of the extensions, in any letter case.
bool isAudioFileName(QStringView name);

} // namespace audio_types
