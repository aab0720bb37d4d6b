#pragma once

class QObject;

// Qt offers one key press to an application-wide filter once for each widget up
// the chain from the focused one; this is true only for the first of those, the
// widget the press was meant for (the focused widget, or the window without one).
bool isKeyTarget(const QObject* receiver);

class QKeyEvent;
// The digit 1 to 9 of a press of that key on the main keyboard, with or
// without Shift (which makes it "!", "@", … on most layouts); 0 for any other key.
int digitKeyOf(const QKeyEvent& press);
