#include "app/form1.h"

#include "app/trap.h"
#include "platform/delete_key_latch.h"
#include "platform/key_target.h"
#include "playback/player_widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QTimer>

namespace {

constexpr int kVkReturn = 13, kVkControl = 17, kVkDelete = 46, kVkH = 72, kVkJ = 74, kVkL = 76,
              kVkO = 79, kVkT = 84, kVkZ = 90;
constexpr int kVk0 = 48, kVkFirstDigit = 49, kVkLastDigit = 57; // 1 to 9
constexpr int kShiftBit = 1, kCtrlBit = 2, kAltBit = 4;

// The key code and shift bits the window's key handler works with.
int keyCodeOf(const QKeyEvent& e) {
    switch (e.key()) {
    case Qt::Key_Control:
        return kVkControl;
    case Qt::Key_Delete:
        return kVkDelete;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kVkReturn;
    default:
        // Ctrl+Shift+1 comes as the layout's "!": the digit key it was.
        if (const int digit = digitKeyOf(e); digit > 0)
            return kVk0 + digit;
        // Letters and digits have the same codes in both worlds.
        return e.key() >= Qt::Key_0 && e.key() <= Qt::Key_Z ? e.key() : 0x10000 + e.key();
    }
}

int shiftBitsOf(const QKeyEvent& e) {
    return (e.modifiers() & Qt::ShiftModifier ? kShiftBit : 0) |
           (e.modifiers() & Qt::ControlModifier ? kCtrlBit : 0) |
           (e.modifiers() & Qt::AltModifier ? kAltBit : 0);
}

void toggle(QCheckBox& box) {
    const int value = boxValue(box);
    if (value != 2)
        setBoxValue(box, value == 0 ? 1 : 0);
}

} // namespace

void Form1::Form_KeyDown(int& keyCode, int shift) {
    const int bits = shift & (kShiftBit | kCtrlBit | kAltBit);
    if (keyCode == kVkControl) {
        WMPView->setFocus();
    } else if (bits == kCtrlBit && keyCode == kVkH) {
        toggle(*Check1);
        WMPView->setFocus();
        keyCode = 0;
    } else if (bits == kCtrlBit && keyCode == kVkT) {
        toggle(*Check2);
        WMPView->setFocus();
        keyCode = 0;
    } else if (bits == (kCtrlBit | kShiftBit) && keyCode == kVkO) {
        AddFolderToPlaylist();
        keyCode = 0;
    } else if (bits == kCtrlBit && keyCode == kVkZ) {
        UndoDelete();
        keyCode = 0;
    } else if (bits == kCtrlBit && keyCode == kVkL) {
        ToggleLevelMatch();
        keyCode = 0;
    } else if (bits == kCtrlBit && keyCode == kVkJ) {
        PlayNextUnheard();
        keyCode = 0;
    } else if ((bits & ~kShiftBit) == kCtrlBit && keyCode >= kVkFirstDigit &&
               keyCode <= kVkLastDigit) {
        if (bits & kShiftBit)
            ChooseFolderFor(keyCode - kVk0);
        else
            MoveToFolderKey(keyCode - kVk0);
        keyCode = 0;
    } else if (keyCode == kVkDelete) {
        DeleteKeyHandled = true;
        BusyUpdating = true;
        DeleteToRBIN();
        BusyUpdating = false;
        keyCode = 0;
    } else if (bits == kAltBit && keyCode == kVkReturn) {
        if (WMP->playState() == Player::Playing) {
            WMP->setFullScreen(true);
            keyCode = 0;
        } else {
            DeleteKeyHandled = false;
        }
    } else {
        DeleteKeyHandled = false;
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    restoreOnceExposed(watched, event);
    if (watched == Frame1 && event->type() == QEvent::MouseMove)
        Frame1_MouseMove();
    noteHeldKeys(event);
    if (event->type() != QEvent::KeyPress || !isKeyTarget(watched))
        return false;
    auto* receiver = static_cast<QWidget*>(watched);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const bool toPlayer = receiver == WMPView || WMPView->isAncestorOf(receiver);
    // Esc during a copy to another drive cancels the newest, in the window and at full screen.
    if (key.key() == Qt::Key_Escape && key.modifiers() == Qt::NoModifier &&
        inPlayingView(*receiver, *this, *WMPView) && CancelNewestCopy())
        return true;
    // Esc while folders are walked for their files cancels that.
    if (key.key() == Qt::Key_Escape && key.modifiers() == Qt::NoModifier && FolderWalkRunning() &&
        receiver->window() == this && inPlayingView(*receiver, *this, *WMPView)) {
        CancelFolderWalks();
        return true;
    }
    // A held Ctrl+N moves one file: its repeats do nothing.
    if (digitKeyOf(key) > 0 && (key.modifiers() & Qt::ControlModifier) &&
        inPlayingView(*receiver, *this, *WMPView) && !FolderKeys.firstPress(key))
        return true;
    if (key.key() == Qt::Key_Delete) {
        // A held key is one press: its auto-repeats never delete, by any route.
        if (DeleteKey->isRepeat(key))
            return !toPlayer;
        // The player takes Delete itself, in the window and at full screen; that
        // press reaches us only through the poll, and is not one the key handler took.
        if (toPlayer) {
            DeleteKeyHandled = false;
            return false;
        }
    }
    // The window sees each key before the control that has the focus. Keys
    // pressed in the player's own window (full screen) are the player's.
    if (receiver->window() != this || !inPlayingView(*receiver, *this, *WMPView))
        return false;
    int keyCode = keyCodeOf(key);
    guarded("Form_KeyDown", [&] { Form_KeyDown(keyCode, shiftBitsOf(key)); });
    return keyCode == 0;
}

void Form1::noteHeldKeys(QEvent* event) {
    if (event->type() == QEvent::KeyRelease)
        FolderKeys.released(static_cast<const QKeyEvent&>(*event));
    else if (event->type() == QEvent::ApplicationStateChange &&
             static_cast<const QApplicationStateChangeEvent&>(*event).applicationState() !=
                 Qt::ApplicationActive)
        FolderKeys.forgetAll();
}

void Form1::Timer2_Timer() {
    // A press noted just before a dialog opened must not act behind it.
    if (!DeleteKey->takePress() || DeleteKeyHandled || QApplication::activeModalWidget())
        return;
    guarded("Timer2_Timer", [&] { deleteMedia(); });
}

void Form1::PushButton7_Click() {
    Trap trap(dialogs_, "PushButton7_Click");
    trap(100, [&] {
        const QString lines[] = {QStringLiteral("Ctrl+F = Next Video"),
                                 QStringLiteral("Ctrl+B = Previous Video"),
                                 QStringLiteral("Ctrl+H = Toggle Shuffle"),
                                 QStringLiteral("Ctrl+T = Toggle Repeat"),
                                 QStringLiteral("F8 = Volume Down"),
                                 QStringLiteral("F9 = Volume Up"),
                                 QStringLiteral("Delete Key = Send to Recycle Bin"),
                                 QStringLiteral("Right Arrow = Skip Ahead"),
                                 QStringLiteral("Left Arrow = Skip Back")};
        QString text;
        for (const QString& line : lines)
            text += line + QLatin1Char('\r');
        dialogs_.showMessage(text, AppTitle, MessageIcon::None);
    });
}
