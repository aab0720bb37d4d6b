#pragma once

#include <QWidget>

enum class TransportIcon;

class Player;
class QLabel;
class QSlider;
class QToolButton;

// Previous, play/pause, stop, next, the position, the time, mute and the
// volume, following the player. Its controls take the keyboard focus only by
// Tab (a click leaves it with the player's screen, which handles the keys),
// and each has a name a screen reader reads.
class TransportBar : public QWidget {
    Q_OBJECT
  public:
    TransportBar(Player& player, QWidget* parent);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    QToolButton* button(TransportIcon icon, const QString& name, const QString& tip);
    // Draws the symbol in the current palette, and again whenever the palette changes.
    void setSymbol(QToolButton* button, TransportIcon icon);
    void showState(int state);
    void showPosition();
    void showVolume(int percent, bool muted);

    Player& player_;
    QToolButton* playPause_ = nullptr;
    QSlider* seek_ = nullptr;
    QLabel* time_ = nullptr;
    QToolButton* mute_ = nullptr;
    QSlider* volume_ = nullptr;
};
