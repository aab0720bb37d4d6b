#pragma once

#include <QString>

// The product name: the window caption, and the title of boxes shown before
// the window has worked out its application title.
inline const QString kProductName = QStringLiteral("Thrennic");

// The desktop id: the name of the program's menu entry, less ".desktop".
inline const QString kDesktopId = QStringLiteral(THRENNIC_APP_ID);
