#pragma once

#include "playback/playlist.h"

#include <QSet>

// Shuffle's memory: the items played in this round, none of which comes again
// until every item has had its turn.
class ShuffleRound {
  public:
    void played(const MediaItem* item) { played_.insert(item); }
    void clear() { played_.clear(); }
    // A random item not played in this round and not the current one; when
    // none is left, with loop on a new round starts, else nothing.
    Media choose(const Playlist& playlist, const Media& current, bool loop);

  private:
    QSet<const MediaItem*> played_;
};
