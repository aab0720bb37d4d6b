#include "playback/shuffle_round.h"

#include <QRandomGenerator>

Media ShuffleRound::choose(const Playlist& playlist, const Media& current, bool loop) {
    const int n = playlist.count();
    auto fresh = [&](const Media& m) { return m != current && !played_.contains(m.get()); };
    auto* random = QRandomGenerator::global();
    // A few random probes find an unplayed item at once in all but the last
    // items of a round; the scan below settles the rest.
    for (int probe = 0; probe < 16; ++probe) {
        const Media& m = playlist.Item(static_cast<int>(random->bounded(n)));
        if (fresh(m))
            return m;
    }
    std::vector<int> left;
    for (int i = 0; i < n; ++i)
        if (fresh(playlist.Item(i)))
            left.push_back(i);
    if (!left.empty())
        return playlist.Item(left[random->bounded(static_cast<quint32>(left.size()))]);
    if (!loop)
        return nullptr;
    played_.clear();
    played_.insert(current.get());
    if (n == 1)
        return playlist.Item(0);
    for (;;) {
        const Media& m = playlist.Item(static_cast<int>(random->bounded(n)));
        if (m != current)
            return m;
    }
}
