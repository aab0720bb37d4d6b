#include "app/form1.h"

#include "app/trap.h"
#include "platform/failure.h"
#include "playback/level_match.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"

#include <QApplication>
#include <QCheckBox>

int boxValue(const QCheckBox& box) {
    switch (box.checkState()) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    }
    return 0;
}

void setBoxValue(QCheckBox& box, int value) {
    static const Qt::CheckState states[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    if (value < 0 || value > 2)
        throw Failure(QStringLiteral("Invalid property value %1").arg(value));
    if (value == 2)
        box.setTristate(true);
    box.setCheckState(states[value]);
}

namespace {

void followBox(Form1& form, const QCheckBox& box, const QString& mode) {
    const int value = boxValue(box);
    if (value == 1)
        form.WMP->setMode(mode, true);
    else if (value == 0)
        form.WMP->setMode(mode, false);
    if (!form.BusyUpdating)
        form.WMPView->setFocus();
}

} // namespace

void Form1::Check1_Click() {
    followBox(*this, *Check1, QStringLiteral("shuffle"));
}

void Form1::Check2_Click() {
    followBox(*this, *Check2, QStringLiteral("loop"));
}

void Form1::ToggleLevelMatch() {
    LevelMatcher& match = WMPView->levelMatch();
    match.setOn(!match.on());
    SaveListAndOptions();
}

// List order, whatever Shuffle and Repeat say; PlayNew wraps at both ends.
void Form1::PushButton10_Click() {
    Trap trap(dialogs_, "PushButton10_Click");
    if (trap.test(100, [&] { return ListView1->Count() > 0; }))
        trap(102, [&] { PlayNew(ListView1->SelectedIndex() + 1); });
}

void Form1::PushButton9_Click() {
    Trap trap(dialogs_, "PushButton9_Click");
    if (trap.test(100, [&] { return ListView1->Count() > 0; }))
        trap(102, [&] { PlayNew(ListView1->SelectedIndex() - 1); });
}

void Form1::PlayNeighbour(int step) {
    // Media keys come in bursts and from behind boxes: one that found nothing
    // selected reported it in a box, and the burst's next call, run inside that
    // box, opened another, dozens deep.
    if (QApplication::activeModalWidget() || ListView1->Count() == 0)
        return;
    if (ListView1->HasSelection()) {
        outsideSwitch([&] { PlayNew(ListView1->SelectedIndex() + step); });
        return;
    }
    // Nothing selected (an item with no entry plays): from the entry of the
    // file that plays, or from the top.
    int from = step > 0 ? 0 : ListView1->Count() + 1;
    if (const Media& playing = WMP->currentMedia())
        for (int i = 1; i <= ListView1->Count(); ++i)
            if (ListView1->Path(i) == playing->sourceURL()) {
                from = i;
                break;
            }
    outsideSwitch([&] { PlayNew(from + step); });
}
