#pragma once

#include "waveform/waveform_loader.h"

#include <QObject>
#include <QString>

class QTimer;
class WaveformView;

// Decides when the shown file's waveform is read and puts it on its view.
// Playback never waits for the waveform: a file not read before is read once
// it sounds (or a moment after, when it cannot), so the two do not compete for
// the processor while the engine opens it; a file read before shows at once.
class WaveformPanel : public QObject {
    Q_OBJECT
  public:
    WaveformPanel(WaveformView& view, QObject* parent);
    // The file now playing (empty: none). The same file again keeps what is
    // shown or on its way.
    void show(const QString& path);
    // The shown file sounds: its reading starts now if it was waiting.
    void soundStarted();
    // The length of the shown file as its own reading found it; 0 when unknown.
    double seconds() const;
    WaveformLoader& loader() { return *loader_; }

  Q_SIGNALS:
    // The facts line of the shown file ("WAV · 44.1 kHz · …"); empty for none.
    void factsChanged(const QString& facts);
    // What the shown file's tags say (see tagsLine); empty for none.
    void tagsChanged(const QString& tags);
    // A waveform arrived: the playhead can be drawn against its length.
    void waveformShown();

  private:
    void startReading();
    void showWaveform(const WaveformRef& waveform);

    WaveformView& view_;
    QString lastTags_; // told for the shown file
    WaveformLoader* loader_;
    QTimer* readTimer_; // reading starts once the file sounds, or after this
    QString shownPath_;
};
