#include "platform/time_text.h"

QString formatTime(double seconds) {
    const int total = seconds > 0 ? static_cast<int>(seconds) : 0;
    const int h = total / 3600, m = total / 60 % 60, s = total % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}
