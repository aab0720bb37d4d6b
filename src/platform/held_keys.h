#pragma once

#include <QSet>
#include <QtGlobal>

class QKeyEvent;

// Tells a key's first press from the presses the window system sends while it
// is held. Qt marks those as repeats only when it sees them so; on a busy
// machine X's repeats come unmarked, either as presses with no release between
// them or as a release and a press stamped with the same time. So a press
// counts only once the key was seen released since the last one.
class HeldKeys {
  public:
    // Notes the press; true when it begins a hold rather than continuing one.
    bool firstPress(const QKeyEvent& press);
    void released(const QKeyEvent& release);
    // A release that went to another program is never seen: once the program
    // loses the keyboard, no key counts as held any more.
    void forgetAll();

  private:
    static quint32 keyOf(const QKeyEvent& event);
    QSet<quint32> down_;
    QHash<quint32, quint64> lastRelease_; // each key's last release time stamp
};
