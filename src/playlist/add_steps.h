#pragma once

#include "app/form1.h"

// The Open dialog's flags: no read-only box, several files, existing files only,
// explorer style, long names.
inline constexpr int kOpenDialogFlags = 2626052;
// "Audio Files (*.mp3;*.wav;*.wma;*.ogg;*.ra;…)|*.mp3;…|All Files (*.*)|*.*|": the
// five patterns of old first, then every other audio type the program plays.
QString openDialogFilter();

// The step numbers under which the shared adding steps report, which differ
// between the Open dialog and the sample button.
struct Form1::AddSteps {
    int split, slotBase, pause, oneFile, loop, handOver, selectFirst, save, notFresh;
};
