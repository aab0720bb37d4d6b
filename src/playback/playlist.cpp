#include "playback/playlist.h"

#include "platform/failure.h"
#include "playback/player.h"

#include <algorithm>

const Media& Playlist::Item(int i) const {
    if (i < 0 || i >= count())
        throw Failure(QStringLiteral("The playlist has no item %1").arg(i));
    return items_[static_cast<size_t>(i)];
}

void Playlist::appendItem(const Media& item) {
    if (!item)
        throw Failure(QStringLiteral("No media item was given"));
    items_.push_back(item);
    ++members_[item.get()];
    changed();
}

void Playlist::appendItems(const std::vector<Media>& items) {
    if (std::any_of(items.begin(), items.end(), [](const Media& item) { return !item; }))
        throw Failure(QStringLiteral("No media item was given"));
    items_.insert(items_.end(), items.begin(), items.end());
    for (const Media& item : items)
        ++members_[item.get()];
    changed();
}

void Playlist::reserve(int total) {
    items_.reserve(static_cast<size_t>(std::max(total, 0)));
    members_.reserve(total);
}

void Playlist::insertItem(int index, const Media& item) {
    if (!item)
        throw Failure(QStringLiteral("No media item was given"));
    if (index < 0 || index > count())
        throw Failure(QStringLiteral("Index %1 is out of range").arg(index));
    items_.insert(items_.begin() + index, item);
    ++members_[item.get()];
    changed();
}

int Playlist::indexOf(const MediaItem* item, int hint) const {
    if (!item || !members_.contains(item))
        return -1;
    if (hint >= 0 && hint < count() && items_[static_cast<size_t>(hint)].get() == item)
        return hint;
    for (int i = 0; i < count(); ++i)
        if (items_[static_cast<size_t>(i)].get() == item)
            return i;
    return -1;
}

void Playlist::removeItem(const Media& item) {
    // Held apart from the list: the caller may pass Item(i) itself, which the
    // erase below would turn into its neighbour.
    const MediaItem* const removed = item.get();
    const int at = indexOf(removed);
    if (at < 0)
        throw Failure(QStringLiteral("The item is not in the playlist"));
    const Media keepAlive = items_[static_cast<size_t>(at)];
    items_.erase(items_.begin() + at);
    if (--members_[removed] == 0)
        members_.remove(removed);
    changed();
}

void Playlist::removeWhere(const std::function<bool(const MediaItem&)>& gone) {
    std::vector<Media> removed;
    const auto from = std::stable_partition(items_.begin(), items_.end(),
                                            [&](const Media& item) { return !gone(*item); });
    if (from == items_.end())
        return;
    removed.assign(std::make_move_iterator(from), std::make_move_iterator(items_.end()));
    items_.erase(from, items_.end());
    for (const Media& item : removed)
        if (--members_[item.get()] == 0)
            members_.remove(item.get());
    changed();
}

void Playlist::clear() {
    items_.clear();
    members_.clear();
    changed();
}

void Playlist::changed() {
    if (observer_)
        observer_->playlistChanged();
}
