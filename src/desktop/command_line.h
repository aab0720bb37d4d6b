#pragma once

#include "platform/folder_tree.h"

#include <QByteArrayList>
#include <QStringList>

// The arguments as the system gave them, in bytes, as absolute paths in their
// order; a folder is kept as a folder, which the window adds as the audio
// files under it. Other arguments that name nothing on disk are kept, so that
// adding them reports them as a drop does. Names are taken from the bytes,
// never from a decoding of them that could name another file.
NamedFiles commandLineFiles(const QByteArrayList& arguments, const QByteArray& workingFolder);
