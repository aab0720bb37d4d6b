#include "platform/held_keys.h"

#include <QKeyEvent>

quint32 HeldKeys::keyOf(const QKeyEvent& event) {
    // The physical key: with Shift or without, Ctrl released first or last,
    // its press and release carry the same scan code. Events made inside the
    // program carry none, and are told apart by the key they name.
    return event.nativeScanCode() != 0 ? event.nativeScanCode()
                                       : 0x80000000u | quint32(event.key());
}

bool HeldKeys::firstPress(const QKeyEvent& press) {
    const quint32 key = keyOf(press);
    const auto release = lastRelease_.constFind(key);
    const bool sameTimeAsRelease = release != lastRelease_.constEnd() && press.timestamp() != 0 &&
                                   *release == press.timestamp();
    const bool held = press.isAutoRepeat() || down_.contains(key) || sameTimeAsRelease;
    down_.insert(key);
    return !held;
}

void HeldKeys::released(const QKeyEvent& release) {
    const quint32 key = keyOf(release);
    down_.remove(key);
    lastRelease_.insert(key, release.timestamp());
}

void HeldKeys::forgetAll() {
    down_.clear();
}
