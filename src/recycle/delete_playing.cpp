#include "app/form1.h"

#include "app/trap.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>

void Form1::Timer1_Timer() {
    DeleteReady = true;
}

void Form1::pauseDeletes(qint64 sinceAskedMs) {
    DeleteReady = false;
    Timer1->start(int(std::clamp<qint64>(kDeletePauseMs - sinceAskedMs, 0, kDeletePauseMs)));
}

void Form1::deletePlaying(Trap& trap) {
    if (!trap.test(100, [&] { return DeleteReady; })) {
        sayTooSoon();
        return;
    }
    if (!mayDeletePlaying())
        return;
    // The pause is counted from this press, however long the move takes.
    deleteAsked_.start();
    trap(102, [&] {
        if (WMP->playState() == Player::Playing)
            WMP->pause();
    });
    // Stopped before the file is touched, so the player has let go of it.
    trap(104, [&] { WMP->stop(); });
    int n = 0;
    trap(106, [&] {
        if (ListView1->Count() > 0)
            n = ListView1->SelectedIndex();
    });
    trap(108, [&] { ListView1->setFocus(); });
    const size_t undoable = Recycled.size();
    deletingEntry_ = n;
    QList<int> alsoAt; // other entries of the same file, under whatever text
    trap(107, [&] {
        if (n > 0)
            alsoAt = placesOf(ListView1->Path(n), n);
    });
    trap(110, [&] { del_list2(1); });
    if (Recycled.size() > undoable) {
        SentFile& sent = Recycled.newest();
        sent.entryNumber = n;
        sent.alsoAt = alsoAt;
        rememberSent(sent);
        // Its file is in the Trash: no entry may go on naming it.
        trap(111, [&] { removeEntriesOf(sent.originalPath); });
        const QString name = QFileInfo(sent.originalPath).fileName();
        WMPView->showNotice(
            QStringLiteral("Sent to the Trash: %1 \u2014 Ctrl+Z to undo").arg(name));
    } else {
        alsoAt.clear(); // the file stayed, and so did those entries
    }
    trap(112, [&] { pauseDeletes(deleteAsked_.elapsed()); });
    // The entry that moved up into the deleted one's place, or entry 1 after the
    // last; list order, whatever shuffle says. The user has not heard it yet:
    // the next press takes it only once it has played a moment.
    trap(114, [&] {
        if (ListView1->Count() > 0)
            outsideSwitch([&] { PlayNew(entryAfterRemoval(n, alsoAt)); });
    });
    trap(116, [&] { WMPView->setFocus(); });
}

void Form1::DeleteToRBIN() {
    Trap trap(dialogs_, "DeleteToRBIN");
    deletePlaying(trap);
}

void Form1::DeleteToRBINNoPrompt() {
    Trap trap(dialogs_, "DeleteToRBINNoPrompt", Trap::Silent);
    deletePlaying(trap);
}

void Form1::PushButton6_Click() {
    Trap trap(dialogs_, "PushButton6_Click");
    trap(100, [&] { BusyUpdating = true; });
    trap(102, [&] { DeleteToRBIN(); });
    trap(104, [&] { SaveListAndOptions(); });
    trap(106, [&] { BusyUpdating = false; });
}

void Form1::deleteMedia() {
    Trap trap(dialogs_, "deleteMedia", Trap::Silent);
    trap(100, [&] { BusyUpdating = true; });
    trap(102, [&] { DeleteToRBINNoPrompt(); });
    trap(104, [&] { SaveListAndOptions(); });
    trap(106, [&] { BusyUpdating = false; });
    trap(108, [&] { QCoreApplication::processEvents(); });
    trap(110, [&] { QCoreApplication::processEvents(); });
    trap(112, [&] {
        if (ListView1->Count() > 0)
            fullScreenOncePlaying();
    });
}

void Form1::fullScreenOncePlaying() {
    // A one-shot reaction to the player's next change to playing rather than a
    // nested wait: the window stays responsive and nothing runs inside the wait.
    disconnect(waitForPlaying_);
    if (WMP->playState() == Player::Playing) {
        WMP->setFullScreen(true);
        return;
    }
    waitForPlaying_ = connect(WMP.get(), &Player::playStateChanged, this, [this](int state) {
        if (state != Player::Playing)
            return;
        disconnect(waitForPlaying_);
        WMP->setFullScreen(true);
    });
}

void Form1::whenSettled(const char* handler, std::function<void()> run) {
    // Inside a box, or half way through a delete or an add, a change of the
    // list would shift the entries the change under way is counting on.
    if (BusyUpdating || loading_ || QApplication::activeModalWidget()) {
        QTimer::singleShot(100, this, [this, handler, run = std::move(run)]() mutable {
            whenSettled(handler, std::move(run));
        });
        return;
    }
    guarded(handler, run);
}

void Form1::TrashedLate(const SentFile& file) {
    const QString name = QFileInfo(file.originalPath).fileName();
    if (file.sentTo.isEmpty()) {
        WMPView->showNotice(QStringLiteral("Sent to the Trash after all: %1").arg(name));
        return;
    }
    SentFile sent = file;
    rememberSent(sent);
    Recycled.moved(sent);
    WMPView->showNotice(
        QStringLiteral("Sent to the Trash after all: %1 \u2014 Ctrl+Z to undo").arg(name));
}
