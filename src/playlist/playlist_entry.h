#pragma once

#include <QString>

// One playlist entry: the text shown and the full path of the entry's own
// file, which tells namesakes in different folders apart.
struct PlaylistEntry {
    QString text;
    QString path;
    bool notAnswering = false; // its drive gave no answer: shown, marked, kept
};
