#include "app/form1.h"

#include <QMouseEvent>

// The hand shows only over the push buttons: they ask for the custom pointer,
// and everything around them (the bare window, the frame, the list, the
// player) asks for the default one.

void Form1::SetMousePointer(int pointer) {
    MousePointer = pointer;
    if (pointer == 99)
        setCursor(MouseIcon);
    else
        unsetCursor();
}

void Form1::PushButton_MouseMove() {
    SetMousePointer(99);
}

void Form1::Form_MouseMove() {
    SetMousePointer(0);
}

void Form1::Frame1_MouseMove() {
    SetMousePointer(0);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}
