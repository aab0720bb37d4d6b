#include "app/form1.h"

#include "app/trap.h"
#include "platform/dir_name.h"
#include "playlist/list_view.h"

#include <algorithm>

bool entryOwnsItem(const PlaylistEntry& entry, const MediaItem& item) {
    if (item.sourceURL() != entry.path || entry.text.isEmpty())
        return false;
    const QString name = dirName(item.sourceURL());
    return !name.isEmpty() && name.toLower() == entry.text.toLower();
}

const Playlist& Form1::currentItems() const {
    if (!WMP->currentPlaylist())
        throw Failure(QStringLiteral("The player has no current playlist"));
    return *WMP->currentPlaylist();
}

void Form1::AppendEntry(const QString& text, const QString& path, int slot) {
    AppendEntries({{{text, path}, slot}});
}

void Form1::AppendEntries(const std::vector<NewEntry>& entries) {
    restorePending(); // the restored list comes first, whatever the add
    QList<ListView::Entry> rows;
    rows.reserve(static_cast<qsizetype>(entries.size()));
    int lastSlot = -1;
    for (const NewEntry& entry : entries) {
        if (entry.slot < 0)
            throw Failure(QStringLiteral("Media slot %1 is out of range").arg(entry.slot));
        rows.append(entry.entry);
        lastSlot = std::max(lastSlot, entry.slot);
    }
    ListView1->AddMany(std::move(rows));
    PlayerPlaylist->reserve(PlayerPlaylist->count() + static_cast<int>(entries.size()));
    if (static_cast<size_t>(lastSlot + 1) > MediaSlots.size())
        MediaSlots.resize(static_cast<size_t>(lastSlot + 1));
    std::vector<Media> items;
    items.reserve(entries.size());
    for (const NewEntry& entry : entries) {
        items.push_back(WMP->newMedia(entry.entry.path));
        MediaSlots[static_cast<size_t>(entry.slot)] = items.back();
    }
    PlayerPlaylist->appendItems(items);
}

void Form1::RemoveFromPlaylist(const PlaylistRef& playlist, const Media& item) {
    playlist->removeItem(item);
}

void Form1::update_playlist2(const PlaylistEntry& dele, short proc_it) {
    Trap trap(dialogs_, "update_playlist2");
    trap(100, [&] { BusyUpdating = true; });
    if (proc_it == 1) {
        int count = 0;
        trap(102, [&] { count = PlayerPlaylist->count(); });
        for (int i = 0; i < count; ++i)
            trap(104, [&] {
                const Media& item = currentItems().Item(i);
                // Only the entry's own file goes; namesakes elsewhere and folders never do.
                if (!entryOwnsItem(dele, *item))
                    return;
                // Taken late, it counts as sent from the place its entry had.
                const QString path = item->sourceURL();
                Recycled.trash(
                    path, dialogs_,
                    [path, entry = deletingEntry_,
                     toWindow = onWindowThread("DeleteToRBIN", &Form1::TrashedLate)](
                        const std::optional<SentFile>& found) {
                        SentFile sent = found.value_or(SentFile{path, {}, {}, 0, {}, {}, {}});
                        sent.entryNumber = entry;
                        toWindow(sent);
                    });
            });
    }
    trap(106, [&] { BusyUpdating = false; });
    int count = 0;
    trap(108, [&] { count = currentItems().count(); });
    // By the entry's own path, not its name: items whose files were just sent
    // away still match, and an entry with an empty name still takes its item along.
    for (int i = count - 1; i >= 0; --i) {
        bool removed = false;
        trap(110, [&] {
            // removeItem takes the list's own pointer: no copy for each item looked at.
            const Media& item = currentItems().Item(i);
            if (item->sourceURL() == dele.path) {
                RemoveFromPlaylist(PlayerPlaylist, item);
                removed = true;
            }
        });
        // The Trash route takes every entry of the same file and name, so every
        // item of the path; an entry with an empty name goes alone, so one item does.
        if (removed && (proc_it == 0 || dele.text.isEmpty()))
            return;
    }
}

QList<int> Form1::removeEntriesOf(const QString& path) {
    QList<int> places;
    for (int i = ListView1->Count(); i >= 1; --i) {
        if (ListView1->Path(i) != path)
            continue;
        update_playlist2({ListView1->Text(i), path}, 0);
        ListView1->Remove(i);
        places.prepend(i);
    }
    return places;
}

QList<int> Form1::placesOf(const QString& path, int except) const {
    QList<int> places;
    for (int i = 1; i <= ListView1->Count(); ++i)
        if (i != except && ListView1->Path(i) == path)
            places.append(i);
    return places;
}

int Form1::entryAfterRemoval(int entry, const QList<int>& removed) {
    return entry - int(std::count_if(removed.begin(), removed.end(),
                                     [entry](int place) { return place < entry; }));
}

void Form1::del_list2(short pro) {
    Trap trap(dialogs_, "del_list2");
    trap(100, [&] { ListView1->Refresh(); });
    if (pro == 0) {
        PlaylistEntry chosen;
        trap(102, [&] {
            const int p = ListView1->SelectedIndex();
            chosen = {ListView1->Text(p), ListView1->Path(p)};
        });
        trap(104, [&] { update_playlist2(chosen, 0); });
        trap(106, [&] {
            if (ListView1->Count() > 0)
                ListView1->Remove(ListView1->SelectedIndex());
        });
    } else if (trap.test(108, [&] { return ListView1->Count() > 0; })) {
        int n = 0;
        trap(110, [&] { n = ListView1->Count(); });
        // An entry goes when it is selected, or when it is the same file under the
        // same text as a selected one. Linear: each entry against the few chosen.
        std::vector<bool> selected(static_cast<size_t>(n) + 1, false);
        std::vector<PlaylistEntry> chosen;
        trap(112, [&] {
            for (const int i : ListView1->SelectedEntries()) {
                selected[static_cast<size_t>(i)] = true;
                chosen.push_back({ListView1->Text(i), ListView1->Path(i)});
                ListView1->SetSelected(i, false);
            }
        });
        const auto isChosen = [&](const ListView::Entry& entry) {
            return !entry.text.isEmpty() &&
                   std::any_of(chosen.begin(), chosen.end(), [&](const PlaylistEntry& c) {
                       return c.text == entry.text && c.path == entry.path;
                   });
        };
        for (int i = n; i >= 1; --i)
            trap(114, [&] {
                const ListView::Entry& entry = ListView1->EntryAt(i);
                if (!selected[static_cast<size_t>(i)] && !isChosen(entry))
                    return;
                update_playlist2({entry.text, entry.path}, pro);
                ListView1->Remove(i);
            });
    }
    trap(116, [&] { ListView1->Refresh(); });
    trap(118, [&] {
        if (ListView1->Count() == 0)
            PlayerPlaylist->clear();
    });
}
