#pragma once

#include "platform/time_text.h"
#include "playback/screen_parts.h"

#include <QElapsedTimer>
#include <QRect>
#include <QWidget>

class LevelMatcher;
class Player;
class QLabel;
class WaveformLoader;
class WaveformPanel;
class WaveformView;

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
    // What the program is busy with ("Adding… 12,345 files found"), for as long
    // as it lasts; empty hides it.
    void showActivity(const QString& text);
    QString activityText() const;
    // The line of the folders bound to keys ("Ctrl+1 Keep · Ctrl+2 Maybe"); empty hides it.
    void showFolderKeys(const QString& line);
    QString folderKeysText() const;
    // Where the sorting stands ("Heard 1,204 of 10,000 · …"); empty hides it.
    void showProgress(const QString& line);
    QString progressText() const;
    // "No sound: …" while nothing can be heard; empty while sound works.
    QString soundNotice() const;
    WaveformView* waveformView() const { return waveform_; }
    WaveformLoader* waveformLoader() const;
    // What the screen says of the current file: its folder, its facts, its place.
    QString folderText() const;
    QString factsText() const;
    QString placeText() const;
    QString tagsText() const;
    // Level matching of what plays (Ctrl+L), and what it says on the screen.
    LevelMatcher& levelMatch() const { return *levelMatch_; }
    QString levelText() const;

  Q_SIGNALS:
    void GotFocus();
    void LostFocus();
    void DoubleClick();
    void MouseMove();
    // Ctrl+Z at full screen, where the window does not see the keys.
    void UndoRequested();
    // What the shown file's tags say changed (title · artist · album; empty for none).
    void TagsChanged(const QString& tags);
    // Ctrl+L at full screen.
    void LevelMatchRequested();
    // Ctrl+1 … Ctrl+9 there (again: with Shift, to choose the folder anew).
    void FolderKeyPressed(int number, bool chooseAgain);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildScreen();
    void buildTransportBar();
    void showItem();
    void nameForScreenReaders();
    void showPlayhead();
    void showPlace();
    void seekToFraction(double fraction);
    void showFailure(const QString& name, const QString& reason);
    double length() const;
    bool secondPressOfADoubleClick(const QPoint& at);
    void showState(int state);
    void showFullScreen(bool on);
    void showNoSound(const QString& reason);

    Player& player_;
    QLabel* title_ = nullptr;
    QLabel* status_ = nullptr;
    ElidedLabel* folder_ = nullptr;
    QLabel* facts_ = nullptr;
    QLabel* level_ = nullptr; // "Level matched (+3.5 dB)" while it acts
    QLabel* tags_ = nullptr;  // the file's own title, artist and album, under its name
    QLabel* place_ = nullptr;
    QLabel* hint_ = nullptr;
    WaveformView* waveform_ = nullptr;
    WaveformPanel* panel_ = nullptr;
    LevelMatcher* levelMatch_ = nullptr;
    class QTimer* placeTimer_ = nullptr; // one count for a burst of list changes
    double positionBeforeClick_ = 0;     // where a double-click on the waveform goes back to
    QElapsedTimer sinceClick_;
    QPoint clickedAt_;
    QLabel* notice_ = nullptr;
    QLabel* sound_ = nullptr; // stays while it lasts, unlike the notice
    QLabel* folderKeys_ = nullptr;
    QLabel* progress_ = nullptr;
    QLabel* activity_ = nullptr;
    class QTimer* noticeTimer_ = nullptr;
    QRect placeInWindow_;
};
