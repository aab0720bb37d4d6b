#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Names given to the program (on the command line, by a later copy, the
// desktop's player controls or a folder's walk): the files to add, in their
// order, as absolute paths, and the names that cannot be kept exactly (not
// valid UTF-8), as shown to the user, which are left out.
struct NamedFiles {
    QStringList files;
    QStringList refused;
    bool isEmpty() const { return files.isEmpty() && refused.isEmpty(); }
};

// "b 2" before "b 10", "B 3" between them: runs of digits compared as numbers,
// the rest without regard to letter case (then with it, so that no two names tie).
bool naturalLess(const QString& a, const QString& b);

// The audio files of a folder at any depth: a folder's own files by name in
// natural order, then each subfolder's the same way, depth first. Hidden files
// and folders are left out; symbolic links are followed, but a folder already
// walked is never walked again (so a link loop ends) and a file already found
// is not found twice. Names that are not valid UTF-8 go to refused.
// cancelled is asked between folders; found is told how many files are found
// so far, every few hundred. Runs on any thread: it touches nothing but the tree.
NamedFiles audioFilesUnder(const QString& folder, const std::function<bool()>& cancelled = {},
                           const std::function<void(qsizetype found)>& found = {});
