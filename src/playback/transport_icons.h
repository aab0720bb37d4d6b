#pragma once

#include <QIcon>

class QPalette;

// The player's transport symbols, drawn in the palette's button-text colour
// rather than looked up in an icon theme: a theme look-up loads icon engines
// and image plugins, which held up the window's first appearance.
enum class TransportIcon { Previous, Play, Pause, Stop, Next, Volume, Muted };
QIcon transportIcon(TransportIcon kind, const QPalette& palette);
