#include "ui/pointer_file.h"

#include <QFile>
#include <QtEndian>

QPoint cursorHotSpot(const QString& path) {
    // ICONDIR (reserved 0, type 2 for a cursor, image count), then the first
    // ICONDIRENTRY, whose bytes 4 to 7 hold the hot spot's x and y.
    constexpr int kHeaderBytes = 6, kEntryBytes = 16, kHotSpotAt = kHeaderBytes + 4;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {-1, -1};
    const QByteArray head = file.read(kHeaderBytes + kEntryBytes);
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(head.constData() + at); };
    if (head.size() < kHeaderBytes + kEntryBytes || u16(0) != 0 || u16(2) != 2 || u16(4) < 1)
        return {-1, -1};
    return {u16(kHotSpotAt), u16(kHotSpotAt + 2)};
}
