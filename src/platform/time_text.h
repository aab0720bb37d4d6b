#pragma once

#include <QString>

// "m:ss", or "h:mm:ss" from an hour on.
QString formatTime(double seconds);
