#pragma once

#include "waveform/waveform_loader.h"

#include <QObject>
#include <QString>

class Player;
class QTimer;

// Every file plays at this loudness while level matching is on (LUFS)…
inline constexpr double kMatchedLoudness = -18;
// …by a gain of at most this much (dB), and never so much that the file's
// loudest sample goes over this (dB under full scale).
inline constexpr double kMostMatchingGain = 12;
inline constexpr double kMatchedPeakCeiling = -1;

// The gain that brings a measured file to the matched loudness; 0 for a file
// not measured, or silent (its hiss is not worth raising).
double matchingGain(const AudioFacts& facts);

// Level matching: while on, the player's gain brings every file to the same
// loudness, so that takes are judged by ear and not by level. The gain is set
// before a file sounds when its loudness is already known (a file read before:
// Play Previous, undo), and otherwise faded in over a moment once its reading
// has measured it, so that no step is heard.
class LevelMatcher : public QObject {
    Q_OBJECT
  public:
    LevelMatcher(Player& player, WaveformLoader& loader, QObject* parent);
    bool on() const { return on_; }
    void setOn(bool on);
    // The file now current (empty: none).
    void follow(const QString& path);
    // "Level matched (+3.5 dB)" while a gain acts (not on a silent file); empty otherwise.
    QString stateText() const;

  Q_SIGNALS:
    void stateChanged(const QString& text);

  private:
    void measured(const QString& path, const WaveformRef& waveform);
    void know(const AudioFacts& facts);
    void aimAt(double gain, bool fade);
    void fadeStep();

    Player& player_;
    WaveformLoader& loader_;
    QTimer* fade_;
    bool on_ = false;
    QString path_;
    double known_ = 0; // the current file's matching gain, once known
    bool isKnown_ = false;
    bool silent_ = false; // the current file is: nothing acts on it
    double target_ = 0;   // where the fade goes
    double from_ = 0;
    int steps_ = 0; // taken of the fade
};
