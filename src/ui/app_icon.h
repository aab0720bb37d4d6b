#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own icon, drawn here: a waveform above a bin.
QIcon makeAppIcon();
// The same picture at one size, for the desktop's icon files.
QPixmap drawAppIcon(int size);
