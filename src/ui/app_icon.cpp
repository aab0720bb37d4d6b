#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawIconAt(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x6f, 0xb2));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    // the bin
    p.setBrush(QColor(0xf2, 0xf5, 0xf8));
    p.drawRoundedRect(QRectF(18, 30, 28, 26), 3, 3);
    p.drawRect(QRectF(14, 25, 36, 4));
    p.drawRect(QRectF(27, 21, 10, 4));
    // the waveform on the bin
    QPen wave(QColor(0x1f, 0x6f, 0xb2), 2.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(wave);
    const double heights[] = {4, 10, 16, 8, 13, 5};
    for (int i = 0; i < 6; ++i) {
        const double x = 22 + i * 4;
        p.drawLine(QPointF(x, 43 - heights[i] / 2), QPointF(x, 43 + heights[i] / 2));
    }
    // a note above
    p.setPen(QPen(QColor(0xf2, 0xf5, 0xf8), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(44, 8), QPointF(44, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xf5, 0xf8));
    p.drawEllipse(QPointF(41, 18), 3.5, 2.8);
    return pixmap;
}

} // namespace

QPixmap drawAppIcon(int size) {
    return drawIconAt(size);
}

QIcon makeAppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(drawIconAt(size));
    return icon;
}
