#include "app/form1.h"

void Form1::SetMousePointer(int pointer) {
    MousePointer = pointer;
    if (pointer == 99)
        setCursor(MouseIcon);
    else
        unsetCursor();
}
