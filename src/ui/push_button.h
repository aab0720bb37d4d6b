#pragma once

#include <QMouseEvent>
#include <QPushButton>

// A push button that also reports the mouse moving over it (the window's
// pointer rule listens to that).
class PushButton : public QPushButton {
    Q_OBJECT
  public:
    PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
        setMouseTracking(true);
    }

  Q_SIGNALS:
    void MouseMove();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        Q_EMIT MouseMove();
        QPushButton::mouseMoveEvent(event);
        // Taken here: passed on, the window's own mouse-move would undo the hand.
        event->accept();
    }
};
