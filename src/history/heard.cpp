#include "app/form1.h"

#include "history/history_store.h"
#include "platform/behind_playback.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"

#include <QLocale>
#include <QTimer>
#include <cmath>
#include <thread>

namespace {

// The file lying there now is the one heard: a rename keeps that, a rewrite
// or another file put in its place does not.
bool stillTheFileHeard(const FileIdentity& now, const FileIdentity& heard) {
    return now.known() && now.device == heard.device && now.inode == heard.inode &&
           now.size == heard.size && now.modifiedNs == heard.modifiedNs;
}

} // namespace

void Form1::followListening(Player::ChangeCause cause) {
    finishListening(cause == Player::ChangeCause::EndOfItem);
    const Media& item = WMP->currentMedia();
    listening_ = Listening();
    listening_.path = item ? item->sourceURL() : QString();
}

void Form1::listenedTo(double seconds) {
    const bool playing = WMP->playState() == Player::Playing;
    if (listening_.path.isEmpty())
        return;
    if (playing && !listening_.identity.known())
        listening_.identity = WMP->openedIdentity();
    listening_.playedMs += std::llround(listening_.clock.step(seconds, playing) * 1000);
    if (!listening_.counted && listening_.playedMs >= kHeardAfterMs)
        countHeard();
}

void Form1::countHeard() {
    listening_.counted = true;
    listening_.beforeMs = std::max<qint64>(ListView1->HeardMs(listening_.path), 0);
    finishListening(false);
}

void Form1::finishListening(bool playedToEnd) {
    if (listening_.path.isEmpty())
        return;
    // A file shorter than the time that makes it heard counts once it played to its end.
    if (!listening_.counted) {
        if (playedToEnd && listening_.playedMs > 0)
            countHeard();
        return;
    }
    const qint64 unrecorded = listening_.playedMs - listening_.recordedMs;
    if (unrecorded <= 0)
        return;
    listening_.recordedMs = listening_.playedMs;
    ListView1->MarkHeard({{listening_.path, listening_.beforeMs + listening_.playedMs}});
    if (History)
        History->heard({listening_.path, listening_.identity, unrecorded});
    showProgress();
}

void Form1::noteAddedEntries(int first, int last) {
    // A long restored list's first insert: its paths were looked up already.
    const bool lookedUp = std::exchange(restoreLookedForHeard_, false);
    QString folder; // neighbours mostly share one
    for (int row = first; row <= last; ++row) {
        const QString& path = ListView1->EntryAt(row + 1).path;
        if (!lookedUp)
            heardLooks_ << path;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash != folder.size() || !path.startsWith(folder)) {
            folder = path.left(slash);
            listFolders_.insert(folder);
        }
    }
    showProgress();
    if (!History || lookedUp || heardLooks_.size() != last - first + 1)
        return; // the look for the first of a burst is on its way
    QTimer::singleShot(0, this, [this] { lookForHeard(std::exchange(heardLooks_, {})); });
}

void Form1::lookForHeard(const QStringList& paths) {
    History->heardOf(paths, [tell = onWindowThread("lookForHeard", &Form1::HeardFilesFound)](
                                const QHash<QString, history::Heard>& known) {
        if (known.isEmpty())
            return;
        // Whether each is still the file heard asks its drive, which may be slow or hang.
        std::thread([known, tell] {
            yieldToPlayback();
            HeardFiles still;
            for (const history::Heard& heard : known)
                if (stillTheFileHeard(identityNow(heard.path), heard.identity))
                    still.msByPath.insert(heard.path, heard.heardMs);
            tell(still);
        }).detach();
    });
}

void Form1::HeardFilesFound(const HeardFiles& found) {
    ListView1->MarkHeard(found.msByPath);
    showProgress();
}

void Form1::PlayNextUnheard() {
    const int count = ListView1->Count();
    if (count == 0)
        return;
    const int from = ListView1->HasSelection() ? ListView1->SelectedIndex() : 0;
    for (int step = 1; step <= count; ++step) {
        const int entry = (from + step - 1) % count + 1;
        if (entry == from)
            break;
        if (ListView1->HeardMs(ListView1->Path(entry)) < 0) {
            PlayNew(entry);
            return;
        }
    }
    WMPView->showNotice(QStringLiteral("Every entry has been heard"));
}

void Form1::showProgress() {
    if (History && !progressTimer_->isActive())
        progressTimer_->start();
}

void Form1::countProgress() {
    const int entries = ListView1->Count(), heard = ListView1->HeardCount();
    History->sentFrom(listFolders_, [window = QPointer<Form1>(this), entries,
                                     heard](const history::Database::SentCounts& sent) {
        if (!window)
            return;
        const QLocale numbers = QLocale::c();
        window->WMPView->showProgress(
            QStringLiteral("Heard %1 of %2 \u00b7 %3 to the Trash \u00b7 %4 moved")
                .arg(numbers.toString(heard), numbers.toString(entries),
                     numbers.toString(sent.trashed), numbers.toString(sent.moved)));
    });
}
