#include "app/form1.h"

#include "history/history_store.h"
#include "playback/player_widget.h"

#include <QDateTime>
#include <QUuid>

namespace {

history::Decision decisionOf(const SentFile& file, history::Decision::Action action) {
    history::Decision d;
    d.key = file.historyKey;
    d.action = action;
    d.timeMs = QDateTime::currentMSecsSinceEpoch();
    d.from = file.originalPath;
    d.to = file.sentTo;
    d.infoPath = file.infoPath;
    d.identity = file.arrived;
    d.entryNumber = file.entryNumber;
    d.alsoAt = file.alsoAt;
    return d;
}

SentFile sentFileOf(const history::Decision& d) {
    return {d.from, d.to, d.infoPath, d.entryNumber, d.identity, d.alsoAt, d.key};
}

} // namespace

void Form1::rememberSent(SentFile& file) {
    if (!History)
        return;
    file.historyKey = QUuid::createUuid().toString(QUuid::WithoutBraces);
    History->record(decisionOf(file, file.toTrash() ? history::Decision::Action::Trash
                                                    : history::Decision::Action::Move));
}

void Form1::rememberUndone(const SentFile& file) {
    if (!History || file.historyKey.isEmpty())
        return;
    history::Decision undo = decisionOf(file, history::Decision::Action::Undo);
    undo.key = QUuid::createUuid().toString(QUuid::WithoutBraces);
    std::swap(undo.from, undo.to);
    undo.infoPath.clear();
    undo.undoes = file.historyKey;
    History->record(undo);
}

void Form1::rememberRefused(const SentFile& file, const QString& why) {
    if (History && !file.historyKey.isEmpty())
        History->close(file.historyKey, why);
}

void Form1::bringInEarlierDecisions() {
    if (!History)
        return;
    lookingForEarlier_ = true;
    History->openDecisions(kEarlierDecisions, [window = QPointer<Form1>(this)](
                                                  const std::vector<history::Decision>& found) {
        if (!window)
            return;
        window->lookingForEarlier_ = false;
        std::vector<SentFile> files;
        for (const history::Decision& d : found)
            files.push_back(sentFileOf(d));
        window->Recycled.earlier(files);
    });
}

void Form1::sayHistoryNotKept(const QString& why) {
    WMPView->showNotice(QStringLiteral("History is not kept: %1").arg(why));
}
