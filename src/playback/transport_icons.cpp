#include "playback/transport_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <algorithm>

namespace {

// Each symbol on a 16 x 16 grid.
void drawSymbol(QPainter& p, TransportIcon kind) {
    QPainterPath path;
    switch (kind) {
    case TransportIcon::Play:
        path.addPolygon(QPolygonF({{4, 2}, {14, 8}, {4, 14}}));
        break;
    case TransportIcon::Pause:
        path.addRect(3.5, 2.5, 3.5, 11);
        path.addRect(9, 2.5, 3.5, 11);
        break;
    case TransportIcon::Stop:
        path.addRect(3, 3, 10, 10);
        break;
    case TransportIcon::Previous:
        path.addRect(2.5, 3, 2, 10);
        path.addPolygon(QPolygonF({{13.5, 3}, {5, 8}, {13.5, 13}}));
        break;
    case TransportIcon::Next:
        path.addRect(11.5, 3, 2, 10);
        path.addPolygon(QPolygonF({{2.5, 3}, {11, 8}, {2.5, 13}}));
        break;
    case TransportIcon::Volume:
    case TransportIcon::Muted:
        path.addPolygon(QPolygonF({{2, 6}, {5, 6}, {9, 2.5}, {9, 13.5}, {5, 10}, {2, 10}}));
        break;
    }
    p.drawPath(path.simplified());
    QPen line(p.brush().color(), 1.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(line);
    p.setBrush(Qt::NoBrush);
    if (kind == TransportIcon::Volume) {
        p.drawArc(QRectF(7.5, 5, 4, 6), -60 * 16, 120 * 16);
        p.drawArc(QRectF(7, 3, 7, 10), -60 * 16, 120 * 16);
    } else if (kind == TransportIcon::Muted) {
        p.drawLine(QPointF(11, 6), QPointF(15, 10));
        p.drawLine(QPointF(15, 6), QPointF(11, 10));
    }
}

// Draws the symbol at whatever size is asked for, only when it is asked for.
class SymbolEngine : public QIconEngine {
  public:
    SymbolEngine(TransportIcon kind, const QPalette& palette)
        : kind_(kind), normal_(palette.color(QPalette::Active, QPalette::ButtonText)),
          disabled_(palette.color(QPalette::Disabled, QPalette::ButtonText)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const int side = std::min(rect.width(), rect.height());
        painter->translate(rect.x() + (rect.width() - side) / 2.0,
                           rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / 16.0, side / 16.0);
        painter->setPen(Qt::NoPen);
        painter->setBrush(mode == QIcon::Disabled ? disabled_ : normal_);
        drawSymbol(*painter, kind_);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new SymbolEngine(*this); }

  private:
    TransportIcon kind_;
    QColor normal_;
    QColor disabled_;
};

} // namespace

QIcon transportIcon(TransportIcon kind, const QPalette& palette) {
    return QIcon(new SymbolEngine(kind, palette));
}
