#include "app/form1.h"

#include "platform/failure.h"
#include "playback/player_widget.h"

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

void Form1::Check1_Click() { followBox(*this, *Check1, QStringLiteral("shuffle")); }

void Form1::Check2_Click() { followBox(*this, *Check2, QStringLiteral("loop")); }
