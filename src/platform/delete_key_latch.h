#pragma once

#include <QObject>
#include <functional>

class QKeyEvent;
class QWidget;

// Tells whether Delete was pressed since the last look: an application-wide filter that notes a
// Delete press only where the user is looking at what plays: the main window while no dialog or
// menu of ours is open, or the full-screen player. Presses in our dialogs (a file name being
// edited, a message box) and presses in other programs never count, and neither does a held key's
// auto-repeat: holding Delete is one press.
class DeleteKeyLatch : public QObject {
    Q_OBJECT
  public:
    DeleteKeyLatch(QWidget* mainWindow, QWidget* player);
    ~DeleteKeyLatch() override;
    // True when Delete was pressed since the last call; clears the note.
    bool takePress();
    // A held key's repeat: Qt's own mark, or, when Qt missed the pair on a busy
    // machine, a press stamped with the very time of the release before it, as
    // the X server's repeats are.
    bool isRepeat(const QKeyEvent& press) const;
    // Called on every press noted, so the poll can be armed only when needed.
    std::function<void(QObject* receiver)> onPress;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* mainWindow_;
    QWidget* player_;
    bool pressed_ = false;
    quint64 lastRelease_ = 0; // the time stamp of the last Delete release
};

// Whether a key delivered to this widget may act on the playing file: it is in
// the main window with no modal dialog or popup open, or in the player while it
// fills the screen.
bool inPlayingView(const QWidget& receiver, const QWidget& mainWindow, const QWidget& player);
