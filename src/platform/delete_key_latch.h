#pragma once

#include <QObject>
#include <functional>

// Stands in for asking the keyboard whether Delete was pressed since the last
// look: an application-wide filter that notes every Delete press delivered to
// one of this program's own windows (the full-screen player included). Presses
// made in other programs never reach us, so they never count.
class DeleteKeyLatch : public QObject {
    Q_OBJECT
  public:
    explicit DeleteKeyLatch(QObject* parent);
    ~DeleteKeyLatch() override;
    // True when Delete was pressed since the last call; clears the note.
    bool takePress();
    // Called on every press noted, so the poll can be armed only when needed.
    std::function<void(QObject* receiver)> onPress;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool pressed_ = false;
};
