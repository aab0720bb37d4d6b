#include "platform/key_target.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

bool isKeyTarget(const QObject* receiver) {
    if (!receiver->isWidgetType())
        return false;
    const QWidget* focus = QApplication::focusWidget();
    if (focus)
        return receiver == focus;
    return static_cast<const QWidget*>(receiver)->isWindow();
}

int digitKeyOf(const QKeyEvent& press) {
    if (press.key() >= Qt::Key_1 && press.key() <= Qt::Key_9 &&
        !(press.modifiers() & Qt::KeypadModifier))
        return press.key() - Qt::Key_0;
    // Shifted, the key is named by the layout's symbol: the X key codes of the
    // digit row (10 to 18 for 1 to 9) say which it was.
    constexpr quint32 kFirstDigitKeyCode = 10;
    const quint32 code = press.nativeScanCode();
    if ((press.modifiers() & Qt::ShiftModifier) && code >= kFirstDigitKeyCode &&
        code < kFirstDigitKeyCode + 9)
        return int(code - kFirstDigitKeyCode) + 1;
    return 0;
}
