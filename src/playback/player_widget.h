#pragma once

#include <QRect>
#include <QWidget>

enum class TransportIcon;

class Player;
class QLabel;
class QSlider;
class QToolButton;

// The player on screen: a screen with the file's name, position and length
// above a transport bar (previous, play/pause, stop, next, seek, mute, volume).
// It keeps the keyboard focus itself (its buttons never take it) and handles
// its own keys; Delete it swallows, so that press reaches the program only
// through the Delete-key poll. Other keys go on to the window.
class PlayerWidget : public QWidget {
    Q_OBJECT
  public:
    PlayerWidget(Player& player, QWidget* parent);
    // A line on the screen for a few seconds: what a delete or an undo did.
    void showNotice(const QString& text);
    QString notice() const;

  Q_SIGNALS:
    void GotFocus();
    void LostFocus();
    void DoubleClick();
    void MouseMove();
    // Ctrl+Z at full screen, where the window does not see the keys.
    void UndoRequested();

  protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QToolButton* transportButton(QWidget* bar, TransportIcon icon, const QString& tip);
    // Draws the symbol in the current palette, and again whenever the palette changes.
    void setSymbol(QToolButton* button, TransportIcon icon);
    void buildScreen();
    void buildTransportBar();
    void showItem();
    void showState(int state);
    void showPosition();
    void showVolume(int percent, bool muted);
    void showFullScreen(bool on);

    Player& player_;
    QLabel* title_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* notice_ = nullptr;
    class QTimer* noticeTimer_ = nullptr;
    QLabel* time_ = nullptr;
    QSlider* seek_ = nullptr;
    QSlider* volume_ = nullptr;
    QToolButton* playPause_ = nullptr;
    QToolButton* mute_ = nullptr;
    QRect placeInWindow_;
};

// "m:ss", or "h:mm:ss" from an hour on.
QString formatTime(double seconds);
