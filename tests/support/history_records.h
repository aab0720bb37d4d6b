#pragma once

#include "history/history_db.h"

// A decision as the history records it, with only what a test looks at.
inline history::Decision decision(const QString& key, history::Decision::Action action,
                                  const QString& from, const QString& to, qint64 timeMs) {
    history::Decision d;
    d.key = key;
    d.action = action;
    d.from = from;
    d.to = to;
    d.timeMs = timeMs;
    return d;
}
