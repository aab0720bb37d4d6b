#include "app/form1.h"

#include "app/trap.h"
#include "platform/dialogs.h"
#include "platform/product.h"
#include "playback/level_match.h"
#include "playback/player_widget.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <cstdio>

namespace {
// Closing waits this long for the last save, so that the program always ends.
constexpr int kLastSaveWaitMs = 1500;
} // namespace

void Form1::SaveListAndOptions() {
    namespace keys = settings_keys;
    restorePending(); // never a save of the list without the restored entries
    settings_.write(QLatin1String(keys::kShuffle), QString::number(boxValue(*Check1)));
    settings_.write(QLatin1String(keys::kRepeat), QString::number(boxValue(*Check2)));
    const Playlist& items = currentItems();
    settings_.write(QLatin1String(keys::kListCount), QString::number(items.count()));
    QStringList paths;
    paths.reserve(items.count());
    for (int i = 0; i < items.count(); ++i)
        paths << items.Item(i)->sourceURL();
    settings_.writeNumbered(QLatin1String(keys::kSongPrefix), paths);
    // The sound as it was left, in the player's own group.
    settings_.writeOption(QLatin1String(keys::kVolume), QString::number(WMP->volume()));
    settings_.writeOption(QLatin1String(keys::kMute),
                          WMP->mute() ? QStringLiteral("1") : QStringLiteral("0"));
    settings_.writeOption(QLatin1String(keys::kLevelMatch),
                          WMPView->levelMatch().on() ? QStringLiteral("1") : QStringLiteral("0"));
    // Song keys at or beyond the count stay; start-up reads exactly ListCount of them.
    // The file is written while the window goes on; a failure is reported later
    // as the failure of the step that asked for this save (or of this
    // procedure, when no trapped step did).
    Trap::Step asking = Trap::running();
    if (!asking.dialogs)
        asking = {&dialogs_, "SaveListAndOptions", 100, Trap::Reporting};
    settings_.commit([asking](const QString& why) { asking.report(why); });
}

void Form1::Form_QueryUnload() {
    Trap trap(dialogs_, "Form_QueryUnload");
    trap(100, [&] { SaveListAndOptions(); });
    trap(102, [&] { QCoreApplication::processEvents(); });
    trap(104, [&] { QCoreApplication::processEvents(); });
}

void Form1::Form_Unload() {
    guarded("finishListening", [&] { finishListening(false); }); // its time heard so far
    WMP->stop();
    if (endProgram_)
        endProgram_();
}

void Form1::closeEvent(QCloseEvent* event) {
    // However the window is closed (its close button, the window manager, the
    // session ending, a termination signal), it saves once and the program ends.
    // A second close while the first one lets pending events run (a signal and
    // the window manager at once, say) must not save or unload twice.
    if (closing_) {
        event->accept();
        return;
    }
    // Never a file half moved: a copy under way is waited for, or cancelled.
    if (Copies->busy() && !mayCloseDuringCopy()) {
        event->ignore();
        return;
    }
    closing_ = true;
    // During start-up the list is only partly restored: saving it would lose
    // the rest of the saved playlist, which the file still holds whole.
    if (!loading_)
        Form_QueryUnload();
    // The last save lands (and a failure of it is told) before the program
    // ends, unless the drive it goes to stops answering: then the user is told
    // that the last changes are not kept (the old file stays whole).
    if (!settings_.waitForSaves(kLastSaveWaitMs))
        sayNotSaved();
    Form_Unload();
    event->accept();
}

void Form1::sayNotSaved() {
    const QString why = QStringLiteral("The playlist could not be saved: the drive of %1 is not "
                                       "answering.")
                            .arg(settings_.fileName());
    std::fprintf(stderr, "%s\n", why.toLocal8Bit().constData());
    std::fflush(stderr);
    dialogs_.showMessage(why, kProductName, MessageIcon::Warning);
}

void Form1::ReportHandlerFailure(const char* handler, const std::exception& e) {
    Trap trap(dialogs_, handler);
    trap(100, [&] { throw Failure(describe(e)); });
}
