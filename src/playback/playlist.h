#pragma once

#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class Player;

// One file as the player knows it; sourceURL gives back the path it was made from.
class MediaItem {
  public:
    explicit MediaItem(QString path) : path_(std::move(path)) {}
    const QString& sourceURL() const { return path_; }

  private:
    QString path_;
};
using Media = std::shared_ptr<MediaItem>;

// The player's playlist: items in the order of appending, numbered from 0.
class Playlist {
  public:
    explicit Playlist(QString name) : name_(std::move(name)) {}
    const QString& name() const { return name_; }
    int count() const { return static_cast<int>(items_.size()); }
    // Throws a Failure when i is out of range.
    const Media& Item(int i) const;
    void appendItem(const Media& item);
    // appendItem for many at once: the player hears of the change once.
    void appendItems(const std::vector<Media>& items);
    // Room for this many items in all, so that appending a long list grows nothing.
    void reserve(int total);
    // Puts the item in at index (0 to count()).
    void insertItem(int index, const Media& item);
    // Removes that item (by identity); the first occurrence when it is there twice.
    void removeItem(const Media& item);
    // Removes every item gone says goes, in one pass; the player hears of it once.
    void removeWhere(const std::function<bool(const MediaItem&)>& gone);
    void clear();
    bool contains(const MediaItem* item) const { return members_.contains(item); }
    // The position of an item, or -1; hint is where to look first.
    int indexOf(const MediaItem* item, int hint = -1) const;

  private:
    QString name_;
    std::vector<Media> items_;
    QHash<const MediaItem*, int> members_;
    friend class Player;
    Player* observer_ = nullptr;
    void changed();
};
using PlaylistRef = std::shared_ptr<Playlist>;
