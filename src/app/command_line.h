#pragma once

#include <QStringList>

// The files named on the command line (or handed over by a later copy), in
// their order, as absolute paths: a folder stands for the audio files in it,
// in name order, rather than for an entry of its own. Other arguments that
// name nothing on disk are kept, so that adding them reports them as a drop does.
QStringList commandLineFiles(const QStringList& arguments, const QString& workingFolder);

// The audio file name patterns of the Open dialog's first filter (*.mp3, *.wav, …).
QStringList audioFilePatterns();
