#include "app/form1.h"

#include "playback/player_widget.h"
#include "playlist/list_view.h"

#include <QFileInfo>

namespace {
// A file the user did not choose here may go once this much of it has played.
constexpr double kHeardEnoughSeconds = 0.5;
} // namespace

void Form1::followHearing(Player::ChangeCause cause) {
    unheard_ = outsideSwitches_ > 0 || cause == Player::ChangeCause::EndOfItem;
    heardClock_.restart();
    heardFor_ = 0;
}

void Form1::WMP_PositionChange(double seconds) {
    if (!unheard_)
        return;
    heardFor_ += heardClock_.step(seconds, WMP->playState() == Player::Playing);
    if (heardFor_ >= kHeardEnoughSeconds)
        unheard_ = false;
}

void Form1::sayTooSoon(bool moving) {
    WMPView->showNotice(
        QStringLiteral("Too soon after the last one: %1")
            .arg(moving ? QStringLiteral("move ignored") : QStringLiteral("Delete ignored")));
}

bool Form1::mayDeletePlaying(bool moving) {
    const QString ignored =
        moving ? QStringLiteral("move ignored") : QStringLiteral("Delete ignored");
    const QString nothingSent = moving ? QStringLiteral("nothing was moved")
                                       : QStringLiteral("nothing was sent to the Trash");
    // A press on an entry selects it before its file plays; during a drag the
    // selection is the entry being carried.
    if (ListMouseDown) {
        WMPView->showNotice(QStringLiteral("Mouse button held on the list: %1").arg(ignored));
        return false;
    }
    if (unheard_) {
        WMPView->showNotice(QStringLiteral("Not heard yet: %1").arg(ignored));
        return false;
    }
    if (!ListView1->HasSelection())
        return true;
    const QString chosen = ListView1->Path(ListView1->SelectedIndex());
    // A drive that stopped answering moves nothing, and its entry stays.
    const std::optional<FileIdentity> now = identityWithin(chosen);
    if (!now) {
        WMPView->showNotice(QStringLiteral("The drive of %1 is not answering; %2")
                                .arg(QFileInfo(chosen).fileName(), nothingSent));
        return false;
    }
    // A move needs the file where its entry says; one renamed or removed
    // meanwhile is left playing, for nothing can be moved.
    if (moving && !now->known()) {
        WMPView->showNotice(QStringLiteral("%1 is not in its folder any more; %2")
                                .arg(QFileInfo(chosen).fileName(), nothingSent));
        return false;
    }
    const Media& playing = WMP->currentMedia();
    if (!playing || chosen != playing->sourceURL())
        return true;
    // A file gone from its folder goes nowhere anyway; one that is there must
    // be the very file the player opened.
    if (now->known() && *now != WMP->openedIdentity()) {
        WMPView->showNotice(QStringLiteral("%1 was replaced on disk since it was opened; %2")
                                .arg(QFileInfo(playing->sourceURL()).fileName(), nothingSent));
        return false;
    }
    return true;
}
