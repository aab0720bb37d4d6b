#pragma once

// How long a file has played, told from the positions the player reports: a
// step forward of at most a second is playback; a longer one, or one back, is
// a seek; a report while not playing makes the next one count from itself.
class PlayedTime {
  public:
    // The seconds of playback this position adds (0 for none).
    double step(double position, bool playing) {
        if (!playing) {
            at_ = -1;
            return 0;
        }
        const double step = position - at_;
        const bool played = at_ >= 0 && step > 0 && step <= kLongestPlayedStep;
        at_ = position;
        return played ? step : 0;
    }
    void restart() { at_ = -1; }

  private:
    static constexpr double kLongestPlayedStep = 1.0;
    double at_ = -1; // the last position reported while playing
};
