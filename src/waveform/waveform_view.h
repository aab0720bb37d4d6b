#pragma once

#include "waveform/waveform_loader.h"

#include <QPixmap>
#include <QWidget>

// The whole file's waveform on the player's screen: the peaks of each lane,
// the part played in a brighter tone, clipping in red, and a playhead line.
// A click or a drag asks to seek there. While the file is read it fills in
// from the left; a file that cannot be decoded shows why instead.
class WaveformView : public QWidget {
    Q_OBJECT
  public:
    explicit WaveformView(QWidget* parent);
    // nullptr: nothing to draw (no file, or its reading has not begun).
    void setWaveform(WaveformRef waveform);
    const WaveformRef& waveform() const { return waveform_; }
    // A line of text instead of the peaks.
    void setMessage(const QString& text);
    const QString& message() const { return message_; }
    // How much of the file has played, from 0 to 1; below 0 no playhead.
    void setPlayhead(double fraction);

  Q_SIGNALS:
    void seekRequested(double fraction);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void render();
    void drawPeaks(QPixmap& into, const QColor& tone, const QColor& clipped) const;
    int playheadX() const;
    void seekTo(const QPoint& at);

    WaveformRef waveform_;
    QString message_;
    double playhead_ = -1;
    QPixmap played_, unplayed_; // the peaks in both tones, at the widget's size
    bool stale_ = true;
    bool seeking_ = false;
};

// One line of what the file is: "FLAC · 44.1 kHz · stereo · 16-bit · 3:00 · 18.2 MB", and
// once it is read "· −16.2 LUFS · peak −0.4 dB" (or "· Silent", or "· too short to measure").
QString factsLine(const AudioFacts& facts);
// One line of what its tags say: "Take Three · The Band · Live Tapes"; empty without tags.
QString tagsLine(const AudioFacts& facts);
// "−16.2" (a true minus sign), "3.5", or with plus "+3.5": to a tenth of a dB.
QString signedDecibels(double decibels, bool plus);
