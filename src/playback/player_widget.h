#pragma once

#include "platform/time_text.h"

#include <QElapsedTimer>
#include <QRect>
#include <QWidget>

enum class TransportIcon;

class Player;
class QLabel;
class ElidedLabel;
class WaveformLoader;
class WaveformView;
struct Waveform;
class QSlider;
class QToolButton;

// The player on screen: a screen with the file's name, folder and facts, its
// whole-file waveform (click to seek) and its place in the list, above a
// transport bar (previous, play/pause, stop, next, seek, mute, volume).
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
    // "No sound: …" while nothing can be heard; empty while sound works.
    QString soundNotice() const;
    WaveformView* waveformView() const { return waveform_; }
    WaveformLoader* waveformLoader() const { return loader_; }
    // What the screen says of the current file: its folder, its facts, its place.
    QString folderText() const;
    QString factsText() const;
    QString placeText() const;

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
    void showWaveformOf(const QString& path);
    void startReading();
    void showWaveform(const std::shared_ptr<const Waveform>& waveform);
    void showPlayhead();
    void showPlace();
    void seekToFraction(double fraction);
    void showFailure(const QString& name, const QString& reason);
    double length() const;
    bool secondPressOfADoubleClick(const QPoint& at);
    void showState(int state);
    void showPosition();
    void showVolume(int percent, bool muted);
    void showFullScreen(bool on);
    void showNoSound(const QString& reason);

    Player& player_;
    QLabel* title_ = nullptr;
    QLabel* status_ = nullptr;
    ElidedLabel* folder_ = nullptr;
    QLabel* facts_ = nullptr;
    QLabel* place_ = nullptr;
    QLabel* hint_ = nullptr;
    WaveformView* waveform_ = nullptr;
    WaveformLoader* loader_ = nullptr;
    class QTimer* readTimer_ = nullptr;  // reading starts once the file sounds, or after this
    class QTimer* placeTimer_ = nullptr; // one count for a burst of list changes
    QString shownPath_;
    double positionBeforeClick_ = 0; // where a double-click on the waveform goes back to
    QElapsedTimer sinceClick_;
    QPoint clickedAt_;
    QLabel* notice_ = nullptr;
    QLabel* sound_ = nullptr; // stays while it lasts, unlike the notice
    class QTimer* noticeTimer_ = nullptr;
    QLabel* time_ = nullptr;
    QSlider* seek_ = nullptr;
    QSlider* volume_ = nullptr;
    QToolButton* playPause_ = nullptr;
    QToolButton* mute_ = nullptr;
    QRect placeInWindow_;
};

// "37 of 1,204".
QString listPlace(int number, int count);
// The engine's reason a file failed, in the words the screen uses.
QString plainPlaybackError(const QString& engineError);
