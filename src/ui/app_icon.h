#pragma once

#include <QIcon>

// The program's own icon, drawn here: a waveform above a bin.
QIcon makeAppIcon();
